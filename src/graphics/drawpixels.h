#pragma once
// Pixel formats as compile-time traits and the per-pixel rules every drawing loop shares. Loops are
// instantiated per format so that the 32-bit ones work on plain uint32_t rows the compiler can
// vectorise; all channel arithmetic happens on masked fields in place, which gives the same value
// as working on extracted channels.
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace ruko::pixels {

template <class Storage, int FormatValue, uint32_t Red, uint32_t Green, uint32_t Blue> struct TWordFormat
{
    using T = Storage;
    static constexpr int Format = FormatValue;
    static constexpr int Bytes = sizeof(Storage);
    static constexpr uint32_t RMask = Red, GMask = Green, BMask = Blue;
    static constexpr uint32_t White = Red | Green | Blue;
    static uint32_t Load(const uint8_t* row, intptr_t i) { return reinterpret_cast<const T*>(row)[i]; }
    static void Store(uint8_t* row, intptr_t i, uint32_t v) { reinterpret_cast<T*>(row)[i] = T(v); }
};

using F8 = TWordFormat<uint8_t, 8, 0, 0, 0xFF>;
using F15 = TWordFormat<uint16_t, 15, 0x7C00, 0x03E0, 0x001F>;
using F16 = TWordFormat<uint16_t, 16, 0xF800, 0x07E0, 0x001F>;
using F32 = TWordFormat<uint32_t, 32, 0xFF0000, 0xFF00, 0xFF>;

struct F24
{
    static constexpr int Format = 24;
    static constexpr int Bytes = 3;
    static constexpr uint32_t RMask = 0xFF0000, GMask = 0xFF00, BMask = 0xFF;
    static constexpr uint32_t White = 0xFFFFFF;
    static uint32_t Load(const uint8_t* row, intptr_t i)
    {
        const uint8_t* p = row + i * 3;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    static void Store(uint8_t* row, intptr_t i, uint32_t v)
    {
        uint8_t* p = row + i * 3;
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
    }
};

// Calls fn(F{}) with the traits of `format`; false for formats no drawing operation handles.
template <class Fn> bool WithFormat(int format, Fn&& fn)
{
    switch (format) {
    case 8:
        fn(F8{});
        return true;
    case 15:
        fn(F15{});
        return true;
    case 16:
        fn(F16{});
        return true;
    case 24:
        fn(F24{});
        return true;
    case 32:
        fn(F32{});
        return true;
    default:
        return false;
    }
}

// Same, for the formats with colour channels only (glyphs and palettes).
template <class Fn> bool WithColourFormat(int format, Fn&& fn)
{
    switch (format) {
    case 15:
        fn(F15{});
        return true;
    case 16:
        fn(F16{});
        return true;
    case 32:
        fn(F32{});
        return true;
    default:
        return false;
    }
}

template <uint32_t M> inline uint32_t BlendField(uint32_t d, uint32_t s, uint32_t w, uint32_t iw)
{
    if constexpr (M == 0)
        return 0;
    else
        return (((d & M) * iw + (s & M) * w) >> 8) & M;
}

// floor(((255 - w) * d + w * s) / 256) per channel; w in 0..255.
template <class F> inline uint32_t BlendRaw(uint32_t d, uint32_t s, uint32_t w)
{
    const uint32_t iw = 255 - w;
    if constexpr (F::Format == 32 || F::Format == 24) {
        // Red and blue share one multiply: (255 - w) * d + w * s never exceeds 255 * 255, so the
        // low field cannot carry into the high one.
        const uint32_t rb = (((d & 0xFF00FF) * iw + (s & 0xFF00FF) * w) >> 8) & 0xFF00FF;
        const uint32_t g = (((d & 0xFF00) * iw + (s & 0xFF00) * w) >> 8) & 0xFF00;
        return rb | g;
    } else
        return BlendField<F::RMask>(d, s, w, iw) | BlendField<F::GMask>(d, s, w, iw) |
               BlendField<F::BMask>(d, s, w, iw);
}

// The weighted blend, leaving a pixel that already equals the source unchanged.
template <class F> inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t w)
{
    const uint32_t b = BlendRaw<F>(d, s, w);
    return d == s ? d : b;
}

template <uint32_t M> inline uint32_t AddField(uint32_t d, uint32_t addend)
{
    if constexpr (M == 0)
        return 0;
    else
        return std::min<uint32_t>((d & M) + (addend & M), M);
}

template <uint32_t M> inline uint32_t ScaleField(uint32_t s, uint32_t w)
{
    if constexpr (M == 0)
        return 0;
    else
        return (((s & M) * w) >> 8) & M;
}

// min(max, d + floor(w * s / 256)) per channel.
template <class F> inline uint32_t AddWeighted(uint32_t d, uint32_t s, uint32_t w)
{
    return AddField<F::RMask>(d, ScaleField<F::RMask>(s, w)) |
           AddField<F::GMask>(d, ScaleField<F::GMask>(s, w)) |
           AddField<F::BMask>(d, ScaleField<F::BMask>(s, w));
}

// min(max, d + v) per channel.
template <class F> inline uint32_t AddSat(uint32_t d, uint32_t v)
{
    return AddField<F::RMask>(d, v) | AddField<F::GMask>(d, v) | AddField<F::BMask>(d, v);
}

template <uint32_t M> inline uint32_t SubField(uint32_t d, uint32_t v)
{
    if constexpr (M == 0)
        return 0;
    else
        return (d & M) > (v & M) ? (d & M) - (v & M) : 0;
}

// max(0, d - v) per channel.
template <class F> inline uint32_t SubSat(uint32_t d, uint32_t v)
{
    return SubField<F::RMask>(d, v) | SubField<F::GMask>(d, v) | SubField<F::BMask>(d, v);
}

// Channel values of a pixel widened to 0..255 multiples of the field (for weighted sums that a
// single field cannot hold).
template <uint32_t M> constexpr int FieldShift()
{
    int shift = 0;
    while (shift < 32 && !((M >> shift) & 1))
        ++shift;
    return shift;
}

} // namespace ruko::pixels
