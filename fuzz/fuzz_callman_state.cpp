// The call manager's state in a save from untrusted bytes: a record that loads is taken whole
// and saves to bytes that load again to the same state; one that does not leaves the manager
// as it was (no page, no frames).
#include "base/error.h"
#include "base/text.h"
#include "engine/callman.h"
#include "engine/scenario.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

using namespace ruko;

namespace {

// The pages a state may name: a wait to be resumed and a call that is under way.
const std::map<std::string, std::vector<uint8_t>>& Pages()
{
    static const std::map<std::string, std::vector<uint8_t>> pages = [] {
        std::vector<TCompiledPage> compiled;
        std::vector<TScenarioError> errors;
        if (!CompileScenarios({{"main.rss", "main.rsb", "var int n = 1\ncall sub.rsb -> n\nwait 300\n"},
                               {"sub.rss", "sub.rsb", "wait 100 if n > 0\ntext \"m\", 0, 0, 0 << \"hi\"\n"}},
                              compiled, errors))
            std::abort();
        std::map<std::string, std::vector<uint8_t>> bytes;
        for (TCompiledPage& page : compiled)
            bytes[page.PageName] = std::move(page.Bytes);
        return bytes;
    }();
    return pages;
}

std::unique_ptr<TCallMan> MakeCallMan(TTimerList& events)
{
    TCallManHost host;
    host.LoadFile = [](const std::string& name) {
        auto it = Pages().find(name);
        if (it == Pages().end()) RaiseError(name + Utf8ToCp932(":ファイルがありません"));
        return it->second;
    };
    return std::make_unique<TCallMan>(std::move(host), events);
}

std::vector<uint8_t> Saved(const TCallMan& cm)
{
    TKwBigMemoryStream s;
    cm.SaveToStream(s);
    return s.TakeBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    // Saves before version 116 do not store the event depth.
    const int version = data[0] & 1 ? 115 : 116;
    TTimerList events;
    std::unique_ptr<TCallMan> cm = MakeCallMan(events);
    TKwBigMemoryStream input(std::vector<uint8_t>(data + 1, data + size));
    try {
        cm->LoadFromStream(input, version);
    } catch (const ERukoError&) {
        if (cm->Point.Page || cm->StackCount() != 0) std::abort();
        return 0;
    }
    const std::vector<uint8_t> written = Saved(*cm);
    TTimerList moreEvents;
    std::unique_ptr<TCallMan> again = MakeCallMan(moreEvents);
    TKwBigMemoryStream reread(written);
    again->LoadFromStream(reread, 116);
    if (Saved(*again) != written) std::abort();
    return 0;
}
