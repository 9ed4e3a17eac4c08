// The component list's save record: any bytes either load completely or raise, never crash, hang
// or leave a half-loaded list; what loads saves and loads again to the same bytes.
#include "base/error.h"
#include "base/text.h"
#include "components/baselist.h"
#include "components/images.h"
#include "components/mediakinds.h"
#include "graphics/brom.h"
#include "graphics/bromcache.h"
#include "io/bigstream.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// The picture every saved source names: "a.brm", two 4 × 3 frames, so loaded images and tiles
// show frames and restore their saved frame index.
ruko::TBromCollection& Pictures()
{
    using namespace ruko;
    static TBromCollection* cache = [] {
        TBromFrameList list(0);
        for (int i = 0; i < 2; ++i) {
            TBromFrame& frame = list.AddFrame();
            frame.Picture = TPicture(4, 3, 24);
            frame.Picture.Fill(uint32_t(0x102030 * (i + 1)));
        }
        TKwBigMemoryStream out;
        list.SaveToStream(out, bcZlib, 90);
        auto bytes = std::make_shared<std::vector<uint8_t>>(out.TakeBytes());
        TBromFileSource source;
        source.Exists = [](const std::string& name) { return LowerCaseText(name) == "a.brm"; };
        source.Load = [bytes](const std::string&) { return *bytes; };
        return new TBromCollection(source, 0);
    }();
    return *cache;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    static const bool ready = [] {
        RegisterImageKinds();
        BromMan = &Pictures();
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    // Sounds, timers and motions load too; without media managers no sound ever starts.
    static const bool kinds = (RegisterMediaComponentKinds(), true);
    (void)kinds;
    // The first byte picks the save version, so the old layouts are explored too.
    const int32_t version = 100 + data[0] % 51;
    // Big screens are valid but only slow the search down: their surfaces are all the same.
    if (size >= 9) {
        int64_t width = data[1] | data[2] << 8, height = data[5] | data[6] << 8;
        if (data[3] || data[4] || data[7] || data[8] || width * height > 128 * 128) return 0;
    }
    TKwBigMemoryStream in(std::vector<uint8_t>(data + 1, data + size));
    TRukoBaseList list;
    try {
        list.LoadFromStream(in, version);
    } catch (const ERukoError&) {
        if (!list.Items().empty()) std::abort(); // a failed load must leave the list as it was
        return 0;
    }
    TKwBigMemoryStream first;
    list.SaveToStream(first);
    first.SetPosition(0);
    TRukoBaseList again;
    again.LoadFromStream(first, 150);
    TKwBigMemoryStream second;
    again.SaveToStream(second);
    if (first.Bytes() != second.Bytes()) std::abort();
    again.Paint();
    again.InputStep(15);
    again.Step();
    return 0;
}
