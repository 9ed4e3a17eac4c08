#include "platform/toolbar.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <string>

#include "platform/platform.h"

namespace ruko {
namespace {

constexpr uint32_t Face = 0xD4D0C8;
constexpr uint32_t Highlight = 0xFFFFFF;
constexpr uint32_t Shadow = 0x808080;
constexpr uint32_t DarkShadow = 0x404040;
constexpr int LabelPixels = 12;

// The strip's buttons sit 2 pixels below its top edge, side by side from the left.
constexpr int ButtonTop = (DockHeight - ToolbarButtonHeight) / 2;

const char* const Labels[] = {"\xE7\xB5\x82\xE4\xBA\x86", "\xE7\x94\xBB\xE9\x9D\xA2\xE5\x88\x87\xE6\x9B\xBF"};

std::string FindJapaneseFont()
{
    std::string file;
    if (!FcInit()) return file;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic:lang=ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
            file = reinterpret_cast<char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

std::u32string Decode(const char* utf8)
{
    std::u32string out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        char32_t c = *p;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra ? (0x3F >> extra) : 0x7F;
        ++p;
        for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p)
            c = (c << 6) | (*p & 0x3F);
        out += c;
    }
    return out;
}

class TLabelPainter
{
  public:
    TLabelPainter()
    {
        std::string file = FindJapaneseFont();
        if (file.empty() || FT_Init_FreeType(&library_) != 0) return;
        if (FT_New_Face(library_, file.c_str(), 0, &face_) != 0 ||
            FT_Set_Pixel_Sizes(face_, 0, LabelPixels) != 0) {
            if (face_) FT_Done_Face(face_);
            face_ = nullptr;
        }
    }
    ~TLabelPainter()
    {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    // Draws black text centred in the box (left, top, width, height) of a strip `stride` pixels wide.
    void Paint(std::vector<uint32_t>& strip, int stride, int left, int top, int width, int height,
               const char* utf8)
    {
        if (!face_) return;
        std::u32string text = Decode(utf8);
        int textWidth = 0;
        for (char32_t c : text)
            if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT) == 0) textWidth += face_->glyph->advance.x >> 6;
        int ascender = static_cast<int>(face_->size->metrics.ascender >> 6);
        int lineHeight = static_cast<int>(face_->size->metrics.height >> 6);
        int penX = left + (width - textWidth) / 2;
        int baseline = top + (height - lineHeight) / 2 + ascender;
        int rows = static_cast<int>(strip.size()) / stride;
        for (char32_t c : text) {
            if (FT_Load_Char(face_, c, FT_LOAD_RENDER) != 0) continue;
            FT_GlyphSlot g = face_->glyph;
            for (unsigned gy = 0; gy < g->bitmap.rows; ++gy) {
                for (unsigned gx = 0; gx < g->bitmap.width; ++gx) {
                    int x = penX + g->bitmap_left + static_cast<int>(gx);
                    int y = baseline - g->bitmap_top + static_cast<int>(gy);
                    if (x < 0 || x >= stride || y < 0 || y >= rows) continue;
                    unsigned coverage = g->bitmap.buffer[gy * g->bitmap.pitch + gx];
                    uint32_t& px = strip[y * stride + x];
                    uint32_t out = 0;
                    for (int shift = 0; shift < 24; shift += 8) {
                        unsigned channel = (px >> shift) & 0xFF;
                        out |= ((channel * (255 - coverage) + 127) / 255) << shift;
                    }
                    px = out;
                }
            }
            penX += static_cast<int>(g->advance.x >> 6);
        }
    }

  private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

void FillRect(std::vector<uint32_t>& strip, int stride, int left, int top, int width, int height,
              uint32_t colour)
{
    int rows = static_cast<int>(strip.size()) / stride;
    for (int y = std::max(0, top); y < std::min(rows, top + height); ++y)
        for (int x = std::max(0, left); x < std::min(stride, left + width); ++x)
            strip[y * stride + x] = colour;
}

} // namespace

TToolbarButton ToolbarButtonAt(int x, int y)
{
    if (y < ButtonTop || y >= ButtonTop + ToolbarButtonHeight || x < 0) return TToolbarButton::None;
    int index = x / ToolbarButtonWidth;
    return index <= 1 ? static_cast<TToolbarButton>(index) : TToolbarButton::None;
}

std::vector<uint32_t> DrawToolbarStrip(int width, TToolbarButton pressed)
{
    width = std::max(width, 1);
    std::vector<uint32_t> strip(static_cast<size_t>(width) * DockHeight, Face);
    // Never destroyed: its FreeType face must not be freed by a static destructor.
    static TLabelPainter& painter = *new TLabelPainter;
    for (int i = 0; i < 2; ++i) {
        int left = i * ToolbarButtonWidth, top = ButtonTop;
        int w = ToolbarButtonWidth, h = ToolbarButtonHeight;
        bool sunk = static_cast<int>(pressed) == i;
        uint32_t topLeft = sunk ? DarkShadow : Highlight;
        uint32_t bottomRight = sunk ? Highlight : DarkShadow;
        FillRect(strip, width, left, top, w, 1, topLeft);
        FillRect(strip, width, left, top, 1, h, topLeft);
        FillRect(strip, width, left, top + h - 1, w, 1, bottomRight);
        FillRect(strip, width, left + w - 1, top, 1, h, bottomRight);
        FillRect(strip, width, left + 1, top + h - 2, w - 2, 1, sunk ? Face : Shadow);
        FillRect(strip, width, left + w - 2, top + 1, 1, h - 2, sunk ? Face : Shadow);
        int shift = sunk ? 1 : 0;
        painter.Paint(strip, width, left + shift, top + shift, w, h, Labels[i]);
    }
    return strip;
}

} // namespace ruko
