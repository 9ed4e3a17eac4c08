// Mask-driven transitions: each builds an 8-bit mask for the elapsed time (only when its progress
// value changes) and the target becomes From where the mask is 0 and To where it is 255.
#include "graphics/wipetypes.h"

#include "io/kwrandom.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace ruko {

namespace {

int32_t Nearest(double value)
{
    return int32_t(std::nearbyint(value));
}

// ceil(a / b) for a >= 0, b >= 1, safe for the largest parameters.
int32_t CeilDiv(int32_t a, int32_t b)
{
    return int32_t((int64_t(a) + b - 1) / b);
}

class TWipeMask : public TCustomWipe
{
  public:
    using TCustomWipe::TCustomWipe;

    void SetParam(int32_t index, int32_t value) override
    {
        TCustomWipe::SetParam(index, index == 0 ? std::max(value, 2) : std::max(value, 1));
    }

  protected:
    TDIBX Mask{1, 1, 8};
    int64_t LastProgress = -1;
    bool HardEdge = false;

    // Rebuilds the mask; false when it did not change.
    bool UpdateMask()
    {
        const int64_t progress = CurrentProgress();
        if (progress == LastProgress && Mask.Width() == W() && Mask.Height() == MaskHeight()) return false;
        if (Mask.Width() != W() || Mask.Height() != MaskHeight()) {
            Mask.SetSize(W(), MaskHeight(), 8);
            LastProgress = -1;
        }
        BuildMask(progress);
        LastProgress = progress;
        return true;
    }
    virtual int32_t MaskHeight() const { return H(); }
    virtual int64_t CurrentProgress() const = 0;
    // Draws the mask for `progress`; LastProgress still holds the previous value (-1: none).
    virtual void BuildMask(int64_t progress) = 0;

    // ramp(x) of the blind, curtain and grid masks.
    uint8_t Ramp(int64_t x) const
    {
        if (x < 0) return 0;
        return uint8_t(std::min<int64_t>(255, x * 255 / Params[1]));
    }
    void FillMaskRow(int32_t y, uint8_t value) { std::memset(Mask.ScanLine(y), value, size_t(W())); }

    void DrawStep() override
    {
        // The target may hold anything: compose on every step, rebuilding the mask only as needed.
        UpdateMask();
        ComposeMask(Target, FromPicture, ToPicture, Mask, HardEdge);
    }
};

class TWipeBlind : public TWipeMask
{
  public:
    TWipeBlind(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool vertical)
        : TWipeMask(target, to, from), Vertical(vertical)
    {
    }

  protected:
    bool Vertical;

    // Rows past the target are never shown, so a huge band parameter does not size the mask.
    int32_t MaskHeight() const override
    {
        return Vertical ? std::max(1, std::min(std::max(Params[0], 2), H())) : 1;
    }
    int64_t CurrentProgress() const override
    {
        return Progress(int64_t(Params[1]) + 2 * int64_t(Params[0]) - 2);
    }
    uint8_t Band(int64_t b, int32_t i) const
    {
        return Ramp(b - 2 * int64_t(Reverse ? Params[0] - i - 1 : i));
    }
    void BuildMask(int64_t b) override
    {
        HardEdge = Params[1] < 2;
        if (Vertical) {
            for (int32_t r = 0; r < MaskHeight(); ++r) {
                const uint8_t v = Band(b, r);
                HardEdge = HardEdge && (v == 0 || v == 255);
                FillMaskRow(r, v);
            }
        } else {
            uint8_t* row = Mask.ScanLine(0);
            for (int32_t x = 0; x < W(); ++x)
                row[x] = Band(b, x % Params[0]);
        }
    }
};

class TWipeCurtain : public TWipeMask
{
  public:
    TWipeCurtain(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool vertical)
        : TWipeMask(target, to, from), Vertical(vertical)
    {
    }

    void SetParam(int32_t index, int32_t value) override { TCustomWipe::SetParam(index, std::max(value, 1)); }

  protected:
    bool Vertical;

