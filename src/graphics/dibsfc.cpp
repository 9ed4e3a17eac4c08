// Surfaces: the pixel store, pixel access, clipping, colours, fills and frames.
#include "graphics/dibsfc.h"

#include "base/error.h"
#include "graphics/drawpixels.h"
#include "graphics/drawrows.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ruko {

using namespace pixels;

namespace {

constexpr int32_t MaxSurfaceSide = 32768;

bool ValidFormat(int32_t format)
{
    switch (format) {
    case 1:
    case 4:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

int32_t BitsOf(int32_t format)
{
    return format == 15 ? 16 : format;
}

} // namespace

int32_t RowPitch(int32_t width, int32_t format)
{
    const int64_t bits = int64_t(width) * BitsOf(format);
    return int32_t(((bits + 31) / 32) * 4);
}

// ---------------------------------------------------------------------------------------------
// TCustomDIBX: geometry and pixels

int32_t TCustomDIBX::BitCount() const
{
    return BitsOf(PixelFormat());
}

uint32_t TCustomDIBX::RedMask() const
{
    switch (PixelFormat()) {
    case 15:
        return 0x7C00;
    case 16:
        return 0xF800;
    case 24:
    case 32:
        return 0xFF0000;
    default:
        return 0;
    }
}

uint32_t TCustomDIBX::GreenMask() const
{
    switch (PixelFormat()) {
    case 15:
        return 0x03E0;
    case 16:
        return 0x07E0;
    case 24:
    case 32:
        return 0xFF00;
    default:
        return 0;
    }
}

uint32_t TCustomDIBX::BlueMask() const
{
    switch (PixelFormat()) {
    case 15:
    case 16:
        return 0x1F;
    case 24:
    case 32:
        return 0xFF;
    default:
        return 0;
    }
}

int32_t TCustomDIBX::BlueShift() const
{
    return 0;
}

int32_t TCustomDIBX::GreenShift() const
{
    switch (PixelFormat()) {
    case 15:
    case 16:
        return 5;
    case 24:
    case 32:
        return 8;
    default:
        return 0;
    }
}

int32_t TCustomDIBX::RedShift() const
{
    switch (PixelFormat()) {
    case 15:
        return 10;
    case 16:
        return 11;
    case 24:
    case 32:
        return 16;
    default:
        return 0;
    }
}

uint32_t TCustomDIBX::GetPixel(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    const uint8_t* row = ScanLine(y);
    if (!row) return 0;
    switch (PixelFormat()) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    case 8:
        return F8::Load(row, x);
    case 15:
    case 16:
        return F16::Load(row, x);
    case 24:
        return F24::Load(row, x);
    case 32:
        return F32::Load(row, x);
    default:
        return 0;
    }
}

void TCustomDIBX::SetPixel(int32_t x, int32_t y, uint32_t value)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    uint8_t* row = ScanLine(y);
    if (!row) return;
    switch (PixelFormat()) {
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        row[x >> 3] = value ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        break;
    }
    case 4: {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? uint8_t((b & 0xF0) | (value & 15)) : uint8_t((b & 0x0F) | (value & 15) << 4);
        break;
    }
    case 8:
        F8::Store(row, x, value);
        break;
    case 15:
    case 16:
        F16::Store(row, x, value);
        break;
    case 24:
        F24::Store(row, x, value);
        break;
    case 32:
        F32::Store(row, x, value);
        break;
    default:
        break;
    }
}

void TCustomDIBX::GetPalette(uint32_t* table) const
{
    std::fill(table, table + 256, 0u);
}

void TCustomDIBX::SetPalette(const uint32_t*) {}

// ---------------------------------------------------------------------------------------------
// Clipping and colours

void TCustomDIBX::AddClipRect(const TRect& rect)
{
    const TRect r = IntersectRect(rect, BoundsRect());
    if (r.IsEmpty()) return;
    ClipRect = ClipRect.Right == 0 ? r : UnionRect(ClipRect, r);
}

TRect TCustomDIBX::EffectiveClip() const
{
    if (ClipRect.Right == 0) return BoundsRect();
    return IntersectRect(ClipRect, BoundsRect());
}

int64_t TCustomDIBX::ColorToPixel(int64_t color) const
{
    if (color < 0) return -1;
    const uint32_t c = uint32_t(color);
    const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    switch (PixelFormat()) {
    case 15:
        return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case 16:
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case 24:
    case 32:
        return r << 16 | g << 8 | b;
    default:
        return c;
    }
}

