#include "components/labellist.h"

#include "base/error.h"
#include "base/text.h"
#include "io/fields.h"
#include "words/fontpixels.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace ruko {

namespace {

// A glyph cache without any usable face raises; captions then draw nothing, and the run is told
// once rather than at every frame.
void NoteGlyphFailure(const ERukoError& error)
{
    static bool told = false;
    if (told) return;
    told = true;
    std::fprintf(stderr, "%s (captions are not drawn)\n", Cp932ToUtf8(error.what()).c_str());
}

} // namespace

std::vector<uint16_t> CaptionCodes(const std::string& text)
{
    std::vector<uint16_t> codes;
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLength(text, pos);
        const uint8_t lead = uint8_t(text[pos]);
        codes.push_back(length == 2 ? uint16_t(lead << 8 | uint8_t(text[pos + 1])) : lead);
        pos += length;
    }
    return codes;
}

void TKwLabelDIB::SetText(const std::string& text)
{
    if (text == Text) return;
    Text = text;
    Dirty = true;
}

void TKwLabelDIB::Render()
{
    TCustomDIBX* surface = Owner.Surface;
    if (!surface) return;
    const int32_t format = surface->PixelFormat();
    if (Picture.Width() != Width || Picture.Height() != Height || Picture.PixelFormat() != format) {
        Picture.SetSize(Width, Height, format);
        Mask.SetSize(Width, Height, 8);
    }
    renderedFormat_ = format;
    if (Width <= 0 || Height <= 0 || !FontPixelMan) return; // stays dirty
    Mask.Fill(0);
    Picture.Fill(0);
    FontPixelMan->SetQuality(Owner.Quality);
    const uint32_t text = uint32_t(surface->ColorToPixel(Owner.FontColor));
    const uint32_t border = uint32_t(surface->ColorToPixel(Owner.BorderColor));
    const uint32_t shadow = uint32_t(surface->ColorToPixel(Owner.ShadowColor));
    const int32_t fontHeight = Owner.DrawnFontHeight();
    const int32_t b = Owner.DrawnBorder(), s = Owner.DrawnShadow();
    const std::vector<uint16_t> codes = CaptionCodes(Text);
    const size_t count = std::min(codes.size(), Advances.size());
    try {
        int32_t x = 0;
        for (size_t i = 0; i < count && x < Width; ++i) {
            const TFontPixelRef glyph =
                FontPixelMan->GetGlyph(codes[i], Owner.FontName, Owner.FontStyle, fontHeight);
            const TRect cell(x, 0, int32_t(std::min<int64_t>(int64_t(x) + Advances[i], Width)), fontHeight);
            TFontPixelManager::DrawGlyph(*glyph, Picture, Mask, false, cell, text, border, shadow, b, s,
                                         i == 0, i + 1 == count);
            x = cell.Right;
        }
    } catch (const ERukoError& error) {
        NoteGlyphFailure(error);
        Mask.Fill(0);
    }
    Dirty = false;
}

void TKwLabelDIB::Draw(int32_t x, int32_t y)
{
    TCustomDIBX* surface = Owner.Surface;
    if (!surface) return;
    if (Dirty || renderedFormat_ != surface->PixelFormat()) Render();
    if (Dirty || Width <= 0 || Height <= 0) return;
    const TRect whole = Mask.BoundsRect();
    if (Owner.DrawnBorder() == 0 && Owner.DrawnShadow() == 0)
        surface->DrawMaskColor(x, y, Mask, whole, false, false,
                               uint32_t(surface->ColorToPixel(Owner.FontColor)), Owner.Alpha);
    else if (Owner.Alpha < 255)
        surface->DrawAlphaMask(x, y, Picture, whole, false, false, Mask, Owner.Alpha);
    else
        surface->DrawMask(x, y, Picture, whole, false, false, Mask);
}

TKwLabelList::TKwLabelList() : FontName(Utf8ToCp932("ＭＳ Ｐゴシック")) {}

TKwLabelDIB& TKwLabelList::Add()
{
    items_.push_back(std::make_unique<TKwLabelDIB>(*this));
    return *items_.back();
}

TKwLabelDIB* TKwLabelList::Item(int64_t i)
{
    return i >= 0 && i < int64_t(items_.size()) ? items_[size_t(i)].get() : nullptr;
}

