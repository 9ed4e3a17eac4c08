// Transitions with per-pixel tables or moving pieces: spot, shadow white and black, ripple, blur
// white and black, crack.
#include "graphics/drawpixels.h"
#include "graphics/wipetypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

namespace ruko {

using namespace pixels;

namespace {

int32_t Nearest(double value)
{
    return int32_t(std::nearbyint(value));
}

// A bright ring that runs outwards (inwards with Reverse), leaving the new picture behind it.
class TWipeSpot : public TCustomWipe
{
  public:
    TWipeSpot(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from)
        : TCustomWipe(target, to, from)
    {
        BuildDistances();
    }

    void SetReverse(bool reverse) override
    {
        TCustomWipe::SetReverse(reverse);
        BuildDistances();
    }

  protected:
    std::vector<int32_t> Distances;
    int32_t Radius = 0;

    void BuildDistances()
    {
        const double r = std::hypot(H() / 2.0, W() / 2.0);
        Radius = Nearest(r);
        Distances.resize(size_t(W()) * size_t(H()));
        for (int32_t y = 0; y < H(); ++y)
            for (int32_t x = 0; x < W(); ++x) {
                const int32_t d = Nearest(std::hypot(y - H() / 2, x - W() / 2));
                Distances[size_t(y) * size_t(W()) + size_t(x)] = Reverse ? Radius - d : d;
            }
    }

    void DrawStep() override
    {
        if (Distances.size() != size_t(W()) * size_t(H())) BuildDistances();
        const int64_t b = Progress(int64_t(Radius) + 512);
        uint32_t greys[256];
        for (int32_t level = 0; level < 256; ++level)
            greys[level] = Grey(level);
        WithFormat(Target.PixelFormat(), [&](auto f) {
            using F = decltype(f);
            for (int32_t y = 0; y < H(); ++y) {
                uint8_t* d = Target.ScanLine(y);
                const uint8_t* a = FromPicture.ScanLine(y);
                const uint8_t* t = ToPicture.ScanLine(y);
                if (!d || !a || !t) return;
                const int32_t* dist = Distances.data() + size_t(y) * size_t(W());
                for (int32_t x = 0; x < W(); ++x) {
                    const int64_t from = b - dist[x];
                    uint32_t v = from < 256 ? F::Load(a, x) : F::Load(t, x);
                    if (from >= 0 && from < 512) v = AddSat<F>(v, greys[from < 256 ? from : 511 - from]);
                    F::Store(d, x, v);
                }
            }
        });
    }
};

// A rule picture through white (or black): each pixel brightens away from the old picture and
// darkens into the new one, bright rule pixels first.
class TWipeShadowTint : public TCustomWipe
{
  public:
    TWipeShadowTint(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool black)
        : TCustomWipe(target, to, from), Black(black)
    {
    }

    void Prepare() override { Rule = RuleGreys(); }

  protected:
    bool Black;
    std::unique_ptr<TDIBX> Rule;

    void DrawStep() override
    {
        if (!Rule || Rule->Width() != W() || Rule->Height() != H()) Rule = RuleGreys();
        const int32_t i = int32_t(Progress(768)) + 255;
        // Per rule grey, this frame's tint and picture: k = T[i + grey - 255] is 0 up to 255,
        // then j - 256, capped at 511; k <= 255 tints From by k, above it To by 511 - k.
        uint32_t tints[256];
        bool showsTo[256];
        for (int32_t grey = 0; grey < 256; ++grey) {
            const int32_t j = i + grey - 255;
            const int32_t k = j <= 255 ? 0 : j <= 767 ? j - 256 : 511;
            showsTo[grey] = k > 255;
            tints[grey] = Grey(k <= 255 ? k : 511 - k);
        }
        auto draw = [&](auto f, auto black) {
            using F = decltype(f);
            for (int32_t y = 0; y < H(); ++y) {
                uint8_t* d = Target.ScanLine(y);
                const uint8_t* a = FromPicture.ScanLine(y);
                const uint8_t* t = ToPicture.ScanLine(y);
                const uint8_t* g = Rule->ScanLine(y);
                if (!d || !a || !t) return;
                for (int32_t x = 0; x < W(); ++x) {
                    const uint32_t base = showsTo[g[x]] ? F::Load(t, x) : F::Load(a, x);
                    if constexpr (decltype(black)::value)
                        F::Store(d, x, SubSat<F>(base, tints[g[x]]));
                    else
                        F::Store(d, x, AddSat<F>(base, tints[g[x]]));
                }
            }
        };
        WithFormat(Target.PixelFormat(), [&](auto f) {
            if (Black)
                draw(f, std::true_type{});
            else
                draw(f, std::false_type{});
        });
    }
};

// A ring wave that runs outwards and leaves the new picture behind it.
class TWipeRipple : public TCustomWipe
{
  public:
    TWipeRipple(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from)
        : TCustomWipe(target, to, from)
    {
        BuildTables();
    }

