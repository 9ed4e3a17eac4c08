// Every built-in function called with awkward arguments: errors may stop the expression, but
// nothing may crash, hang or leave a value in an inconsistent shape.
#include "builtins_fixture.h"

namespace ruko::test {
namespace {

TEST_F(BuiltinsTest, EveryFunctionSurvivesAwkwardArguments)
{
    services.ShowInfo = [](const std::string&, const std::string&) {};
    // Plain names, edge numbers, empty and damaged CP932 text (a dangling lead byte, a trail
    // byte that looks like '\').
    const char* const pool[] = {"0",     "-1",   "3",      "2147483647", "-2147483648",
                                "1E300", "\"\"", "\"表\"", "Chr(130)",   "\"a,b\"",
                                "grid",  "list", "text",   "@KeyPush",   "@Temp"};
    const size_t poolSize = std::size(pool);
    uint64_t state = 12345;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>(state >> 33);
    };
    for (int row = 0; row < BuiltinFunctionCount; ++row) {
        const TBuiltinFunction& f = BuiltinFunctions[row];
        int maxArgs = f.MaxArgs < 0 ? f.MinArgs + 2 : f.MaxArgs;
        for (int round = 0; round < 30; ++round) {
            // Fresh variables each time, so growing functions cannot compound.
            for (const char* name : {"grid", "list", "text"})
                if (TParamCollectionItem* item = store.Find(name)) store.Remove(*item);
            Var(ptInt, "grid").Value->SetDims({2, 3});
            Var(ptStr, "list").Value->SetDims({4});
            Var(ptStr, "text").Value->SetStr(Utf8ToCp932("あ表\\"));
            int count = f.MinArgs + static_cast<int>(next() % static_cast<size_t>(maxArgs - f.MinArgs + 1));
            std::string text = std::string(f.Name) + "(";
            for (int i = 0; i < count; ++i)
                text += std::string(i ? ", " : "") + pool[next() % poolSize];
            text += ")";
            try {
                Eval(text);
            } catch (const std::exception&) {
                continue; // refused by the compiler (GetProp of an unknown property)
            }
            for (const char* name : {"grid", "list", "text"}) {
                const TCustomParam& v = Value(name);
                int64_t product = 1;
                for (int32_t d = 0; d < v.GetDimCount(); ++d)
                    product *= v.GetDim(d);
                if (!v.Dims.empty()) {
                    EXPECT_EQ(product, v.GetCount()) << text << " left " << name << " misshaped";
                }
            }
        }
    }
}

} // namespace
} // namespace ruko::test
