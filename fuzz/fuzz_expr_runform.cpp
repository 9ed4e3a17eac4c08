// The run-time form of stored programs: any program the loader accepts translates and runs like
// the step-by-step evaluator, run after run, in twin stores.
#include "io/bigstream.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace ruko;

namespace {

void Fill(TParamCollection& store)
{
    store.AddVariable(ptInt, "a").Value->SetDims({3, 4});
    store.AddVariable(ptInt, "i").Value->SetInt(2);
    store.AddVariable(ptStr, "s").Value->SetStr("text");
    store.AddVariable(ptFloat, "x").Value->SetFloat(1.5);
    store.AddVariable(ptFlag, "f");
    store.AddVariable(ptStr, "____1").Value->SetStr("a global that looks like a temporary");
}

std::vector<uint8_t> Saved(const TParamCollection& store)
{
    TKwBigMemoryStream stream;
    store.SaveVariables(stream);
    return stream.TakeBytes();
}

void Agree(bool same)
{
    if (!same) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKwBigMemoryStream input(std::vector<uint8_t>(data, data + size));
    TRukoParser plain;
    try {
        plain.LoadFromStream(input);
    } catch (const std::exception&) {
        return 0;
    }
    TRukoParser fast;
    fast.Assign(plain);
    TParamCollection plainStore, fastStore;
    Fill(plainStore);
    Fill(fastStore);
    for (int run = 0; run < 3; ++run) {
        bool okPlain = plain.ExecutePlain(plainStore);
        bool okFast = fast.Execute(fastStore);
        Agree(okPlain == okFast);
        Agree(plain.LastError == fast.LastError);
        Agree(DescribeValue(plain.Result.get()) == DescribeValue(fast.Result.get()));
        Agree(Saved(plainStore) == Saved(fastStore));
    }
    return 0;
}