    void SetParam(int32_t index, int32_t value) override
    {
        TCustomWipe::SetParam(index, value);
        if (index == 0) BuildWave();
    }

  protected:
    int32_t CentreX = 0, CentreY = 0, Length = 0;
    // Per point of one quadrant (|dx| <= CentreX, |dy| <= CentreY): distance, cos and sin (16.16).
    std::vector<int32_t> Distance, Cos, Sin;
    std::vector<int64_t> Wave;

    void BuildTables()
    {
        CentreX = W() / 2, CentreY = H() / 2;
        const size_t n = size_t(CentreX + 1) * size_t(CentreY + 1);
        Distance.resize(n), Cos.resize(n), Sin.resize(n);
        for (int32_t dy = 0; dy <= CentreY; ++dy)
            for (int32_t dx = 0; dx <= CentreX; ++dx) {
                const size_t at = size_t(dy) * size_t(CentreX + 1) + size_t(dx);
                const double r = std::hypot(dx, dy);
                Distance[at] = Nearest(r);
                Cos[at] = r > 0 ? int32_t(dx / r * 65536) : 0;
                Sin[at] = r > 0 ? int32_t(dy / r * 65536) : 0;
            }
        Length = std::min(CentreX, CentreY) * 2 / 3;
        BuildWave();
    }

    void BuildWave()
    {
        // Screens too small for a quarter wave get a flat wave instead of a division by zero.
        const int64_t quarter = Length / 4;
        Wave.assign(size_t(std::max(Length, 0)), 0);
        if (quarter > 0)
            for (int32_t i = 0; i < Length; ++i)
                Wave[size_t(i)] = (i % quarter) * int64_t(Params[0]) / quarter;
    }