uint32_t TCustomDIBX::PixelToColor(uint32_t value) const
{
    uint32_t r, g, b;
    switch (PixelFormat()) {
    case 15:
        r = (value >> 10) & 31, g = (value >> 5) & 31, b = value & 31;
        r = r << 3 | r >> 2, g = g << 3 | g >> 2, b = b << 3 | b >> 2;
        break;
    case 16:
        r = (value >> 11) & 31, g = (value >> 5) & 63, b = value & 31;
        r = r << 3 | r >> 2, g = g << 2 | g >> 4, b = b << 3 | b >> 2;
        break;
    case 24:
    case 32:
        r = (value >> 16) & 255, g = (value >> 8) & 255, b = value & 255;
        break;
    default: {
        uint32_t table[256];
        GetPalette(table);
        const uint32_t e = table[value & 255];
        r = (e >> 16) & 255, g = (e >> 8) & 255, b = e & 255;
        break;
    }
    }
    return b << 16 | g << 8 | r;
}

// ---------------------------------------------------------------------------------------------
// Fills

namespace {

template <class F, class PixelOp> void ForRect(TCustomDIBX& dib, const TRect& r, PixelOp op)
{
    const int32_t n = r.Width();
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        uint8_t* row = dib.Lock(r.Left, y);
        if (!row) return;
        for (int32_t i = 0; i < n; ++i)
            F::Store(row, i, op(F::Load(row, i)));
    }
}

} // namespace

void TCustomDIBX::Fill(uint32_t value)
{
    if (IsEmpty()) return;
    switch (PixelFormat()) {
    case 1:
    case 4: {
        const uint8_t byte = PixelFormat() == 4 ? uint8_t((value & 15) * 17) : (value ? 0xFF : 0);
        for (int32_t y = 0; y < Height(); ++y)
            if (uint8_t* row = ScanLine(y)) std::memset(row, byte, size_t(Pitch()));
        break;
    }
    default: {
        const TRect saved = ClipRect;
        ClipRect = TRect();
        FillRect(BoundsRect(), value);
        ClipRect = saved;
        break;
    }
    }
}

void TCustomDIBX::FillRect(const TRect& rect, uint32_t value)
{
    const TRect r = IntersectRect(rect, EffectiveClip());
    if (r.IsEmpty()) return;
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        if constexpr (F::Bytes == 1) {
            for (int32_t y = r.Top; y < r.Bottom; ++y)
                if (uint8_t* row = Lock(r.Left, y)) std::memset(row, int(value & 0xFF), size_t(r.Width()));
        } else
            ForRect<F>(*this, r, [value](uint32_t) { return value; });
    });
}

void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t value, int32_t alpha)
{
    if (alpha <= 0) return;
    const uint32_t w = uint32_t(std::min(alpha, 255));
    const TRect r = IntersectRect(rect, EffectiveClip());
    if (r.IsEmpty()) return;
    if (PixelFormat() == 32) {
        // Keeps the exact value so that pixels already equal to it stay as they are.
        const std::vector<uint32_t> solid(size_t(r.Width()), value);
        for (int32_t y = r.Top; y < r.Bottom; ++y)
            if (uint8_t* row = Lock(r.Left, y))
                BlendRow32(reinterpret_cast<uint32_t*>(row), solid.data(), r.Width(), w);
        return;
    }
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        ForRect<F>(*this, r, [value, w](uint32_t d) { return Blend<F>(d, value, w); });
    });
}

void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t value)
{
    const TRect r = IntersectRect(rect, EffectiveClip());
    if (r.IsEmpty()) return;
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        ForRect<F>(*this, r, [value](uint32_t d) { return AddSat<F>(d, value); });
    });
}

void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t value)
{
    const TRect r = IntersectRect(rect, EffectiveClip());
    if (r.IsEmpty()) return;
    WithFormat(PixelFormat(), [&](auto f) {
        using F = decltype(f);
        ForRect<F>(*this, r, [value](uint32_t d) { return SubSat<F>(d, value); });
    });
}

namespace {

// The four bands of a frame: top and bottom across the whole width, the sides between them only
// when there is room.
template <class Band> void FrameBands(const TRect& rect, int32_t width, Band band)
{
    if (width <= 0 || rect.IsEmpty()) return;
    const int32_t w = std::min(width, std::max(rect.Width(), rect.Height()));
    const int32_t topBottom = std::min(rect.Bottom, rect.Top + w);
    const int32_t bottomTop = std::max(topBottom, rect.Bottom - w);
    band(TRect(rect.Left, rect.Top, rect.Right, topBottom));
    if (bottomTop < rect.Bottom) band(TRect(rect.Left, bottomTop, rect.Right, rect.Bottom));
    if (bottomTop > topBottom) {
        const int32_t leftRight = std::min(rect.Right, rect.Left + w);
        band(TRect(rect.Left, topBottom, leftRight, bottomTop));
        const int32_t rightLeft = std::max(leftRight, rect.Right - w);
        if (rightLeft < rect.Right) band(TRect(rightLeft, topBottom, rect.Right, bottomTop));
    }
}

} // namespace

