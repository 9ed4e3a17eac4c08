// rukotool image / render: pictures to layered images and composed frames back to PNG.
#include "command.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "graphics/bmp.h"
#include "graphics/brom.h"
#include "graphics/jpeg.h"
#include "graphics/png.h"
#include "io/bigstream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ruko::tool {

namespace {

std::vector<uint8_t> ReadInput(const std::string& path)
{
    std::string content;
    if (!ReadHostFile(path, content)) RaiseError(Utf8ToCp932(path + ":ファイルがありません"));
    return std::vector<uint8_t>(content.begin(), content.end());
}

void WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (!WriteHostFileAtomic(path,
                             std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        RaiseError("cannot write " + path);
}

// Runs a decoder; its error names the input, since the same texts come from every bad file.
template <typename Decode> void NamingInput(const std::string& path, Decode decode)
{
    try {
        decode();
    } catch (const ERukoError& error) {
        RaiseError(Utf8ToCp932(path) + ":" + error.what());
    }
}

int64_t NumberArgument(const std::vector<std::string>& args, size_t& i, int64_t low, int64_t high)
{
    const std::string& option = args[i];
    if (++i >= args.size()) throw EUsage{option + " needs a number"};
    const std::string& text = args[i];
    const std::optional<int64_t> value = ParseNumber(text);
    if (!value || *value < low || *value > high)
        throw EUsage{option + ": '" + text + "' is not a number in " + std::to_string(low) + ".." +
                     std::to_string(high)};
    return *value;
}

// PNG, JPEG or BMP, recognised by content: one frame per input, each shown for the delay.
int Image(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    TBromCompression compression = bcZlib;
    int quality = 90;
    int64_t ident = 0, delay = 100;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ident") {
            ident = NumberArgument(args, i, INT32_MIN, UINT32_MAX);
        } else if (args[i] == "--jpeg") {
            compression = bcJpeg;
            quality = int(NumberArgument(args, i, 1, 100));
        } else if (args[i] == "--raw") {
            compression = bcNone;
        } else if (args[i] == "--delay") {
            delay = NumberArgument(args, i, 1, INT32_MAX);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            throw EUsage{"unknown option " + args[i]};
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() < 2) throw EUsage{"expected IN... OUT.brm"};
    // An identification code stores the rows raw and scrambled, as titles ship them.
    TBromFrameList list{static_cast<int32_t>(static_cast<uint32_t>(ident))};
    for (size_t p = 0; p + 1 < paths.size(); ++p) {
        std::vector<uint8_t> input = ReadInput(paths[p]);
        TBromFrame& frame = list.AddFrame();
        frame.Delay = int32_t(delay);
        NamingInput(paths[p], [&] {
            if (IsPngData(input.data(), input.size())) {
                TDecodedPicture decoded = DecodePng(input.data(), input.size());
                frame.Picture = std::move(decoded.Picture);
                frame.AlphaPlane = std::move(decoded.Alpha);
            } else if (IsJpegData(input.data(), input.size())) {
                frame.Picture = DecodeJpeg(input.data(), input.size());
            } else if (IsBmpData(input.data(), input.size())) {
                frame.Picture = DecodeBmp(input.data(), input.size());
            } else {
                RaiseError(Utf8ToCp932("読み込めないファイル形式です"));
            }
        });
    }
    TKwBigMemoryStream out;
    list.SaveToStream(out, compression, quality);
    WriteOutput(paths.back(), out.Bytes());
    return 0;
}

// X,Y,W,H,COLOUR (the colour 0xBBGGRR) of a --rect option.
void RectArgument(const std::vector<std::string>& args, size_t& i, TPicture& picture)
{
    const std::string option = args[i];
    if (++i >= args.size()) throw EUsage{option + " needs X,Y,W,H,COLOUR"};
    // Coordinates within 32 bits and sizes not below 0, so the far edges stay far from overflow.
    static constexpr int64_t Low[5] = {INT32_MIN, INT32_MIN, 0, 0, 0};
    static constexpr int64_t High[5] = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 0xFFFFFF};
    int64_t v[5];
    std::string_view rest = args[i];
    for (int k = 0; k < 5; ++k) {
        const size_t comma = k < 4 ? rest.find(',') : rest.size();
        const std::optional<int64_t> value =
            comma == std::string_view::npos ? std::nullopt : ParseNumber(rest.substr(0, comma));
        if (!value || *value < Low[k] || *value > High[k])
            throw EUsage{option + ": '" + args[i] + "' is not X,Y,W,H,COLOUR"};
        v[k] = *value;
        if (k < 4) rest.remove_prefix(comma + 1);
    }
    for (int64_t y = std::max<int64_t>(v[1], 0); y < std::min<int64_t>(v[1] + v[3], picture.Height()); ++y)
        for (int64_t x = std::max<int64_t>(v[0], 0); x < std::min<int64_t>(v[0] + v[2], picture.Width()); ++x)
            picture.SetPixel(int(x), int(y), picture.ColorToPixel(uint32_t(v[4])));
}