    void DrawStep() override
    {
        if (CentreX != W() / 2 || CentreY != H() / 2) BuildTables();
        const int64_t front = Progress(int64_t(Nearest(std::hypot(CentreY, CentreX))) + Length);
        // Rows are evenly spaced: sample the ring through one base pointer, not a call per pixel.
        const uint8_t* toBase = ToPicture.ScanLine(0);
        const intptr_t toPitch = ToPicture.Pitch();
        if (!toBase) return;
        WithFormat(Target.PixelFormat(), [&](auto f) {
            using F = decltype(f);
            for (int32_t y = 0; y < H(); ++y) {
                uint8_t* d = Target.ScanLine(y);
                const uint8_t* a = FromPicture.ScanLine(y);
                const uint8_t* t = ToPicture.ScanLine(y);
                if (!d || !a || !t) return;
                const int32_t dy = y - CentreY, ady = std::min(std::abs(dy), CentreY);
                const size_t rowAt = size_t(ady) * size_t(CentreX + 1);
                // Distances grow along the row away from the centre column, so each row is From
                // outside the ring, the ring, and To inside it: copy the runs, sample the ring.
                const int32_t* rowDistance = Distance.data() + rowAt;
                const int32_t columns = CentreX + 1;
                const int64_t inner = front - (Length - 1);
                const int32_t toEnd = int32_t(std::partition_point(rowDistance, rowDistance + columns,
                                                                   [&](int32_t r) { return r < inner; }) -
                                              rowDistance);
                const int32_t ringEnd = int32_t(std::partition_point(rowDistance, rowDistance + columns,
                                                                     [&](int32_t r) { return r <= front; }) -
                                                rowDistance);
                // Columns x with |x - CentreX| < k form [CentreX - k + 1, CentreX + k).
                auto span = [&](int32_t k, int32_t& lo, int32_t& hi) {
                    lo = std::clamp(CentreX - k + 1, 0, W());
                    hi = std::clamp(CentreX + k, lo, W());
                };
                int32_t ringLo, ringHi, toLo, toHi;
                span(ringEnd, ringLo, ringHi);
                span(toEnd, toLo, toHi);
                toLo = std::clamp(toLo, ringLo, ringHi);
                toHi = std::clamp(toHi, toLo, ringHi);
                auto copy = [&](const uint8_t* picture, int32_t lo, int32_t hi) {
                    if (hi > lo)
                        std::memcpy(d + size_t(lo) * F::Bytes, picture + size_t(lo) * F::Bytes,
                                    size_t(hi - lo) * F::Bytes);
                };
                auto ring = [&](int32_t lo, int32_t hi) {
                    for (int32_t x = lo; x < hi; ++x) {
                        const int32_t dx = x - CentreX, adx = std::min(std::abs(dx), CentreX);
                        const size_t at = rowAt + size_t(adx);
                        const int64_t r = Distance[at];
                        const int64_t j = std::clamp<int64_t>(r + (Length - 1) - front, 0, Length - 1);
                        uint32_t v = F::Load(t, x);
                        const int64_t radius = r + Wave[size_t(j)];
                        const int64_t sx = CentreX + ((radius * Cos[at]) >> 16) * (dx < 0 ? -1 : 1);
                        const int64_t sy = CentreY + ((radius * Sin[at]) >> 16) * (dy < 0 ? -1 : 1);
                        if (sx >= 0 && sy >= 0 && sx < W() && sy < H())
                            v = F::Load(toBase + sy * toPitch, sx);
                        F::Store(d, x, v);
                    }
                };
                copy(a, 0, ringLo);
                ring(ringLo, toLo);
                copy(t, toLo, toHi);
                ring(toHi, ringHi);
                copy(a, ringHi, W());
            }
        });
    }
};

// Each pixel the average of the (2r + 1)^2 square around it, counting only pixels inside.
std::unique_ptr<TDIBX> BoxBlur(const TCustomDIBX& picture, int32_t radius)
{
    const int32_t w = picture.Width(), h = picture.Height();
    auto out = std::make_unique<TDIBX>(w, h, picture.PixelFormat());
    if (radius <= 0 || w <= 0 || h <= 0) {
        out->Assign(picture);
        return out;
    }
    // Channels are summed one at a time and gathered in the picture itself, starting from 0.
    out->Fill(0);
    WithFormat(picture.PixelFormat(), [&](auto f) {
        using F = decltype(f);
        std::vector<uint32_t> rowSums(size_t(w) * size_t(h)), prefix(size_t(std::max(w, h)) + 1);
        std::vector<uint32_t> columnSums(static_cast<size_t>(w)), columnWidths(static_cast<size_t>(w));
        std::vector<double> columnInverses(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) {
            columnWidths[size_t(x)] = uint32_t(std::min(w, x + radius + 1) - std::max(0, x - radius));
            columnInverses[size_t(x)] = 1.0 / columnWidths[size_t(x)];
        }
        for (uint32_t mask : {F::RMask, F::GMask, F::BMask}) {
            if (!mask) continue;
            const int shift = __builtin_ctz(mask);
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t* row = picture.ScanLine(y);
                for (int32_t x = 0; x < w; ++x)
                    prefix[size_t(x) + 1] = prefix[size_t(x)] + ((F::Load(row, x) & mask) >> shift);
                for (int32_t x = 0; x < w; ++x)
                    rowSums[size_t(y) * size_t(w) + size_t(x)] =
                        prefix[size_t(std::min(w, x + radius + 1))] - prefix[size_t(std::max(0, x - radius))];
            }
            // Down the picture row by row with a running sum per column (walking columns would
            // stride across the whole picture for every pixel).
            std::fill(columnSums.begin(), columnSums.end(), 0);
            auto addRow = [&](int32_t y, bool add) {
                const uint32_t* sums = rowSums.data() + size_t(y) * size_t(w);
                for (int32_t x = 0; x < w; ++x)
                    columnSums[size_t(x)] =
                        add ? columnSums[size_t(x)] + sums[x] : columnSums[size_t(x)] - sums[x];
            };
            for (int32_t y = 0; y < std::min(h, radius); ++y)
                addRow(y, true);
            for (int32_t y = 0; y < h; ++y) {
                if (y + radius < h) addRow(y + radius, true);
                if (y - radius - 1 >= 0) addRow(y - radius - 1, false);
                const uint32_t ch = uint32_t(std::min(h, y + radius + 1) - std::max(0, y - radius));
                const double rowInverse = 1.0 / ch;
                uint8_t* outRow = out->ScanLine(y);
                for (int32_t x = 0; x < w; ++x) {
                    // floor(sum / count) through a reciprocal, corrected by one either way.
                    const uint64_t sum = columnSums[size_t(x)],
                                   count = uint64_t(columnWidths[size_t(x)]) * ch;
                    uint64_t q = uint64_t(double(sum) * columnInverses[size_t(x)] * rowInverse);
                    q -= q * count > sum;
                    q += (q + 1) * count <= sum;
                    F::Store(outRow, x, F::Load(outRow, x) | uint32_t(q) << shift);
                }
            }
        }
    });
    return out;
}

class TWipeBlur : public TCustomWipe
{
  public:
    TWipeBlur(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool black)
        : TCustomWipe(target, to, from), Black(black)
    {
    }

