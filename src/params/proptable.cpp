#include "params/proptable.h"

namespace ruko {

namespace {

using V = TPropValue;
constexpr uint32_t B(int code)
{
    return CompoTypeBit(code);
}

constexpr uint32_t kVisual = B(LT_NONE) | B(LT_BOX) | B(LT_BUTTON) | B(LT_CINEMA) | B(LT_EDIT) | B(LT_FIRE) |
                             B(LT_IMAGES) | B(LT_LABEL) | B(LT_MEMO) | B(LT_MENU) | B(LT_MES) |
                             B(LT_PARTICLE) | B(LT_VIDEO) | B(LT_MAPIMG) | B(LT_WAVE) | B(LT_TILE) |
                             B(LT_SLIDER) | B(LT_SCROLLBAR) | B(LT_GAUGE) | B(LT_CGLABEL) | B(LT_PREVMENU) |
                             B(LT_CABINET);
constexpr uint32_t kAll = kVisual | B(LT_HTTP) | B(LT_TIMER) | B(LT_SOUND) | B(LT_PROPMOTION);

// Name, parent and source first, then zoom (factor before integer), the position-zoom flag, size,
// position, and so on; an image drops its cached drawing state before its position is applied.
constexpr std::array<uint8_t, PropertyCount> MakeCreationOrder()
{
    std::array<uint8_t, PropertyCount> order{};
    size_t n = 0;
    auto add = [&](int id) { order[n++] = static_cast<uint8_t>(id); };
    auto range = [&](int first, int last) {
        for (int id = first; id <= last; ++id)
            add(id);
    };
    for (int id : {0,   1,   2,   168, 7,   169, 132, 100, 5,  6,  3,   4,  8,   157, 9,  10,
                   11,  12,  13,  14,  159, 160, 15,  16,  17, 18, 19,  20, 21,  22,  23, 24,
                   153, 154, 155, 156, 25,  26,  165, 27,  28, 29, 162, 30, 167, 31})
        add(id);
    range(32, 79);
    add(161);
    range(80, 88);
    add(170);
    range(89, 98);
    add(166);
    add(99);
    range(101, 131);
    range(133, 152);
    for (int id : {158, 163, 164})
        add(id);
    return order;
}

} // namespace

constexpr TPropertyInfo PropertyTable[PropertyCount] = {
#define PROPERTY(name, type, access, getKinds, setKinds, absent, absentValue, creation, creationDefault)     \
    {#name, type, access, getKinds, setKinds, absent, absentValue, creation, creationDefault},
#include "params/proptable.def"
#undef PROPERTY
};

constexpr std::array<uint8_t, PropertyCount> PropertyCreationOrder = MakeCreationOrder();

constexpr std::array<uint8_t, PropertyCount> PropertyKinds = [] {
    std::array<uint8_t, PropertyCount> kinds{};
    for (int id = 0; id < PropertyCount; ++id)
        kinds[static_cast<size_t>(id)] = PropertyTable[id].Type;
    return kinds;
}();

void TPropValue::StoreInto(TCustomParam& target) const
{
    switch (Kind) {
    case ptInt:
        target.SetInt(Int);
        break;
    case ptFlag:
        target.SetFlag(Int != 0);
        break;
    case ptFloat:
        target.SetFloat(Real);
        break;
    case ptStr:
        target.SetStr(Str);
        break;
    default:
        break;
    }
}

int PropertyIdOf(const std::string& name)
{
    for (int id = 0; id < PropertyCount; ++id)
        if (name == PropertyTable[id].Name) return id;
    return -1;
}

} // namespace ruko
