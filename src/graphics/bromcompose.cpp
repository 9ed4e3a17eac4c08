// Composition of layers onto a frame in the frame's stored depth, masks and trimming.
#include "graphics/brom.h"

#include <algorithm>
#include <cstring>

namespace ruko {

namespace {

// Channel fields of the 16-bit formats: shift and width of red, green, blue.
struct TFields
{
    int shift[3];
    int width[3];
};
constexpr TFields Fields555{{10, 5, 0}, {5, 5, 5}};
constexpr TFields Fields565{{11, 5, 0}, {5, 6, 5}};

// Per-channel weighted mix of two 16-bit pixel values.
uint32_t Mix16(const TFields& fields, uint32_t d, uint32_t s, uint32_t weight, uint32_t divisor)
{
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t mask = (1u << fields.width[c]) - 1;
        uint32_t dc = (d >> fields.shift[c]) & mask, sc = (s >> fields.shift[c]) & mask;
        out |= (((255 - weight) * dc + weight * sc) / divisor) << fields.shift[c];
    }
    return out;
}

// Bytes of colour per pixel in 24- and 32-bit pictures; the fourth byte of a 32-bit pixel is
// not colour and keeps its destination value.
int ColourBytes(int bits)
{
    return bits == 32 ? 4 : 3;
}

constexpr uint8_t DitherMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

bool SameKey(const TPicture& picture, uint32_t pixel, int64_t key)
{
    if (key < 0) return false;
    return picture.Bits() == 32 ? (pixel & 0xFFFFFF) == (uint32_t(key) & 0xFFFFFF) : pixel == uint32_t(key);
}

void CopyPicture(TPicture& target, const TPicture& source)
{
    std::memcpy(target.Bytes().data(), source.Bytes().data(), target.Bytes().size());
}

// Per-pixel alpha blend with plane value m: 0 skips, 255 copies, otherwise
// floor(((255 − m) d + m s) / 256); palettised pictures copy when m ≥ 128.
void BlendWithPlane(TPicture& target, const TPicture& source, const TPicture& plane)
{
    int width = target.Width(), bits = target.Bits();
    for (int y = 0; y < target.Height(); ++y) {
        const uint8_t* m = plane.Row(y);
        if (bits == 24 || bits == 32) {
            int step = ColourBytes(bits);
            uint8_t* d = target.Row(y);
            const uint8_t* s = source.Row(y);
            for (int x = 0; x < width; ++x, d += step, s += step) {
                uint32_t w = m[x];
                if (w == 0) continue;
                for (int c = 0; c < 3; ++c)
                    d[c] = w == 255 ? s[c] : uint8_t(((255 - w) * d[c] + w * s[c]) >> 8);
            }
        } else if (bits <= 8) {
            for (int x = 0; x < width; ++x)
                if (m[x] >= 128) target.SetPixel(x, y, source.GetPixel(x, y));
        } else {
            const TFields& fields = bits == 15 ? Fields555 : Fields565;
            for (int x = 0; x < width; ++x) {
                uint32_t w = m[x];
                if (w == 0) continue;
                uint32_t s = source.GetPixel(x, y);
                target.SetPixel(x, y, w == 255 ? s : Mix16(fields, target.GetPixel(x, y), s, w, 256));
            }
        }
    }
}

// Keyed draw at opacity `alpha` (1..255): 15/16/24-bit pictures divide by 255, 32-bit ones by 256,
// palettised ones dither. Full opacity is a plain keyed copy in every depth.
void DrawKeyed(TPicture& target, const TPicture& source, int64_t key, int alpha)
{
    int width = target.Width(), bits = target.Bits();
    if (bits == 24 || bits == 32) {
        // Every frame of a title passes through here: work on the bytes, not through GetPixel.
        int step = ColourBytes(bits);
        uint32_t divisor = bits == 32 ? 256 : 255;
        // A 24-bit key beyond 24 bits matches no pixel; 32-bit pixels compare their colour bytes.
        bool keyed = key >= 0 && (bits == 32 || key <= 0xFFFFFF);
        uint32_t keyColour = uint32_t(key) & 0xFFFFFF;
        for (int y = 0; y < target.Height(); ++y) {
            uint8_t* d = target.Row(y);
            const uint8_t* s = source.Row(y);
            for (int x = 0; x < width; ++x, d += step, s += step) {
                if (keyed && (s[0] | s[1] << 8 | uint32_t(s[2]) << 16) == keyColour) continue;
                if (alpha == 255)
                    std::memcpy(d, s, size_t(step));
                else
                    for (int c = 0; c < 3; ++c)
                        d[c] = uint8_t(((255 - alpha) * d[c] + alpha * s[c]) / divisor);
            }
        }
        return;
    }
    for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t s = source.GetPixel(x, y);
            if (SameKey(source, s, key)) continue;
            if (alpha == 255) {
                target.SetPixel(x, y, s);
                continue;
            }
            if (bits <= 8) {
                if (DitherMatrix[y & 3][x & 3] <= alpha / 16) target.SetPixel(x, y, s);
            } else if (bits == 24 || bits == 32) {
                int step = ColourBytes(bits);
                uint8_t* d = target.Row(y) + x * step;
                const uint8_t* sp = source.Row(y) + x * step;
                uint32_t divisor = bits == 32 ? 256 : 255;
                for (int c = 0; c < 3; ++c)
                    d[c] = uint8_t(((255 - alpha) * d[c] + alpha * sp[c]) / divisor);
            } else {
                target.SetPixel(x, y,
                                Mix16(bits == 15 ? Fields555 : Fields565, target.GetPixel(x, y), s,
                                      uint32_t(alpha), 255));
            }
        }
    }
}