    void Prepare() override
    {
        const int32_t radius = std::min(W(), H()) / 20;
        BlurredFrom = BoxBlur(FromPicture, radius);
        BlurredTo = BoxBlur(ToPicture, radius);
    }

  protected:
    bool Black;
    std::unique_ptr<TDIBX> BlurredFrom, BlurredTo;

    void Tint(int32_t level)
    {
        if (Black)
            Target.FillRectSub(Target.BoundsRect(), Grey(level));
        else
            Target.FillRectAdd(Target.BoundsRect(), Grey(level));
    }

    void DrawStep() override
    {
        if (!BlurredFrom || !BlurredTo) Prepare();
        const int32_t b = int32_t(Progress(639));
        if (b < 256) {
            Target.Assign(FromPicture);
            Target.DrawAlpha(0, 0, *BlurredFrom, BlurredFrom->BoundsRect(), false, false, false, b);
        } else if (b < 320) {
            Target.Assign(*BlurredFrom);
            Tint((b - 256) * 4);
        } else if (b < 384) {
            Target.Assign(*BlurredTo);
            Tint((383 - b) * 4);
        } else {
            Target.Assign(ToPicture);
            Target.DrawAlpha(0, 0, *BlurredTo, BlurredTo->BoundsRect(), false, false, false, 639 - b);
        }
    }
};

// The old picture breaks into blocks that jump up and fall off the screen, one after another.
class TWipeCrack : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

    void SetParam(int32_t index, int32_t value) override
    {
        TCustomWipe::SetParam(index, index == 1 ? std::max(value, 0) : value);
    }

