// rukotool map: the map files of map images, from a text form and back.
//
//   rect NAME L T R B        (inclusive box)
//   ellipse NAME L T R B     (inscribed in the inclusive box)
//   poly NAME X,Y X,Y ...    (filled by the nonzero winding rule)
//
// Names are UTF-8 in the text and CP932 in the file; '#' starts a comment line.
#include "command.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "components/mapareas.h"
#include "io/bigstream.h"

#include <charconv>
#include <cstdio>
#include <sstream>

namespace ruko::tool {

namespace {

[[noreturn]] void Fail(const std::string& source, int line, const std::string& what)
{
    RaiseError(Utf8ToCp932(source + ":" + std::to_string(line) + ": " + what));
}

int32_t Coordinate(const std::string& source, int line, std::string_view text)
{
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        Fail(source, line, "'" + std::string(text) + "' is not a 32-bit number");
    return value;
}

std::vector<TMapArea> ParseMapText(const std::string& text, const std::string& source)
{
    std::vector<TMapArea> areas;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty() || w[0][0] == '#') continue;
        TMapArea area;
        if (w.size() < 2) Fail(source, number, "a shape and a name expected");
        if (!TryUtf8ToCp932(w[1], area.Name)) Fail(source, number, "the name has no CP932 form");
        if (w[0] == "rect" || w[0] == "ellipse") {
            if (w.size() != 6) Fail(source, number, w[0] + " takes NAME L T R B");
            const int32_t l = Coordinate(source, number, w[2]), t = Coordinate(source, number, w[3]);
            const int32_t r = Coordinate(source, number, w[4]), b = Coordinate(source, number, w[5]);
            area.Region =
                w[0] == "rect" ? TMapRegion::Rectangle(l, t, r, b) : TMapRegion::Ellipse(l, t, r, b);
        } else if (w[0] == "poly") {
            std::vector<TMapPoint> points;
            for (size_t i = 2; i < w.size(); ++i) {
                const size_t comma = w[i].find(',');
                if (comma == std::string::npos) Fail(source, number, "'" + w[i] + "' is not X,Y");
                const std::string_view point(w[i]);
                points.push_back({Coordinate(source, number, point.substr(0, comma)),
                                  Coordinate(source, number, point.substr(comma + 1))});
            }
            area.Region = TMapRegion::Polygon(std::move(points));
        } else {
            Fail(source, number, "'" + w[0] + "' is not rect, ellipse or poly");
        }
        areas.push_back(std::move(area));
    }
    return areas;
}

std::string MapText(const std::vector<TMapArea>& areas)
{
    std::string out;
    for (const TMapArea& area : areas) {
        const TMapRegion& r = area.Region;
        const std::string name = Cp932ToUtf8(area.Name);
        switch (r.Shape) {
        case TMapShape::Rectangle:
        case TMapShape::Ellipse:
            out += (r.Shape == TMapShape::Rectangle ? "rect " : "ellipse ") + name + " " +
                   std::to_string(r.Left) + " " + std::to_string(r.Top) + " " + std::to_string(r.Right) +
                   " " + std::to_string(r.Bottom);
            break;
        case TMapShape::Polygon:
            out += "poly " + name;
            for (const TMapPoint& p : r.Points)
                out += " " + std::to_string(p.X) + "," + std::to_string(p.Y);
            break;
        }
        out += "\n";
    }
    return out;
}

int Map(const std::vector<std::string>& args)
{
    if (args.size() == 2 && args[0] == "--dump") {
        TKwBigMemoryStream s;
        s.LoadFromFile(args[1]);
        try {
            const std::string text = MapText(ReadMapFile(s));
            std::fwrite(text.data(), 1, text.size(), stdout);
        } catch (const ERukoError& error) {
            RaiseError(Utf8ToCp932(args[1]) + ":" + error.what());
        }
        return 0;
    }
    if (args.size() != 2 || args[0].starts_with("--")) throw EUsage{"SRC.txt and OUT are needed"};
    std::string text;
    if (!ReadHostFile(args[0], text)) RaiseError(Utf8ToCp932(args[0] + ":ファイルがありません"));
    TKwBigMemoryStream out;
    WriteMapFile(out, ParseMapText(text, args[0]));
    const std::vector<uint8_t>& bytes = out.Bytes();
    if (!WriteHostFileAtomic(args[1],
                             std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        RaiseError("cannot write " + args[1]);
    return 0;
}

const TToolCommandRegistrar mapCommand({"map", "map SRC.txt OUT | map --dump FILE",
                                        "a map image's map file from lines 'rect|ellipse NAME L T R B' and "
                                        "'poly NAME X,Y ...', or those lines back",
                                        Map});

} // namespace

} // namespace ruko::tool
