#pragma once
// The component properties: one row per id (0..170) giving the identifier scripts use, the
// result type of GetProp, the kind the accessors transfer, which component kinds implement it,
// the value a component that does not implement it answers, and what a creating command applies
// when it carries the property with an empty expression. The player, the source compiler and
// the GetProp result kinds all read this one table.
#include "params/functable.h"
#include "params/param.h"

#include <array>
#include <cstdint>
#include <string>

namespace ruko {

// Component type codes (one byte; CreateComponent uses the low seven bits).
enum TCompoType : uint8_t
{
    LT_NONE = 0,
    LT_AUDIO = 1,
    LT_BOX = 2,
    LT_BUTTON = 3,
    LT_CINEMA = 4,
    LT_EDIT = 5,
    LT_FIRE = 6,
    LT_HTTP = 7,
    LT_IMAGES = 8,
    LT_LABEL = 9,
    LT_MAP = 10,
    LT_MEMO = 11,
    LT_MENU = 12,
    LT_MES = 13,
    LT_PARTICLE = 14,
    LT_TIMER = 15,
    LT_VIDEO = 16,
    LT_SOUND = 17,
    LT_MAPIMG = 18,
    LT_WAVE = 19,
    LT_TILE = 20,
    LT_SLIDER = 21,
    LT_SCROLLBAR = 22,
    LT_GAUGE = 23,
    LT_CGLABEL = 24,
    LT_PREVMENU = 25,
    LT_PROPMOTION = 26,
    LT_CABINET = 27,
};
constexpr int CompoTypeCount = 28;

// Property ids by identifier.
enum TPropertyId : int
{
#define PROPERTY(name, ...) name,
#include "params/proptable.def"
#undef PROPERTY
};
static_assert(PR_CAPMASKLEVEL == PropertyCount - 1);

// A constant property value; Kind 0 means none.
struct TPropValue
{
    uint8_t Kind = 0;
    int32_t Int = 0;
    Extended Real = 0;
    const char* Str = "";

    constexpr TPropValue() = default;
    constexpr TPropValue(int32_t v) : Kind(ptInt), Int(v) {}
    constexpr TPropValue(bool v) : Kind(ptFlag), Int(v ? 1 : 0) {}
    constexpr TPropValue(Extended v) : Kind(ptFloat), Real(v) {}
    constexpr TPropValue(const char* s) : Kind(ptStr), Str(s) {}

    // Stores the value with the setter of its kind (none: nothing).
    void StoreInto(TCustomParam& target) const;
};

// What reading answers on a component that does not implement the property.
enum class TAbsent : uint8_t
{
    Value,       // the row's AbsentValue
    Implemented, // every component implements it
    Width,       // the component's PR_WIDTH
    Height,      // the component's PR_HEIGHT
};

// What a creating command does with a carried property whose expression yields nothing.
enum class TCreation : uint8_t
{
    Default,     // applies the row's CreationDefault
    OnlyIfGiven, // applies the property only when the expression yields a value
    NotApplied,  // never applies it
};

struct TPropertyInfo
{
    const char* Name;  // "PR_LEFT"
    uint8_t Type;      // result kind of GetProp (TParamType)
    uint8_t Access;    // kind the accessors transfer
    uint32_t GetKinds; // bit c: type code c reads its own value (bit 0: the base windows)
    uint32_t SetKinds; // bit c: writing changes components of type code c
    TAbsent Absent;
    TPropValue AbsentValue;
    TCreation Creation;
    TPropValue CreationDefault;

    bool IsReadOnly() const { return SetKinds == 0; }
};

extern const TPropertyInfo PropertyTable[PropertyCount];
// The order in which creating commands apply the carried properties.
extern const std::array<uint8_t, PropertyCount> PropertyCreationOrder;

constexpr bool IsPropertyId(int64_t id)
{
    return id >= 0 && id < PropertyCount;
}
constexpr uint32_t CompoTypeBit(int code)
{
    return uint32_t{1} << code;
}

// Id of an identifier such as "PR_LEFT" (exact spelling), -1 when unknown.
int PropertyIdOf(const std::string& name);

} // namespace ruko
