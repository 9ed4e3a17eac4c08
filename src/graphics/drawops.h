#pragma once
// Per-pixel operations selected once per call (internal to the graphics subsystem): the mode, the
// key and the mask are template arguments so that row loops carry no per-pixel branches on them.
#include "graphics/drawpixels.h"

#include <type_traits>

namespace ruko::pixels {

enum class EDrawMode
{
    Copy,  // masked: 255 copies, other values blend with the mask as weight
    Blend, // weight w (masked: w, or floor(w * m / 256) below m = 255)
    Add    // additive with weight w (masked: floor(w * m / 256))
};

template <class F, EDrawMode Mode, bool Keyed, bool Masked> struct TPixelOp
{
    uint32_t W = 255;
    uint32_t Key = 0;

    uint32_t operator()(uint32_t d, uint32_t s, uint32_t m) const
    {
        uint32_t out;
        if constexpr (Mode == EDrawMode::Copy) {
            if constexpr (Masked) {
                const uint32_t b = Blend<F>(d, s, m);
                out = m == 255 ? s : m == 0 ? d : b;
            } else
                out = s;
        } else if constexpr (Mode == EDrawMode::Blend) {
            uint32_t w = W;
            if constexpr (Masked) w = m == 255 ? W : (W * m) >> 8;
            const uint32_t b = Blend<F>(d, s, w);
            // A weight that rounds to 0 leaves the pixel alone rather than darkening it.
            out = w == 0 ? d : b;
        } else {
            uint32_t w = W;
            if constexpr (Masked) w = (W * m) >> 8;
            out = AddWeighted<F>(d, s, w);
        }
        if constexpr (Keyed) out = s == Key ? d : out;
        return out;
    }
};

// Calls fn(op) with the operation for `mode`, `keyed` and `masked`.
template <class F, class Fn>
void WithPixelOp(EDrawMode mode, bool keyed, bool masked, uint32_t w, uint32_t key, Fn&& fn)
{
    auto pick = [&](auto modeTag) {
        constexpr EDrawMode M = decltype(modeTag)::value;
        if (masked)
            keyed ? fn(TPixelOp<F, M, true, true>{w, key}) : fn(TPixelOp<F, M, false, true>{w, key});
        else
            keyed ? fn(TPixelOp<F, M, true, false>{w, key}) : fn(TPixelOp<F, M, false, false>{w, key});
    };
    switch (mode) {
    case EDrawMode::Copy:
        pick(std::integral_constant<EDrawMode, EDrawMode::Copy>{});
        break;
    case EDrawMode::Blend:
        pick(std::integral_constant<EDrawMode, EDrawMode::Blend>{});
        break;
    case EDrawMode::Add:
        pick(std::integral_constant<EDrawMode, EDrawMode::Add>{});
        break;
    }
}

// The 0..511 opacity rule: false when nothing is to be drawn.
inline bool OpacityMode(int32_t alpha, EDrawMode& mode, uint32_t& w)
{
    if (alpha <= 0) return false;
    if (alpha < 255)
        mode = EDrawMode::Blend, w = uint32_t(alpha);
    else if (alpha == 255)
        mode = EDrawMode::Copy, w = 255;
    else {
        mode = EDrawMode::Add, w = uint32_t(std::min(alpha - 256, 255));
        if (w == 0) return false;
    }
    return true;
}

} // namespace ruko::pixels
