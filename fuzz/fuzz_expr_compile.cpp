// The expression compiler on arbitrary text (CP932 bytes), then the program it made, run.
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    TRukoParser program;
    try {
        CompileText(text, program);
    } catch (const std::exception&) {
        return 0;
    }
    (void)DumpProgram(program);
    TParamCollection store;
    store.AddVariable(ptInt, "a").Value->SetDims({3, 4});
    store.AddVariable(ptInt, "i").Value->SetInt(1);
    store.AddVariable(ptStr, "s").Value->SetStr("text");
    store.AddVariable(ptFloat, "x").Value->SetFloat(-2.5);
    program.Execute(store);
    return 0;
}
