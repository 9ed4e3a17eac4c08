#include "base/error.h"
#include "components/baselist.h"
#include "components/box.h"
#include "components/componentkind.h"
#include "io/bigstream.h"

#include <gtest/gtest.h>

namespace ruko {
namespace {

// A kind from "another subsystem": a box that says it is a gauge.
class TTestGauge final : public TRukoBox
{
  public:
    using TRukoBox::TRukoBox;
    uint8_t GetCompoType() const override { return LT_GAUGE; }
};

TEST(ComponentKind, ARegisteredKindIsMadeByCreationAndBySavesAlike)
{
    RegisterComponentKind(LT_GAUGE, MakeComponent<TTestGauge>);
    TRukoBaseList list;
    list.SetSize(40, 30);
    TRukoObject* made = list.CreateComponent(0x80 | LT_GAUGE); // only the low seven bits count
    ASSERT_NE(dynamic_cast<TTestGauge*>(made), nullptr);
    made->Name = "g";
    TKwBigMemoryStream saved;
    list.SaveToStream(saved);

    TRukoBaseList loaded;
    saved.SetPosition(0);
    loaded.LoadFromStream(saved, 150);
    EXPECT_NE(dynamic_cast<TTestGauge*>(loaded.FindComponent("g")), nullptr);

    // Without its class the code makes nothing, and a save holding it is refused as damaged.
    RegisterComponentKind(LT_GAUGE, nullptr);
    EXPECT_EQ(list.CreateComponent(LT_GAUGE), nullptr);
    TRukoBaseList refused;
    saved.SetPosition(0);
    EXPECT_THROW(refused.LoadFromStream(saved, 150), ERukoError);
}

TEST(ComponentKind, BoxesAndCabinetsNeedNoRegistration)
{
    TRukoBaseList list;
    list.SetSize(40, 30);
    EXPECT_NE(dynamic_cast<TRukoBox*>(list.CreateComponent(LT_BOX)), nullptr);
    EXPECT_NE(dynamic_cast<TRukoCabinet*>(list.CreateComponent(LT_CABINET)), nullptr);
    EXPECT_EQ(list.CreateComponent(LT_NONE), nullptr);
}

} // namespace
} // namespace ruko
