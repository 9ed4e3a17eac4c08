// Save data of the variable store: the ordinary section of any accepted version, the persistent
// section, single value records of each kind and the pushed sets that ride along.
#include "base/error.h"
#include "io/bigstream.h"
#include "params/paramcollection.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ruko;

namespace {

const int32_t Versions[] = {100, 102, 103, 112, 113, 120, 121, 134, 135, 138, 139, 140};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    uint8_t selector = data[0];
    std::vector<uint8_t> bytes(data + 1, data + size);

    if (selector >= 0xF0) {
        TKwBigMemoryStream input(std::move(bytes));
        if (auto value = CreateParamByType(selector & 0x0F)) {
            try {
                value->LoadFromStream(input);
                (void)value->GetStr();
                TKwBigMemoryStream saved;
                value->SaveToStream(saved);
            } catch (const std::exception&) {
            }
        }
        return 0;
    }

    TParamCollection store;
    store.AddVariable(ptInt, "kept").Value->SetInt(7);
    TKwBigMemoryStream input(std::move(bytes));
    try {
        if (selector & 0x80)
            store.LoadPersistent(input, 140);
        else
            store.LoadVariables(input, Versions[selector % std::size(Versions)]);
    } catch (const std::exception&) {
        return 0;
    }
    // Whatever loaded must save, load back and pop cleanly.
    TKwBigMemoryStream saved;
    store.SaveVariables(saved);
    saved.SetPosition(0);
    TParamCollection again;
    again.LoadVariables(saved, 140);
    try {
        while (store.PopVariables()) {
        }
    } catch (const std::exception&) {
    }
    // A loaded reference may point past its target's elements: reading it raises, as any bad
    // index does, and the evaluator catches that.
    for (size_t i = 0; i < store.Count(); ++i) {
        try {
            (void)store.Item(i).Value->GetStr();
        } catch (const ERukoError&) {
        }
    }
    return 0;
}