    int32_t MaskHeight() const override { return Vertical ? H() : 1; }
    int64_t CurrentProgress() const override
    {
        const int32_t size = Vertical ? H() : W();
        return Progress((int64_t(CeilDiv(size, Params[0])) + Params[0] - 2) * 16 + Params[1]);
    }
    void BuildMask(int64_t b) override
    {
        HardEdge = Params[1] < 2;
        const int32_t size = Vertical ? H() : W();
        auto value = [&](int32_t i) {
            const int32_t x = Reverse ? size - i - 1 : i;
            return Ramp(b - 16 * int64_t(x / Params[0] + x % Params[0]));
        };
        if (Vertical)
            for (int32_t y = 0; y < size; ++y)
                FillMaskRow(y, value(y));
        else {
            uint8_t* row = Mask.ScanLine(0);
            for (int32_t x = 0; x < size; ++x)
                row[x] = value(x);
        }
    }
};

// Cells that open as growing squares, in order of column (H), row (V) or distance from a corner.
class TWipeGrid : public TWipeMask
{
  public:
    enum EOrder
    {
        ByDistance,
        ByColumn,
        ByRow
    };
    TWipeGrid(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, EOrder order)
        : TWipeMask(target, to, from), Order(order)
    {
    }

  protected:
    EOrder Order;

    int32_t Columns() const { return CeilDiv(W(), Params[0]); }
    int32_t Rows() const { return CeilDiv(H(), Params[0]); }
    int32_t MaskHeight() const override
    {
        return Order == ByColumn ? std::min(std::max(Params[0], 2), H()) : H();
    }
    int64_t OrderLength() const
    {
        switch (Order) {
        case ByColumn:
            return 4 * int64_t(Columns());
        case ByRow:
            return 4 * int64_t(Rows());
        default:
            return 4 * int64_t(Nearest(std::hypot(Rows() - 1, Columns() - 1)));
        }
    }
    int64_t CurrentProgress() const override { return Progress(Params[1] + OrderLength() - 4); }
    void BuildMask(int64_t e) override
    {
        HardEdge = Params[1] < 2;
        Mask.Fill(0);
        const int32_t p0 = Params[0], rows = Order == ByColumn ? 1 : Rows(), cols = Columns();
        for (int32_t i = 0; i < rows; ++i)
            for (int32_t k = 0; k < cols; ++k) {
                const int32_t ri = Reverse ? Rows() - 1 - i : i, rk = Reverse ? cols - 1 - k : k;
                const int64_t h = 4 * int64_t(Order == ByColumn ? rk
                                              : Order == ByRow  ? ri
                                                                : Nearest(std::hypot(ri, rk)));
                if (e < h) continue;
                const int32_t side = int32_t(std::min<int64_t>(p0, int64_t(p0) * (e - h) / Params[1]));
                const int32_t offset = (p0 - side) / 2;
                Mask.FillRect(Bounds(k * p0 + offset, i * p0 + offset, side, side), Ramp(e - h));
            }
    }
};

// A fixed random order of the cells of a 64 x 64 tile.
class TWipeDither : public TWipeMask
{
  public:
    using TWipeMask::TWipeMask;

    void Prepare() override { BuildOrder(); }

  protected:
    static constexpr int32_t Tile = 64, Cells = Tile * Tile;
    std::vector<int32_t> Order;

    void BuildOrder()
    {
        TKwRandom random(12341);
        random.InitPermutation(Cells);
        Order.resize(Cells);
        for (int32_t& cell : Order)
            cell = random.NextIndex();
    }
    int32_t MaskHeight() const override { return Tile; }
    int64_t CurrentProgress() const override { return Progress(Cells); }
    void BuildMask(int64_t n) override
    {
        if (Order.empty()) BuildOrder();
        HardEdge = true;
        TDIBX tile(Tile, Tile, 8);
        const bool fewSet = n <= Cells / 2 - 1;
        tile.Fill(fewSet ? 0 : 255);
        for (int64_t i = fewSet ? 0 : n; i < (fewSet ? n : Cells); ++i)
            tile.SetPixel(Order[size_t(i)] % Tile, Order[size_t(i)] / Tile, fewSet ? 255 : 0);
        Mask.TileFill(Mask.BoundsRect(), tile, 0, 0, false, false);
    }
};

// A rule picture: bright pixels change first, each over a 256-step ramp.
class TWipeShadow : public TWipeMask
{
  public:
    using TWipeMask::TWipeMask;

    void Prepare() override { Rule = RuleGreys(); }

  protected:
    std::unique_ptr<TDIBX> Rule;