int32_t TKwLabelList::DrawnFontHeight() const
{
    return std::min(FontHeight, MaxFontHeight);
}

int32_t TKwLabelList::DrawnBorder() const
{
    return std::clamp(Border, 0, MaxDecoration);
}

int32_t TKwLabelList::DrawnShadow() const
{
    return std::clamp(Shadow, 0, MaxDecoration);
}

void TKwLabelList::Measure()
{
    const int32_t fontHeight = DrawnFontHeight();
    const int32_t b = DrawnBorder(), s = DrawnShadow();
    const int32_t height = fontHeight >= 1 ? fontHeight + 2 * b + s : 0;
    std::unordered_map<uint16_t, int32_t> advances; // equal characters are measured once
    for (const std::unique_ptr<TKwLabelDIB>& item : items_) {
        item->Height = height;
        item->Advances.clear();
        int64_t width = 0;
        if (height > 0 && FontPixelMan) {
            try {
                for (uint16_t code : CaptionCodes(item->Text)) {
                    auto [at, fresh] = advances.try_emplace(code, 0);
                    if (fresh) {
                        const TCharMetrics m =
                            FontPixelMan->GetCharMetrics(code, FontName, FontStyle, fontHeight);
                        at->second = int32_t(std::clamp<int64_t>(
                            int64_t(m.LeftBearing) + m.Width + m.RightSpace + 2 * b + s, 0, MaxCaptionWidth));
                    }
                    item->Advances.push_back(at->second);
                    width = std::min<int64_t>(width + at->second, MaxCaptionWidth);
                }
            } catch (const ERukoError& error) {
                NoteGlyphFailure(error);
                item->Advances.clear();
                width = 0;
            }
        }
        item->Width = int32_t(width);
        item->Dirty = true;
    }
}

void TKwLabelList::MarkDirty()
{
    for (const std::unique_ptr<TKwLabelDIB>& item : items_)
        item->Dirty = true;
}

int32_t TKwLabelList::MaxWidth() const
{
    int32_t widest = 0;
    for (const std::unique_ptr<TKwLabelDIB>& item : items_)
        widest = std::max(widest, item->Width);
    return widest;
}

void TKwLabelList::Clear()
{
    items_.clear();
}

void TKwLabelList::SetFontHeight(int32_t height)
{
    if (height == FontHeight) return;
    FontHeight = height;
    MarkDirty();
}

void TKwLabelList::SaveToStream(TKwBigStream& s) const
{
    WriteInt(s, Quality);
    WriteInt(s, Border);
    WriteInt(s, Alpha);
    WriteInt(s, FontHeight);
    WriteStr(s, FontName);
    WriteInt(s, FontColor);
    WriteInt(s, BorderColor);
    WriteByte(s, FontStyle);
    WriteExact(s, Reserved.data(), int64_t(Reserved.size()));
    WriteInt(s, Shadow);
    WriteInt(s, ShadowColor);
}

void TKwLabelList::LoadFromStream(TKwBigStream& s, int32_t version)
{
    int32_t quality = ReadInt(s);
    // Older records knew only smoothing on or off.
    if (version < 109) quality = quality > 1 ? 3 : 0;
    const int32_t border = ReadInt(s);
    const int32_t alpha = ReadInt(s);
    const int32_t fontHeight = ReadInt(s);
    std::string fontName = ReadStr(s);
    const int32_t fontColor = ReadInt(s);
    const int32_t borderColor = ReadInt(s);
    const uint8_t fontStyle = ReadByte(s);
    std::array<uint8_t, ReservedSize> reserved;
    ReadExact(s, reserved.data(), int64_t(reserved.size()));
    int32_t shadow = Shadow, shadowColor = ShadowColor;
    if (version > 121) {
        shadow = ReadInt(s);
        shadowColor = ReadInt(s);
    }
    Quality = quality;
    Border = border;
    Alpha = alpha;
    FontHeight = fontHeight;
    FontName = std::move(fontName);
    FontColor = fontColor;
    BorderColor = borderColor;
    FontStyle = fontStyle;
    Reserved = reserved;
    Shadow = shadow;
    ShadowColor = shadowColor;
    MarkDirty();
}

} // namespace ruko
