// rukotool font: pixel fonts from their text form, or made with the player's own glyph maker, and
// back to the text form.
#include "command.h"
#include "fonttext.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "io/bigstream.h"
#include "words/fontmaker.h"
#include "words/packfonts.h"

#include <charconv>
#include <cstdio>

namespace ruko::tool {

namespace {

std::string ReadText(const std::string& path)
{
    std::string content;
    if (!ReadHostFile(path, content)) RaiseError(Utf8ToCp932(path + ":ファイルがありません"));
    return content;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (!WriteHostFileAtomic(path,
                             std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        RaiseError("cannot write " + path);
}

const std::string& Value(const std::vector<std::string>& args, size_t& i)
{
    if (i + 1 >= args.size()) throw EUsage{args[i] + " needs a value"};
    return args[++i];
}

int64_t NumberValue(const std::vector<std::string>& args, size_t& i, int64_t low, int64_t high)
{
    const std::string& option = args[i];
    const std::string& text = Value(args, i);
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw EUsage{option + ": '" + text + "' is not a number in " + std::to_string(low) + ".." +
                     std::to_string(high)};
    return value;
}

std::string HexBytes(const std::string& option, const std::string& hex)
{
    std::string bytes;
    if (hex.size() % 2) throw EUsage{option + ": an even number of hex digits expected"};
    if (!ParseHex(hex, bytes)) throw EUsage{option + ": '" + hex + "' is not hex"};
    return bytes;
}

int Font(const std::vector<std::string>& args)
{
    std::string from, dump, output, chars, charsFile;
    TFontMakerRequest request;
    bool all = false, haveChars = false, haveSource = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--from") {
            from = Value(args, i);
        } else if (a == "--dump") {
            dump = Value(args, i);
        } else if (a == "-o") {
            output = Value(args, i);
        } else if (a == "--face") {
            request.Face = Utf8ToCp932(Value(args, i));
            haveSource = true;
        } else if (a == "--face-hex") {
            request.Face = HexBytes(a, Value(args, i));
            haveSource = true;
        } else if (a == "--file") {
            request.FontFile = Value(args, i);
            haveSource = true;
        } else if (a == "--size") {
            request.Size = int32_t(NumberValue(args, i, 1, 512));
        } else if (a == "--style") {
            request.Style = int32_t(NumberValue(args, i, 0, 3));
        } else if (a == "--quality") {
            request.Quality = int32_t(NumberValue(args, i, 0, 3));
        } else if (a == "--chars") {
            chars = Utf8ToCp932(Value(args, i));
            haveChars = true;
        } else if (a == "--chars-file") {
            charsFile = Value(args, i);
            haveChars = true;
        } else if (a == "--all") {
            all = true;
            haveChars = true;
        } else if (a == "--unlisted") {
            request.Listed = false;
        } else {
            throw EUsage{"unknown argument '" + a + "'"};
        }
    }
    if (!dump.empty()) {
        if (!from.empty() || !output.empty() || haveSource) throw EUsage{"--dump takes only the font"};
        TPixelFontManager fonts;
        TPixelFontSection* section = fonts.LoadFontFile(dump);
        if (!section) RaiseError(Utf8ToCp932(dump + ":ファイルがありません"));
        const std::string text = FontText(ReadPixelFontData(*section));
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    if (output.empty()) throw EUsage{"-o OUT.rft is needed"};
    if (!from.empty()) {
        if (haveSource || haveChars) throw EUsage{"--from takes no face and no characters"};
        WriteBytes(output, WritePixelFont(ParseFontText(ReadText(from), from)));
        return 0;
    }
    if (!haveSource || request.Size == 0 || !haveChars)
        throw EUsage{"a face (--face, --face-hex or --file), --size and characters are needed"};
    if (!charsFile.empty()) chars = Utf8ToCp932(ReadText(charsFile));
    request.AllCodes = all;
    for (size_t pos = 0; pos < chars.size();) {
        const size_t length = CharLength(chars, pos);
        const uint16_t code =
            length == 2 ? uint16_t(uint8_t(chars[pos]) << 8 | uint8_t(chars[pos + 1])) : uint8_t(chars[pos]);
        if (code != '\r' && code != '\n') request.Codes.push_back(code);
        pos += length;
    }
    WriteBytes(output, WritePixelFont(MakePixelFont(request)));
    return 0;
}

const TToolCommandRegistrar fontCommand(
    {"font",
     "font (--face NAME | --face-hex H | --file FONT.ttf) --size N [--style N] [--quality Q] (--chars TEXT | "
     "--chars-file FILE | --all) [--unlisted] -o OUT.rft | font --from SRC.txt -o OUT.rft | font --dump "
     "F.rft",
     "a pixel font made with the player's glyph maker or from its text form, or its text form", Font});

} // namespace

} // namespace ruko::tool