    int64_t CurrentProgress() const override { return Progress(512) + 255; }
    void BuildMask(int64_t i) override
    {
        if (!Rule || Rule->Width() != W() || Rule->Height() != H()) Rule = RuleGreys();
        // mask = clamp(i + (grey - 255) - 256, 0, 255)
        const int32_t shift = int32_t(i) - 511;
        for (int32_t y = 0; y < H(); ++y) {
            const uint8_t* g = Rule->ScanLine(y);
            uint8_t* m = Mask.ScanLine(y);
            for (int32_t x = 0; x < W(); ++x)
                m[x] = uint8_t(std::clamp(int32_t(g[x]) + shift, 0, 255));
        }
    }
};

// Sectors and discs about the centre. The angle of every pixel from the start direction is
// computed once, so a step is one comparison per pixel.
class TWipeSector : public TWipeMask
{
  public:
    enum EShape
    {
        Clockhand,
        Fan,
        DoubleFan,
        Circle
    };
    TWipeSector(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, EShape shape)
        : TWipeMask(target, to, from), Shape(shape)
    {
    }

    void Prepare() override { BuildAngles(); }

  protected:
    EShape Shape;
    std::vector<float> Angles; // from the start direction, 0..2 pi, clockwise on screen
    int32_t AnglesFor = INT32_MIN;

    static constexpr int64_t Steps = 1 << 20;

    void BuildAngles()
    {
        if (Shape == Circle || (AnglesFor == Params[0] && Angles.size() == size_t(W()) * size_t(H()))) return;
        AnglesFor = Params[0];
        Angles.resize(size_t(W()) * size_t(H()));
        const double start = Params[0] * M_PI / 180 - M_PI / 2;
        const double cx = W() / 2.0, cy = H() / 2.0;
        for (int32_t y = 0; y < H(); ++y)
            for (int32_t x = 0; x < W(); ++x) {
                double a = std::atan2(y + 0.5 - cy, x + 0.5 - cx) - start;
                a = std::fmod(a, 2 * M_PI);
                if (a < 0) a += 2 * M_PI;
                Angles[size_t(y) * size_t(W()) + size_t(x)] = float(a);
            }
    }
    int64_t CurrentProgress() const override
    {
        if (Shape == Circle) {
            const double t = Reverse ? 1 - Fraction() : Fraction();
            return Nearest(std::hypot(W() / 2.0, H() / 2.0) * t);
        }
        return Progress(Steps);
    }
    void BuildMask(int64_t progress) override
    {
        HardEdge = true;
        if (Shape == Circle) {
            const uint8_t inside = Reverse ? 0 : 255, outside = Reverse ? 255 : 0;
            const double cx = W() / 2.0, cy = H() / 2.0, r2 = double(progress) * double(progress);
            for (int32_t y = 0; y < H(); ++y) {
                uint8_t* m = Mask.ScanLine(y);
                const double dy = y + 0.5 - cy;
                for (int32_t x = 0; x < W(); ++x) {
                    const double dx = x + 0.5 - cx;
                    m[x] = dx * dx + dy * dy <= r2 && progress > 0 ? inside : outside;
                }
            }
            return;
        }
        BuildAngles();
        const float t = float(double(progress) / Steps);
        const float full = float(2 * M_PI), half = float(M_PI);
        for (int32_t y = 0; y < H(); ++y) {
            uint8_t* m = Mask.ScanLine(y);
            const float* a = Angles.data() + size_t(y) * size_t(W());
            for (int32_t x = 0; x < W(); ++x) {
                bool on;
                switch (Shape) {
                case Clockhand:
                    on = Reverse ? a[x] > full * (1 - t) : a[x] < full * t;
                    break;
                case Fan:
                    on = a[x] <= half * t || a[x] >= full - half * t;
                    break;
                default: {
                    const float q = half / 2 * t;
                    on = a[x] <= q || a[x] >= full - q || std::fabs(a[x] - half) <= q;
                    break;
                }
                }
                m[x] = on && t > 0 ? 255 : 0;
            }
        }
    }
};

// Square blocks painted one after another: along a clockwise spiral, or in random order.
class TWipeBlocks : public TWipeMask
{
  public:
    TWipeBlocks(TCustomDIBX& target, const TCustomDIBX& to, const TCustomDIBX& from, bool spiral)
        : TWipeMask(target, to, from), Spiral(spiral)
    {
    }

