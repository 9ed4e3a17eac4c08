#pragma once
// Row kernels of the 32-bit (XRGB) fast paths, internal to the graphics subsystem. Each gives
// exactly the values of the per-pixel rules in drawpixels.h (the top byte of every result is 0);
// SSE2 handles four pixels at a time where the processor has it, a plain loop does the rest.
#include <cstdint>

namespace ruko::pixels {

// d = Blend(d, s, w): floor(((255 - w) * d + w * s) / 256) per channel, d kept where d == s.
// w in 1..255.
void BlendRow32(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w);

// d = min(255, d + floor(w * s / 256)) per channel; with `keyed`, pixels where s == key are kept.
void AddRow32(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, bool keyed, uint32_t key);

// How a mask value m turns into a weight.
enum class EMaskRule
{
    Copy,     // m = 0 keeps a, 255 takes b, others blend with weight m
    Weighted, // weight alpha at m = 255, floor(alpha * m / 256) below; weight 0 keeps a
    Add,      // a + floor(w * b / 256) with w = floor(alpha * m / 256)
    Coverage  // glyph coverage: weight m at alpha 255, otherwise as Weighted
};

// out = the rule applied to a (destination side) and b (source side) through mask m. `out` may
// be `a`.
void MaskRow32(uint32_t* out, const uint32_t* a, const uint32_t* b, const uint8_t* m, int32_t n,
               EMaskRule rule, uint32_t alpha);

} // namespace ruko::pixels