void TCustomDIBX::FrameRect(const TRect& rect, int32_t width, uint32_t value)
{
    FrameBands(rect, width, [&](const TRect& band) { FillRect(band, value); });
}

void TCustomDIBX::FrameRectAlpha(const TRect& rect, int32_t width, uint32_t value, int32_t alpha)
{
    FrameBands(rect, width, [&](const TRect& band) { FillRectAlpha(band, value, alpha); });
}

void TCustomDIBX::FrameRectAdd(const TRect& rect, int32_t width, uint32_t value)
{
    FrameBands(rect, width, [&](const TRect& band) { FillRectAdd(band, value); });
}

void TCustomDIBX::FramePattern(const TRect& rect, int32_t width, const TCustomDIBX& pattern, int32_t offsetX,
                               int32_t offsetY)
{
    FrameBands(rect, width, [&](const TRect& band) {
        // Each band keeps the pattern phase of the whole frame.
        TileFill(band, pattern, offsetX + (band.Left - rect.Left), offsetY + (band.Top - rect.Top), false,
                 false);
    });
}

void TCustomDIBX::Assign(const TCustomDIBX& source)
{
    if (&source == this) return;
    const TRect saved = ClipRect;
    ClipRect = TRect();
    if (source.Width() == Width() && source.Height() == Height() && source.PixelFormat() == PixelFormat() &&
        !IsEmpty()) {
        const size_t bytes = size_t(RowPitch(Width(), PixelFormat()));
        for (int32_t y = 0; y < Height(); ++y) {
            uint8_t* d = ScanLine(y);
            const uint8_t* s = source.ScanLine(y);
            if (!d || !s) break;
            std::memcpy(d, s, bytes);
        }
    } else
        Draw(0, 0, source, source.BoundsRect(), false, false, false);
    ClipRect = saved;
}

// ---------------------------------------------------------------------------------------------
// TDIBX

TDIBX::TDIBX() : Store(std::make_shared<TDIBSurface>())
{
    SetSize(1, 1, 15);
}

TDIBX::TDIBX(int32_t width, int32_t height, int32_t format) : Store(std::make_shared<TDIBSurface>())
{
    SetSize(width, height, format);
}

void TDIBX::SetSize(int32_t width, int32_t height, int32_t format)
{
    if (!ValidFormat(format)) format = 32;
    if (width < 0 || height < 0 || width > MaxSurfaceSide || height > MaxSurfaceSide)
        RaiseError(FormatText("surface size %dx%d out of range", width, height));
    if (Store.use_count() > 1)
        Store = std::make_shared<TDIBSurface>(TDIBSurface{0, 0, 32, 0, {}, Store->Palette});
    TDIBSurface& s = *Store;
    if (s.Width == width && s.Height == height && s.Format == format) return;
    s.Width = width;
    s.Height = height;
    s.Format = format;
    s.Pitch = RowPitch(width, format);
    s.Bits.assign(size_t(s.Pitch) * size_t(height), 0);
    ClipRect = TRect();
}

uint8_t* TDIBX::Lock(int32_t x, int32_t y)
{
    const TDIBSurface& s = *Store;
    if (x < 0 || y < 0 || x >= s.Width || y >= s.Height) return nullptr;
    uint8_t* row = Store->Bits.data() + size_t(y) * size_t(s.Pitch);
    switch (s.Format) {
    case 1:
        return row + (x >> 3);
    case 4:
        return row + (x >> 1);
    default:
        return row + size_t(x) * size_t(BitsOf(s.Format) / 8);
    }
}

void TDIBX::GetPalette(uint32_t* table) const
{
    std::copy(Store->Palette.begin(), Store->Palette.end(), table);
}

void TDIBX::SetPalette(const uint32_t* table)
{
    std::copy(table, table + 256, Store->Palette.begin());
}

void TDIBX::SetPixelFormat(int32_t format)
{
    if (format == PixelFormat() || !ValidFormat(format) || format < 15 || PixelFormat() < 15) return;
    TDIBX converted(Width(), Height(), format);
    for (int32_t y = 0; y < Height(); ++y)
        for (int32_t x = 0; x < Width(); ++x)
            converted.SetPixel(x, y, uint32_t(converted.ColorToPixel(PixelToColor(GetPixel(x, y)))));
    const TRect clip = ClipRect;
    Store = std::move(converted.Store);
    ClipRect = clip;
}

void TDIBX::Clear()
{
    const int32_t format = PixelFormat();
    SetSize(8, 8, format);
    Store->Width = 0;
    Store->Height = 0;
    ClipRect = TRect();
}

void TDIBX::ShareStore(const TDIBX& other)
{
    Store = other.Store;
    ClipRect = TRect();
}

void TDIBX::Unshare()
{
    if (Store.use_count() > 1) Store = std::make_shared<TDIBSurface>(*Store);
}

} // namespace ruko
