// The transition base, the factory with its type table, and the shared compose step.
#include "graphics/wipe.h"

#include "base/text.h"
#include "graphics/drawpixels.h"
#include "graphics/drawrows.h"
#include "graphics/wipetypes.h"

#include <array>
#include <cstring>

namespace ruko {

using namespace pixels;

namespace {

struct TWipeType
{
    const char* Name;
    int32_t Param0, Param1;
};

// Type number = index + 1.
std::array<TWipeType, WipeTypeCount> WipeTypes = {{
    {"TWipeFade", 0, 0},       {"TWipeBlindH", 20, 1},      {"TWipeBlindV", 20, 1},
    {"TWipeCurtainH", 30, 1},  {"TWipeCurtainV", 30, 1},    {"TWipeScrollH", 0, 0},
    {"TWipeScrollV", 0, 0},    {"TWipeGrid", 80, 30},       {"TWipeGridH", 80, 30},
    {"TWipeGridV", 80, 30},    {"TWipeDither", 0, 0},       {"TWipeWhite", 0, 0},
    {"TWipeBlack", 0, 0},      {"TWipeFlash", 0, 0},        {"TWipeMosaic", 0, 0},
    {"TWipeSudareH", 0, 0},    {"TWipeSudareV", 0, 0},      {"TWipeSpot", 0, 0},
    {"TWipeShadow", 0, 0},     {"TWipeShadowWhite", 0, 0},  {"TWipeShadowBlack", 0, 0},
    {"TWipeSmall", 0, 0},      {"TWipeBig", 0, 0},          {"TWipeRipple", 5, 0},
    {"TWipeBlurWhite", 0, 0},  {"TWipeBlurBlack", 0, 0},    {"TWipeTwistH", 0, 0},
    {"TWipeTwistV", 0, 0},     {"TWipeCrack", 64, 3},       {"TWipeZoomin", 0, 0},
    {"TWipeClockhand", 0, 0},  {"TWipeRubberH", 0, 0},      {"TWipeRubberV", 0, 0},
    {"TWipeFan", 0, 0},        {"TWipeWFan", 0, 0},         {"TWipeCircle", 0, 0},
    {"TWipeBlockCoil", 60, 0}, {"TWipeBlockRandom", 60, 0},
}};

bool ValidType(int32_t type)
{
    return type >= 1 && type <= WipeTypeCount;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Type table

const char* WipeTypeName(int32_t type)
{
    return ValidType(type) ? WipeTypes[size_t(type - 1)].Name : nullptr;
}

int32_t WipeTypeByName(const std::string& name)
{
    for (int32_t type = 1; type <= WipeTypeCount; ++type) {
        const std::string full = WipeTypes[size_t(type - 1)].Name;
        if (SameText(name, full) || SameText(name, full.substr(5))) return type;
    }
    return 0;
}

void GetWipeDefaults(int32_t type, int32_t& param0, int32_t& param1)
{
    param0 = param1 = 0;
    if (ValidType(type))
        param0 = WipeTypes[size_t(type - 1)].Param0, param1 = WipeTypes[size_t(type - 1)].Param1;
}

void SetWipeDefaults(int32_t type, int32_t param0, int32_t param1)
{
    if (ValidType(type))
        WipeTypes[size_t(type - 1)].Param0 = param0, WipeTypes[size_t(type - 1)].Param1 = param1;
}

std::unique_ptr<TCustomWipe> CreateWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& fromPicture,
                                        const TCustomDIBX& toPicture)
{
    if (!ValidType(type)) return nullptr;
    std::unique_ptr<TCustomWipe> wipe = CreatePictureWipe(type, target, toPicture, fromPicture);
    if (!wipe) wipe = CreateMaskWipe(type, target, toPicture, fromPicture);
    if (!wipe) wipe = CreateEffectWipe(type, target, toPicture, fromPicture);
    if (wipe) {
        int32_t p0, p1;
        GetWipeDefaults(type, p0, p1);
        wipe->SetParam(0, p0);
        wipe->SetParam(1, p1);
    }
    return wipe;
}

// ---------------------------------------------------------------------------------------------
// TCustomWipe

TCustomWipe::TCustomWipe(TCustomDIBX& target, const TCustomDIBX& toPicture, const TCustomDIBX& fromPicture)
    : Target(target), ToPicture(toPicture), FromPicture(fromPicture)
{
}

int32_t TCustomWipe::GetParam(int32_t index) const
{
    return index == 0 || index == 1 ? Params[index] : 0;
}

void TCustomWipe::SetParam(int32_t index, int32_t value)
{
    if (index == 0 || index == 1) Params[index] = value;
}

int64_t TCustomWipe::Now() const
{
    return std::clamp<int64_t>(Elapsed, 0, std::max<int64_t>(int64_t(Duration) - 1, 0));
}

bool TCustomWipe::Step()
{
    if (Duration <= 0 || Elapsed >= Duration) return true;
    if (Target.IsEmpty()) return false;
    Target.AddClipRect(Target.BoundsRect());
    ChangedRect = Target.BoundsRect();
    DrawStep();
    return false;
}

uint32_t TCustomWipe::Grey(int32_t level) const
{
    const uint32_t g = uint32_t(std::clamp(level, 0, 255));
    return uint32_t(Target.ColorToPixel(g | g << 8 | g << 16));
}

std::unique_ptr<TDIBX> GreyPicture(const TCustomDIBX& picture)
{
    auto grey = std::make_unique<TDIBX>(picture.Width(), picture.Height(), 8);
    for (int32_t y = 0; y < picture.Height(); ++y) {
        uint8_t* row = grey->ScanLine(y);
        for (int32_t x = 0; x < picture.Width(); ++x) {
            const uint32_t value = picture.GetPixel(x, y);
            if (picture.PixelFormat() == 8)
                row[x] = uint8_t(value);
            else {
                const uint32_t c = picture.PixelToColor(value);
                const uint32_t r = c & 255, g = (c >> 8) & 255, b = (c >> 16) & 255;
                row[x] = uint8_t((r * 77 + g * 151 + b * 28) >> 8);
            }
        }
    }
    return grey;
}

std::unique_ptr<TDIBX> TCustomWipe::RuleGreys()
{
    auto rule = std::make_unique<TDIBX>(W(), H(), 8);
    std::unique_ptr<TCustomDIBX> loaded;
    const TCustomDIBX* source = RulePicture;
    if (!source && RuleLoader && !RuleName.empty()) {
        loaded = RuleLoader(RuleName);
        source = loaded.get();
    }
    if (!source || source->IsEmpty()) {
        rule->Fill(255);
        return rule;
    }
    std::unique_ptr<TDIBX> grey = GreyPicture(*source);
    if (Reverse)
        for (int32_t y = 0; y < grey->Height(); ++y) {
            uint8_t* row = grey->ScanLine(y);
            for (int32_t x = 0; x < grey->Width(); ++x)
                row[x] = uint8_t(255 - row[x]);
        }
    rule->TileFill(rule->BoundsRect(), *grey, 0, 0, false, false);
    return rule;
}

// ---------------------------------------------------------------------------------------------
// Shared steps

namespace {

template <class F, bool HardEdge>
void ComposeRows(TCustomDIBX& target, const TCustomDIBX& from, const TCustomDIBX& to, const TCustomDIBX& mask)
{
    const int32_t w = target.Width(), maskH = mask.Height();
    for (int32_t y = 0; y < target.Height(); ++y) {
        uint8_t* d = target.ScanLine(y);
        const uint8_t* a = from.ScanLine(y);
        const uint8_t* b = to.ScanLine(y);
        const uint8_t* m = mask.ScanLine(y % maskH);
        if (!d || !a || !b || !m) return;
        if constexpr (F::Format == 32 && !HardEdge) {
            MaskRow32(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(a),
                      reinterpret_cast<const uint32_t*>(b), m, w, EMaskRule::Copy, 255);
            continue;
        }
        for (int32_t i = 0; i < w; ++i) {
            const uint32_t mv = m[i], av = F::Load(a, i), bv = F::Load(b, i);
            uint32_t out;
            if constexpr (HardEdge)
                out = mv ? bv : av;
            else {
                const uint32_t mixed = Blend<F>(av, bv, mv);
                out = mv == 0 ? av : mv == 255 ? bv : mixed;
            }
            F::Store(d, i, out);
        }
    }
}

} // namespace

void ComposeMask(TCustomDIBX& target, const TCustomDIBX& from, const TCustomDIBX& to, const TCustomDIBX& mask,
                 bool hardEdge)
{
    const int32_t format = target.PixelFormat();
    if (from.PixelFormat() != format || to.PixelFormat() != format || mask.PixelFormat() != 8 ||
        from.Width() < target.Width() || to.Width() < target.Width() || from.Height() < target.Height() ||
        to.Height() < target.Height() || mask.Width() < target.Width() || mask.Height() <= 0)
        return;
    WithFormat(format, [&](auto f) {
        using F = decltype(f);
        if (hardEdge)
            ComposeRows<F, true>(target, from, to, mask);
        else
            ComposeRows<F, false>(target, from, to, mask);
    });
}

std::unique_ptr<TDIBX> DifferenceMask(const TCustomDIBX& from, const TCustomDIBX& to)
{
    const int32_t w = std::min(from.Width(), to.Width()), h = std::min(from.Height(), to.Height());
    auto mask = std::make_unique<TDIBX>(w, h, 8);
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* m = mask->ScanLine(y);
        for (int32_t x = 0; x < w; ++x)
            m[x] = from.GetPixel(x, y) != to.GetPixel(x, y) ? 255 : 0;
    }
    return mask;
}

uint32_t WipeRandom(uint32_t& state, uint32_t range)
{
    // A small linear congruential generator: the block orders only need to look random.
    state = state * 1103515245u + 12345u;
    return range ? (state >> 8) % range : 0;
}

} // namespace ruko