    void Prepare() override
    {
        Side = std::max(Params[0], 16);
        if (DiffOnly)
            Mask = DifferenceMask(FromPicture, ToPicture);
        else {
            Mask = std::make_unique<TDIBX>(W(), H(), 8);
            Mask->Fill(255);
        }
        std::vector<TBlock> grid;
        for (int32_t row = 0; row * Side < H(); ++row)
            for (int32_t col = 0; col * Side < W(); ++col)
                grid.push_back(TBlock{col, row, 0, 0, Classify(col, row)});
        Blocks.clear();
        uint32_t state = 0xC4AC;
        while (!grid.empty()) {
            const size_t pick = WipeRandom(state, uint32_t(grid.size()));
            TBlock block = grid[pick];
            grid.erase(grid.begin() + std::ptrdiff_t(pick));
            block.Start = int64_t(Blocks.size()) * Params[1];
            block.Drift = int32_t(WipeRandom(state, 200)) - 100;
            Blocks.push_back(block);
        }
        // The time a block needs to leave the screen.
        FallTime = 0;
        while (Height(FallTime) < H())
            ++FallTime;
    }

  protected:
    enum EKind
    {
        Empty,
        Solid,
        Mixed
    };
    struct TBlock
    {
        int32_t Col, Row;
        int64_t Start;
        int32_t Drift;
        EKind Kind;
    };
    int32_t Side = 16;
    int64_t FallTime = 0;
    std::vector<TBlock> Blocks;
    std::unique_ptr<TDIBX> Mask;

    static int64_t Height(int64_t a) { return (5 * a * a - 1500 * a) / 1000; }

    EKind Classify(int32_t col, int32_t row) const
    {
        bool any = false, all = true;
        const TRect r = IntersectRect(Bounds(col * Side, row * Side, Side, Side), Mask->BoundsRect());
        for (int32_t y = r.Top; y < r.Bottom; ++y)
            for (int32_t x = r.Left; x < r.Right; ++x) {
                const uint32_t m = Mask->GetPixel(x, y);
                any = any || m != 0;
                all = all && m == 255;
            }
        return !any ? Empty : all ? Solid : Mixed;
    }

    void DrawBlock(const TBlock& block, int64_t x, int64_t y)
    {
        if (block.Kind == Empty || y >= H() || x >= W() || x + Side <= 0) return;
        const TRect src = Bounds(block.Col * Side, block.Row * Side, Side, Side);
        if (block.Kind == Solid)
            Target.Draw(int32_t(x), int32_t(y), FromPicture, src, false, false, false);
        else
            Target.DrawMask(int32_t(x), int32_t(y), FromPicture, src, false, false, *Mask);
    }

    void DrawStep() override
    {
        if (!Mask) Prepare();
        const int64_t total = FallTime + (int64_t(Blocks.size()) - 1) * Params[1];
        const int64_t b = Progress(std::max<int64_t>(total, 0));
        Target.Assign(ToPicture);
        for (const TBlock& block : Blocks)
            if (block.Start > b) DrawBlock(block, int64_t(block.Col) * Side, int64_t(block.Row) * Side);
        for (auto it = Blocks.rbegin(); it != Blocks.rend(); ++it)
            if (it->Start <= b) {
                const int64_t a = b - it->Start;
                DrawBlock(*it, int64_t(it->Col) * Side + a * it->Drift / 100,
                          int64_t(it->Row) * Side + Height(a));
            }
    }
};

} // namespace

std::unique_ptr<TCustomWipe> CreateEffectWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& to,
                                              const TCustomDIBX& from)
{
    switch (type) {
    case 18:
        return std::make_unique<TWipeSpot>(target, to, from);
    case 20:
        return std::make_unique<TWipeShadowTint>(target, to, from, false);
    case 21:
        return std::make_unique<TWipeShadowTint>(target, to, from, true);
    case 24:
        return std::make_unique<TWipeRipple>(target, to, from);
    case 25:
        return std::make_unique<TWipeBlur>(target, to, from, false);
    case 26:
        return std::make_unique<TWipeBlur>(target, to, from, true);
    case 29:
        return std::make_unique<TWipeCrack>(target, to, from);
    default:
        return nullptr;
    }
}

} // namespace ruko
