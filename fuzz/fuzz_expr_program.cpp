// Stored expression programs: load, save, reload and run against a small store.
#include "io/bigstream.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKwBigMemoryStream input(std::vector<uint8_t>(data, data + size));
    TRukoParser program;
    try {
        program.LoadFromStream(input);
    } catch (const std::exception&) {
        return 0;
    }
    TKwBigMemoryStream saved;
    program.SaveToStream(saved);
    saved.SetPosition(0);
    TRukoParser again;
    again.LoadFromStream(saved); // what was accepted once must load again
    (void)DumpProgram(again);

    TParamCollection store;
    store.AddVariable(ptInt, "a").Value->SetDims({3, 4});
    store.AddVariable(ptStr, "s").Value->SetStr("text");
    store.AddVariable(ptFloat, "x").Value->SetFloat(1.5);
    store.AddVariable(ptFlag, "f");
    program.Execute(store);
    program.Execute(store);
    return 0;
}