    void Prepare() override { BuildOrder(); }

  protected:
    bool Spiral;
    int32_t Side = 10;
    std::vector<TRect> Blocks;
    int64_t Painted = -1; // last block index painted

    void BuildOrder()
    {
        Side = std::min({W(), H(), std::max(10, Params[0])});
        Blocks.clear();
        Painted = -1;
        if (Side <= 0) return;
        const int32_t cols = CeilDiv(W(), Side), rows = CeilDiv(H(), Side);
        auto block = [&](int32_t col, int32_t row) {
            return IntersectRect(Bounds(col * Side, row * Side, Side, Side), TRect(0, 0, W(), H()));
        };
        if (Spiral) {
            int32_t left = 0, top = 0, right = cols - 1, bottom = rows - 1;
            while (left <= right && top <= bottom) {
                for (int32_t c = left; c <= right; ++c)
                    Blocks.push_back(block(c, top));
                ++top;
                for (int32_t r = top; r <= bottom; ++r)
                    Blocks.push_back(block(right, r));
                --right;
                if (top <= bottom) {
                    for (int32_t c = right; c >= left; --c)
                        Blocks.push_back(block(c, bottom));
                    --bottom;
                }
                if (left <= right) {
                    for (int32_t r = bottom; r >= top; --r)
                        Blocks.push_back(block(left, r));
                    ++left;
                }
            }
            if (Reverse) std::reverse(Blocks.begin(), Blocks.end());
        } else {
            std::vector<TRect> remaining;
            for (int32_t r = 0; r < rows; ++r)
                for (int32_t c = 0; c < cols; ++c)
                    remaining.push_back(block(c, r));
            uint32_t state = 0x5EED;
            while (!remaining.empty()) {
                const size_t pick = WipeRandom(state, uint32_t(remaining.size()));
                Blocks.push_back(remaining[pick]);
                remaining.erase(remaining.begin() + std::ptrdiff_t(pick));
            }
        }
    }
    int64_t CurrentProgress() const override
    {
        return Blocks.empty() ? 0 : Progress(int64_t(Blocks.size()) - 1);
    }
    void BuildMask(int64_t n) override
    {
        HardEdge = true;
        if (Blocks.empty()) BuildOrder();
        if (LastProgress < 0 || n < Painted) {
            Mask.Fill(0);
            Painted = -1;
        }
        for (int64_t i = Painted + 1; i <= n && i < int64_t(Blocks.size()); ++i)
            Mask.FillRect(Blocks[size_t(i)], 255);
        Painted = n;
    }
};

} // namespace

std::unique_ptr<TCustomWipe> CreateMaskWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& to,
                                            const TCustomDIBX& from)
{
    switch (type) {
    case 2:
        return std::make_unique<TWipeBlind>(target, to, from, false);
    case 3:
        return std::make_unique<TWipeBlind>(target, to, from, true);
    case 4:
        return std::make_unique<TWipeCurtain>(target, to, from, false);
    case 5:
        return std::make_unique<TWipeCurtain>(target, to, from, true);
    case 8:
        return std::make_unique<TWipeGrid>(target, to, from, TWipeGrid::ByDistance);
    case 9:
        return std::make_unique<TWipeGrid>(target, to, from, TWipeGrid::ByColumn);
    case 10:
        return std::make_unique<TWipeGrid>(target, to, from, TWipeGrid::ByRow);
    case 11:
        return std::make_unique<TWipeDither>(target, to, from);
    case 19:
        return std::make_unique<TWipeShadow>(target, to, from);
    case 31:
        return std::make_unique<TWipeSector>(target, to, from, TWipeSector::Clockhand);
    case 34:
        return std::make_unique<TWipeSector>(target, to, from, TWipeSector::Fan);
    case 35:
        return std::make_unique<TWipeSector>(target, to, from, TWipeSector::DoubleFan);
    case 36:
        return std::make_unique<TWipeSector>(target, to, from, TWipeSector::Circle);
    case 37:
        return std::make_unique<TWipeBlocks>(target, to, from, true);
    case 38:
        return std::make_unique<TWipeBlocks>(target, to, from, false);
    default:
        return nullptr;
    }
}

} // namespace ruko