// 255 where the picture shows, 0 where it has the key.
TPicture PlaneFromKey(const TPicture& picture, int64_t key)
{
    int width = picture.Width(), bits = picture.Bits();
    TPicture plane(width, picture.Height(), 8);
    for (int y = 0; y < picture.Height(); ++y) {
        uint8_t* row = plane.Row(y);
        const uint8_t* source = picture.Row(y);
        if ((bits == 24 || bits == 32) && (key < 0 || bits == 32 || key <= 0xFFFFFF)) {
            // Masks of large pictures are made on every cache load: compare bytes directly.
            int step = ColourBytes(bits);
            uint32_t keyColour = uint32_t(key) & 0xFFFFFF;
            for (int x = 0; x < width; ++x, source += step)
                row[x] = key >= 0 && (source[0] | source[1] << 8 | uint32_t(source[2]) << 16) == keyColour
                             ? 0
                             : 255;
        } else if (bits == 8) {
            for (int x = 0; x < width; ++x)
                row[x] = key >= 0 && source[x] == key ? 0 : 255;
        } else if (bits == 15 || bits == 16) {
            for (int x = 0; x < width; ++x, source += 2)
                row[x] = key >= 0 && (source[0] | source[1] << 8) == key ? 0 : 255;
        } else {
            for (int x = 0; x < width; ++x)
                row[x] = SameKey(picture, picture.GetPixel(x, y), key) ? 0 : 255;
        }
    }
    return plane;
}

} // namespace

void TBromFrame::SetTransColor(int32_t pixel)
{
    TransColor = pixel;
    TransColorValue = pixel == -1 ? -1 : int64_t(Picture.PixelToColor(uint32_t(pixel)));
}

void TBromFrame::ComposeLayer(const TBromLayer& layer, bool firstVisible, bool firstInFile, bool notFillBG)
{
    bool alphaOn = layer.AlphaOn && layer.AlphaPlane;
    if (firstVisible && alphaOn) AlphaPlane = *layer.AlphaPlane;
    int32_t key = layer.AlphaOn ? -1 : layer.TransColor;
    int alpha = std::clamp(layer.Alpha, 0, 255);
    if (alphaOn && !firstInFile)
        BlendWithPlane(Picture, layer.Picture, *layer.AlphaPlane);
    else if ((key == -1 || (firstVisible && notFillBG)) && alpha == 255)
        CopyPicture(Picture, layer.Picture);
    else if (alpha > 0)
        DrawKeyed(Picture, layer.Picture, key, alpha);
}

void TBromFrame::MakeMask(bool withLayers)
{
    if (!AlphaPlane) AlphaPlane = PlaneFromKey(Picture, TransColor);
    if (!withLayers) return;
    for (auto& layer : Layers)
        if (!layer->AlphaPlane)
            layer->AlphaPlane =
                PlaneFromKey(layer->Picture, layer->TransColor != -1 ? layer->TransColor : TransColor);
}

std::pair<int, int> TBromFrame::Trim()
{
    if (!AlphaPlane && TransColor == -1) return {0, 0};
    std::optional<TPicture> keyPlane;
    if (!AlphaPlane) keyPlane = PlaneFromKey(Picture, TransColor);
    const TPicture& visibility = AlphaPlane ? *AlphaPlane : *keyPlane;
    int left = Picture.Width(), top = Picture.Height(), right = 0, bottom = 0;
    for (int y = 0; y < Picture.Height(); ++y) {
        const uint8_t* row = visibility.Row(y);
        int first = 0, last = Picture.Width();
        while (first < last && row[first] == 0)
            ++first;
        if (first == last) continue;
        while (row[last - 1] == 0)
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y + 1;
    }
    bool empty = right <= left || bottom <= top;
    if (empty || (left == 0 && top == 0 && right == Picture.Width() && bottom == Picture.Height()))
        return {0, 0};
    Picture = Picture.Crop(left, top, right - left, bottom - top);
    if (AlphaPlane) AlphaPlane = AlphaPlane->Crop(left, top, right - left, bottom - top);
    TRect crop(left, top, right, bottom);
    for (auto& list : RectLists) {
        std::vector<TRect> kept;
        for (const TRect& rect : list) {
            TRect common = IntersectRect(rect, crop);
            if (!common.IsEmpty()) kept.push_back(common);
        }
        list = std::move(kept);
    }
    return {left, top};
}

} // namespace ruko
