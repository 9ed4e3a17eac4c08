#pragma once
// Transitions: a wipe turns the target from one picture into another over a given time.
//
// Calling order: CreateWipe; set Duration; SetReverse; SetParam(0, ...) and SetParam(1, ...);
// SetRuleName (and a rule picture or RuleLoader for the rule types); DiffOnly; Prepare; then per
// frame set Elapsed and call Step until it returns true. The pictures must have the target's size
// and format and outlive the wipe.
#include "graphics/dibsfc.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ruko {

// Number of transition types; valid types are 1..WipeTypeCount.
constexpr int32_t WipeTypeCount = 38;

class TCustomWipe
{
  public:
    // Loads a rule picture by name (the first frame of a picture file); nullptr when there is no
    // such file. Exceptions propagate to whoever started the transition.
    using TRuleLoader = std::function<std::unique_ptr<TCustomDIBX>(const std::string& name)>;

    TCustomWipe(TCustomDIBX& target, const TCustomDIBX& toPicture, const TCustomDIBX& fromPicture);
    TCustomWipe(const TCustomWipe&) = delete;
    TCustomWipe& operator=(const TCustomWipe&) = delete;
    virtual ~TCustomWipe() = default;

    bool Reverse = false;
    std::string RuleName;
    // Shrink, grow and crack types move only the pixels that differ between the two pictures.
    bool DiffOnly = false;
    int32_t Duration = 0;
    int32_t Elapsed = 0;
    // The area every drawing Step changed (the whole target).
    TRect ChangedRect;
    TRuleLoader RuleLoader;

    virtual void SetReverse(bool reverse) { Reverse = reverse; }
    virtual int32_t GetParam(int32_t index) const;
    virtual void SetParam(int32_t index, int32_t value);
    virtual void SetRuleName(const std::string& name) { RuleName = name; }
    // Gives the rule types their rule picture directly (any format; 8-bit surfaces are taken as
    // grey levels, others are converted to grey). Takes precedence over RuleLoader.
    void SetRulePicture(const TCustomDIBX* rule) { RulePicture = rule; }
    // Builds tables, masks and block lists; call after the parameters are set.
    virtual void Prepare() {}
    // Draws the state at Elapsed. Returns true, drawing nothing, once Elapsed >= Duration.
    bool Step();

  protected:
    TCustomDIBX& Target;
    const TCustomDIBX& ToPicture;
    const TCustomDIBX& FromPicture;
    int32_t Params[2] = {0, 0};
    const TCustomDIBX* RulePicture = nullptr;

    int32_t W() const { return Target.Width(); }
    int32_t H() const { return Target.Height(); }
    // Elapsed clamped to 0..Duration - 1 (Step only draws while Elapsed < Duration).
    int64_t Now() const;
    // Elapsed * scale / Duration; the product may pass 64 bits when scale comes from script
    // parameters, the quotient stays within scale.
    int64_t Progress(int64_t scale) const { return int64_t(static_cast<__int128>(Now()) * scale / Duration); }
    // Elapsed / Duration as a real.
    double Fraction() const { return double(Now()) / double(Duration); }
    uint32_t Grey(int32_t level) const;
    // The rule picture as an 8-bit grey surface of the target's size (tiled), inverted when
    // Reverse; all 255 when there is none.
    std::unique_ptr<TDIBX> RuleGreys();
    virtual void DrawStep() = 0;
};

// Creates the transition of `type` with its default parameters; nullptr for unknown types.
std::unique_ptr<TCustomWipe> CreateWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& fromPicture,
                                        const TCustomDIBX& toPicture);

// Class name of a type ("TWipeFade"), or nullptr.
const char* WipeTypeName(int32_t type);
// The type of a class name, compared case-insensitively with or without the "TWipe" prefix
// ("fade", "TWipeFade"); 0 when unknown.
int32_t WipeTypeByName(const std::string& name);

// The default parameters CreateWipe applies; the project loader may change them (it centres type
// 30 on the screen).
void GetWipeDefaults(int32_t type, int32_t& param0, int32_t& param1);
void SetWipeDefaults(int32_t type, int32_t param0, int32_t param1);

// A picture converted to 8-bit grey levels (8-bit pictures are copied as they are).
std::unique_ptr<TDIBX> GreyPicture(const TCustomDIBX& picture);

} // namespace ruko
