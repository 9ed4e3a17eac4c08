#include "words/fontmaker.h"

#include "base/error.h"
#include "base/text.h"
#include "words/fontpixels.h"

#include <algorithm>

namespace ruko {

namespace {

std::vector<uint16_t> AllCp932Codes()
{
    std::vector<uint16_t> codes;
    for (uint32_t code = 0x20; code < 0x10000; ++code) {
        const bool single = code < 0x100;
        if (single ? IsLeadByte(uint8_t(code)) : !IsLeadByte(uint8_t(code >> 8))) continue;
        if (Cp932CodeToUnicode(uint16_t(code)) >= 0x20) codes.push_back(uint16_t(code));
    }
    return codes;
}

} // namespace

TPixelFontData MakePixelFont(const TFontMakerRequest& request)
{
    TFontPixelManager maker(nullptr);
    TFaceFamily family;
    if (!request.FontFile.empty()) {
        const std::vector<TFaceFamily> families = maker.Faces().QueryFile(request.FontFile);
        auto chosen = std::find_if(families.begin(), families.end(), [&](const TFaceFamily& f) {
            return request.Face.empty() ||
                   std::any_of(f.Families.begin(), f.Families.end(),
                               [&](const std::string& name) { return SameText(name, request.Face); });
        });
        if (chosen == families.end())
            RaiseError(Utf8ToCp932(request.FontFile) + Utf8ToCp932(":フォントがありません"));
        family = *chosen;
    } else {
        const TInstalledFont* installed = maker.FindInstalled(request.Face);
        if (!installed) RaiseError(request.Face + Utf8ToCp932(":フォントがありません"));
        family = installed->Family;
    }

    TPixelFontData font;
    TPixelFontHeader& h = font.Header;
    h.FaceName = request.Face.empty() ? family.Name : request.Face;
    h.CharSize = request.Size;
    h.Style = uint8_t(request.Style & 3);
    h.Listed = request.Listed;
    const std::vector<uint16_t> codes = request.AllCodes ? AllCp932Codes() : request.Codes;
    bool haveMetrics = false;
    std::vector<bool> done(65536, false);
    TRenderedGlyph rendered;
    auto noteMetrics = [&] {
        if (haveMetrics) return;
        haveMetrics = true;
        h.Ascent = rendered.Ascent;
        h.StrikeSize = rendered.StrikeSize;
        h.StrikePosition = rendered.StrikePosition;
        h.UnderscoreSize = rendered.UnderlineSize;
        h.UnderscorePosition = -rendered.UnderlineSize;
    };
    for (uint16_t code : codes) {
        if (done[code]) continue;
        done[code] = true;
        if (maker.Faces().Render(family, Cp932CodeToUnicode(code), request.Size, request.Style,
                                 std::clamp(request.Quality, 0, 3), rendered) != TRenderResult::Rendered)
            continue;
        noteMetrics();
        TPixelFontGlyph glyph;
        glyph.Code = code;
        glyph.Record.Width = uint16_t(rendered.Width);
        glyph.Record.Height = uint16_t(rendered.Height);
        glyph.Record.OriginX = int16_t(std::clamp(rendered.Left, -32768, 32767));
        glyph.Record.OriginY = int16_t(std::clamp(rendered.Top, -32768, 32767));
        glyph.Record.AdvanceX = int16_t(std::clamp(rendered.Advance, -32768, 32767));
        glyph.Coverage = std::move(rendered.Coverage);
        font.Glyphs.push_back(std::move(glyph));
        if (font.Glyphs.size() == 65535) break;
    }
    // A font without any glyph still carries the face's metrics.
    if (!haveMetrics &&
        maker.Faces().Render(family, U'A', request.Size, request.Style, 3, rendered) != TRenderResult::Failed)
        noteMetrics();
    return font;
}

} // namespace ruko