// A 24-bit PNG of filled rectangles, for test pictures.
int Png(const std::vector<std::string>& args)
{
    if (args.size() < 2) throw EUsage{"expected WxH OUT.png"};
    const std::string_view size = args[0];
    const size_t x = size.find('x');
    std::optional<int64_t> width, height;
    if (x != std::string_view::npos) {
        width = ParseNumber(size.substr(0, x));
        height = ParseNumber(size.substr(x + 1));
    }
    if (!width || !height || *width < 1 || *height < 1 || *width > MaxPictureSide || *height > MaxPictureSide)
        throw EUsage{"'" + args[0] + "' is not a size WxH"};
    TPicture picture(int(*width), int(*height), 24);
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--fill") {
            const uint32_t colour = uint32_t(NumberArgument(args, i, 0, 0xFFFFFF));
            picture.Fill(picture.ColorToPixel(colour));
        } else if (args[i] == "--rect") {
            RectArgument(args, i, picture);
        } else {
            throw EUsage{"unknown option " + args[i]};
        }
    }
    WriteOutput(args[1], EncodePng(picture));
    return 0;
}

// One composed frame as PNG; an alpha plane, or else the transparent colour, becomes its alpha.
int Render(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    int64_t frameIndex = 0, ident = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--frame")
            frameIndex = NumberArgument(args, i, 0, INT32_MAX);
        else if (args[i] == "--ident")
            ident = NumberArgument(args, i, INT32_MIN, UINT32_MAX);
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw EUsage{"unknown option " + args[i]};
        else
            paths.push_back(args[i]);
    }
    if (paths.size() != 2) throw EUsage{"expected IN.brm OUT.png"};
    std::vector<uint8_t> input = ReadInput(paths[0]);
    TBromFrameList list{static_cast<int32_t>(static_cast<uint32_t>(ident))};
    NamingInput(paths[0], [&] {
        if (IsPngData(input.data(), input.size()))
            list.LoadFromData("in.png", input);
        else if (IsBmpData(input.data(), input.size()))
            list.LoadFromData("in.bmp", input);
        else
            list.LoadFromData("in.brm", input);
    });
    const TBromFrame& frame = list.Frames(int(frameIndex));
    std::optional<TPicture> alpha = frame.AlphaPlane;
    if (!alpha && frame.TransColor != -1) {
        TBromFrame keyed;
        keyed.Picture = frame.Picture;
        keyed.TransColor = frame.TransColor;
        keyed.MakeMask(false);
        alpha = std::move(keyed.AlphaPlane);
    }
    WriteOutput(paths[1], EncodePng(frame.Picture, alpha ? &*alpha : nullptr));
    return 0;
}

// Two pictures pixel by pixel: the largest difference of one colour channel must stay within the
// tolerance (0: identical colours). Status 1 when it does not, or when the sizes differ.
int Compare(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    int64_t tolerance = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--tolerance")
            tolerance = NumberArgument(args, i, 0, 255);
        else if (args[i].size() > 1 && args[i][0] == '-')
            throw EUsage{"unknown option " + args[i]};
        else
            paths.push_back(args[i]);
    }
    if (paths.size() != 2) throw EUsage{"expected A B"};
    TBromFrameList pictures[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<uint8_t> input = ReadInput(paths[k]);
        NamingInput(paths[k], [&] {
            pictures[k].LoadFromData(IsPngData(input.data(), input.size())   ? "in.png"
                                     : IsBmpData(input.data(), input.size()) ? "in.bmp"
                                                                             : "in.brm",
                                     input, true);
        });
    }
    const TPicture& a = pictures[0].Frames(0).Picture;
    const TPicture& b = pictures[1].Frames(0).Picture;
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        std::printf("sizes differ: %dx%d and %dx%d\n", a.Width(), a.Height(), b.Width(), b.Height());
        return 1;
    }
    int worst = 0;
    int64_t differing = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) {
            uint32_t ca = a.PixelToColor(a.GetPixel(x, y)), cb = b.PixelToColor(b.GetPixel(x, y));
            int d = 0;
            for (int shift = 0; shift < 24; shift += 8)
                d = std::max(d, std::abs(int((ca >> shift) & 0xFF) - int((cb >> shift) & 0xFF)));
            worst = std::max(worst, d);
            differing += d > 0;
        }
    std::printf("largest channel difference %d (%lld pixels differ), tolerance %lld\n", worst,
                static_cast<long long>(differing), static_cast<long long>(tolerance));
    return worst <= tolerance ? 0 : 1;
}

const TToolCommandRegistrar compareCommand({"compare", "compare A B [--tolerance N]",
                                            "two pictures by pixels, within N per colour channel (default 0)",
                                            Compare});
const TToolCommandRegistrar imageCommand(
    {"image", "image IN... OUT.brm [--delay MS] [--jpeg QUALITY | --raw] [--ident CODE]",
     "PNG, JPEG or BMP to a layered image, one frame each (an RGBA PNG keeps its alpha plane)", Image});
const TToolCommandRegistrar pngCommand({"png",
                                        "png WxH OUT.png [--fill 0xBBGGRR] [--rect X,Y,W,H,0xBBGGRR]...",
                                        "a 24-bit picture of filled rectangles", Png});
const TToolCommandRegistrar renderCommand({"render", "render IN.brm OUT.png [--frame N] [--ident CODE]",
                                           "a composed frame of a layered image as PNG", Render});

} // namespace

} // namespace ruko::tool
