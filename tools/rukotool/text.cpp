// rukotool text: one caption drawn by the player's caption renderer onto a filled surface, written
// as PNG, to see (and test) what a title's button or list text looks like.
#include "command.h"
#include "fonttext.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "components/labellist.h"
#include "graphics/png.h"
#include "io/bigstream.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <cstdio>
#include <optional>

namespace ruko::tool {

namespace {

const std::string& Value(const std::vector<std::string>& args, size_t& i)
{
    if (i + 1 >= args.size()) throw EUsage{args[i] + " needs a value"};
    return args[++i];
}

int32_t Int32Value(const std::vector<std::string>& args, size_t& i, int64_t low = INT32_MIN,
                   int64_t high = INT32_MAX)
{
    const std::string& option = args[i];
    const std::string& text = Value(args, i);
    const std::optional<int64_t> value = ParseNumber(text);
    if (!value || *value < low || *value > high)
        throw EUsage{option + ": '" + text + "' is not a number in " + std::to_string(low) + ".." +
                     std::to_string(high)};
    return int32_t(*value);
}

// "AxB" or "A,B".
std::pair<int32_t, int32_t> PairValue(const std::vector<std::string>& args, size_t& i, char separator,
                                      int64_t low, int64_t high)
{
    const std::string& option = args[i];
    const std::string& text = Value(args, i);
    const size_t at = text.find(separator);
    std::optional<int64_t> a, b;
    if (at != std::string::npos) {
        a = ParseNumber(std::string_view(text).substr(0, at));
        b = ParseNumber(std::string_view(text).substr(at + 1));
    }
    if (!a || !b || *a < low || *a > high || *b < low || *b > high)
        throw EUsage{option + ": '" + text + "' is not N" + separator + "N with N in " + std::to_string(low) +
                     ".." + std::to_string(high)};
    return {int32_t(*a), int32_t(*b)};
}

std::string HexBytes(const std::string& option, const std::string& hex)
{
    std::string bytes;
    if (hex.size() % 2) throw EUsage{option + ": an even number of hex digits expected"};
    if (!ParseHex(hex, bytes)) throw EUsage{option + ": '" + hex + "' is not hex"};
    return bytes;
}

// The process-wide font objects the renderer reads, for the length of one command.
class TFontScope
{
  public:
    TFontScope() : savedPixels_(PixelFontMan), savedGlyphs_(FontPixelMan)
    {
        PixelFontMan = &pixelFonts_;
        FontPixelMan = &glyphs_;
    }
    ~TFontScope()
    {
        FontPixelMan = savedGlyphs_;
        PixelFontMan = savedPixels_;
    }
    TPixelFontManager& PixelFonts() { return pixelFonts_; }
    TFontPixelManager& Glyphs() { return glyphs_; }

  private:
    TPixelFontManager pixelFonts_;
    TFontPixelManager glyphs_{&pixelFonts_};
    TPixelFontManager* savedPixels_;
    TFontPixelManager* savedGlyphs_;
};

bool IsPixelFontPath(const std::string& path)
{
    return path.size() >= 4 && LowerCaseText(path.substr(path.size() - 4)) == ".rft";
}

int Text(const std::vector<std::string>& args)
{
    std::vector<std::string> fontFiles;
    std::string output, text;
    bool haveText = false, haveSurface = false;
    TKwLabelList list;
    int32_t width = 0, height = 0, x = 0, y = 0, background = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--font") {
            fontFiles.push_back(Value(args, i));
        } else if (a == "--face-hex") {
            list.FontName = HexBytes(a, Value(args, i));
        } else if (a == "--text-hex") {
            text = HexBytes(a, Value(args, i));
            haveText = true;
        } else if (a == "--size") {
            list.FontHeight = Int32Value(args, i);
        } else if (a == "--style") {
            list.FontStyle = uint8_t(Int32Value(args, i, 0, 255));
        } else if (a == "--color") {
            list.FontColor = Int32Value(args, i, 0, 0xFFFFFF);
        } else if (a == "--border") {
            list.Border = Int32Value(args, i);
        } else if (a == "--border-color") {
            list.BorderColor = Int32Value(args, i, 0, 0xFFFFFF);
        } else if (a == "--shadow") {
            list.Shadow = Int32Value(args, i);
        } else if (a == "--shadow-color") {
            list.ShadowColor = Int32Value(args, i, 0, 0xFFFFFF);
        } else if (a == "--quality") {
            list.Quality = Int32Value(args, i);
        } else if (a == "--alpha") {
            list.Alpha = Int32Value(args, i);
        } else if (a == "--surface") {
            std::tie(width, height) = PairValue(args, i, 'x', 1, 32768);
            haveSurface = true;
        } else if (a == "--background") {
            background = Int32Value(args, i, 0, 0xFFFFFF);
        } else if (a == "--at") {
            std::tie(x, y) = PairValue(args, i, ',', -32768, 32768);
        } else if (a == "--out") {
            output = Value(args, i);
        } else {
            throw EUsage{"unknown argument '" + a + "'"};
        }
    }
    if (!haveText || !haveSurface || output.empty())
        throw EUsage{"--text-hex, --surface and --out are needed"};
    if (int64_t(width) * height > 64 << 20) throw EUsage{"--surface: at most 64 M pixels"};

    TFontScope fonts;
    for (const std::string& path : fontFiles) {
        if (IsPixelFontPath(path)) {
            std::unique_ptr<TRangeStream> stream = TRangeStream::OpenFile(path);
            if (!stream) RaiseError(Utf8ToCp932(path + ":ファイルがありません"));
            // A damaged font is refused whole: no picture is made with another face instead.
            if (!fonts.PixelFonts().LoadFontStream(Utf8ToCp932(path), std::move(stream)))
                std::fprintf(stderr, "rukotool text: %s: the same font was given before\n", path.c_str());
        } else if (!fonts.Glyphs().AddFontFile(path)) {
            RaiseError("--font " + path + ": no usable face in it");
        }
    }

    TDIBX surface(width, height, 32);
    surface.Fill(uint32_t(surface.ColorToPixel(background)));
    list.Surface = &surface;
    TKwLabelDIB& caption = list.Add();
    caption.SetText(text);
    list.Measure();
    caption.Draw(x, y);

    const std::vector<uint8_t> png =
        EncodePngXrgb(width, height, reinterpret_cast<const uint32_t*>(surface.ScanLine(0)), surface.Pitch());
    if (!WriteHostFileAtomic(output, std::string_view(reinterpret_cast<const char*>(png.data()), png.size())))
        RaiseError("cannot write " + output);
    return 0;
}

const TToolCommandRegistrar textCommand(
    {"text",
     "text [--font F.rft ...] [--face-hex H] --text-hex H [--size N] [--style N] [--color 0xBBGGRR] "
     "[--border N] [--border-color C] [--shadow N] [--shadow-color C] [--quality Q] [--alpha A] --surface "
     "WxH [--background C] [--at X,Y] --out OUT.png",
     "one caption drawn by the player's caption renderer, as an RGB PNG of the whole surface", Text});

} // namespace

} // namespace ruko::tool
