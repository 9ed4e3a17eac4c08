// 32-bit row kernels: channel arithmetic in 16-bit lanes. (255 - w) * d + w * s never exceeds
// 255 * 255, so each weighted sum fits its lane and the shift by 8 gives the floor exactly.
#include "graphics/drawrows.h"

#include "graphics/drawpixels.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ruko::pixels {

namespace {

uint32_t MaskWeight(EMaskRule rule, uint32_t m, uint32_t alpha)
{
    switch (rule) {
    case EMaskRule::Copy:
        return m;
    case EMaskRule::Weighted:
        return m == 255 ? alpha : (alpha * m) >> 8;
    case EMaskRule::Coverage:
        return alpha == 255 ? m : m == 255 ? alpha : (alpha * m) >> 8;
    default:
        return (alpha * m) >> 8;
    }
}

uint32_t MaskPixel(EMaskRule rule, uint32_t a, uint32_t b, uint32_t m, uint32_t alpha)
{
    const uint32_t w = MaskWeight(rule, m, alpha);
    if (rule == EMaskRule::Add) return AddWeighted<F32>(a, b, w);
    if (rule == EMaskRule::Copy && m == 255) return b;
    return w == 0 ? a : Blend<F32>(a, b, w);
}

#ifdef __SSE2__

const __m128i Zero = _mm_setzero_si128();

// Weighted sum of the 16-bit lanes of one pixel pair half: (d * iw + s * w) >> 8.
inline __m128i Mix16(__m128i d, __m128i s, __m128i w, __m128i iw)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d, iw), _mm_mullo_epi16(s, w)), 8);
}

// Four pixels blended with per-lane weights (wl for pixels 0-1, wh for 2-3, each weight in the
// four lanes of its pixel); the top byte cleared.
inline __m128i Mix4(__m128i d, __m128i s, __m128i wl, __m128i wh)
{
    const __m128i all = _mm_set1_epi16(255);
    const __m128i lo =
        Mix16(_mm_unpacklo_epi8(d, Zero), _mm_unpacklo_epi8(s, Zero), wl, _mm_sub_epi16(all, wl));
    const __m128i hi =
        Mix16(_mm_unpackhi_epi8(d, Zero), _mm_unpackhi_epi8(s, Zero), wh, _mm_sub_epi16(all, wh));
    return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
}

// floor(w * s / 256) per channel for four pixels.
inline __m128i Scale4(__m128i s, __m128i wl, __m128i wh)
{
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, Zero), wl), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, Zero), wh), 8);
    return _mm_packus_epi16(lo, hi);
}

inline __m128i Select(__m128i keepA, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(keepA, a), _mm_andnot_si128(keepA, b));
}

inline __m128i Load(const uint32_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint32_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

#endif

} // namespace

void BlendRow32(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w)
{
    int32_t i = 0;
#ifdef __SSE2__
    const __m128i wv = _mm_set1_epi16(int16_t(w));
    // Eight pixels a round: two independent chains keep the multipliers busy.
    for (; i + 8 <= n; i += 8) {
        const __m128i d0 = Load(d + i), s0 = Load(s + i), d1 = Load(d + i + 4), s1 = Load(s + i + 4);
        const __m128i m0 = Mix4(d0, s0, wv, wv), m1 = Mix4(d1, s1, wv, wv);
        Store(d + i, Select(_mm_cmpeq_epi32(d0, s0), d0, m0));
        Store(d + i + 4, Select(_mm_cmpeq_epi32(d1, s1), d1, m1));
    }
    for (; i + 4 <= n; i += 4) {
        const __m128i dv = Load(d + i), sv = Load(s + i);
        Store(d + i, Select(_mm_cmpeq_epi32(dv, sv), dv, Mix4(dv, sv, wv, wv)));
    }
#endif
    for (; i < n; ++i)
        d[i] = Blend<F32>(d[i], s[i], w);
}

void AddRow32(uint32_t* d, const uint32_t* s, int32_t n, uint32_t w, bool keyed, uint32_t key)
{
    int32_t i = 0;
#ifdef __SSE2__
    const __m128i wv = _mm_set1_epi16(int16_t(w)), rgb = _mm_set1_epi32(0x00FFFFFF);
    const __m128i keyv = _mm_set1_epi32(int32_t(key));
    for (; i + 4 <= n; i += 4) {
        const __m128i dv = Load(d + i), sv = Load(s + i);
        const __m128i sum = _mm_and_si128(_mm_adds_epu8(dv, Scale4(sv, wv, wv)), rgb);
        Store(d + i, keyed ? Select(_mm_cmpeq_epi32(sv, keyv), dv, sum) : sum);
    }
#endif
    for (; i < n; ++i)
        d[i] = keyed && s[i] == key ? d[i] : AddWeighted<F32>(d[i], s[i], w);
}

void MaskRow32(uint32_t* out, const uint32_t* a, const uint32_t* b, const uint8_t* m, int32_t n,
               EMaskRule rule, uint32_t alpha)
{
    int32_t i = 0;
#ifdef __SSE2__
    const __m128i alphav = _mm_set1_epi16(int16_t(alpha)), full = _mm_set1_epi32(255);
    const __m128i full16 = _mm_set1_epi16(255), rgb = _mm_set1_epi32(0x00FFFFFF);
    for (; i + 4 <= n; i += 4) {
        int32_t four;
        __builtin_memcpy(&four, m + i, 4);
        const __m128i av = Load(a + i);
        // Alpha planes are mostly clear or opaque: whole groups take a shortcut.
        if (four == 0) {
            if (out != a) Store(out + i, av);
            continue;
        }
        const __m128i bv = Load(b + i);
        if (four == -1 && rule == EMaskRule::Copy) {
            Store(out + i, bv);
            continue;
        }
        const __m128i m16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), Zero);
        __m128i w16 = m16;
        if (rule == EMaskRule::Weighted || (rule == EMaskRule::Coverage && alpha != 255))
            w16 =
                Select(_mm_cmpeq_epi16(m16, full16), alphav, _mm_srli_epi16(_mm_mullo_epi16(m16, alphav), 8));
        else if (rule == EMaskRule::Add)
            w16 = _mm_srli_epi16(_mm_mullo_epi16(m16, alphav), 8);
        const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
        const __m128i wl = _mm_unpacklo_epi32(pairs, pairs), wh = _mm_unpackhi_epi32(pairs, pairs);
        __m128i result;
        if (rule == EMaskRule::Add)
            result = _mm_and_si128(_mm_adds_epu8(av, Scale4(bv, wl, wh)), rgb);
        else {
            const __m128i w32 = _mm_unpacklo_epi16(w16, Zero);
            const __m128i keep = _mm_or_si128(_mm_cmpeq_epi32(w32, Zero), _mm_cmpeq_epi32(av, bv));
            result = Select(keep, av, Mix4(av, bv, wl, wh));
            if (rule == EMaskRule::Copy)
                result = Select(_mm_cmpeq_epi32(_mm_unpacklo_epi16(m16, Zero), full), bv, result);
        }
        Store(out + i, result);
    }
#endif
    for (; i < n; ++i)
        out[i] = MaskPixel(rule, a[i], b[i], m[i], alpha);
}

} // namespace ruko::pixels
