#pragma once
// A variable store wired to the built-in functions and the system-variable host, with fake
// services; expressions are written in UTF-8 and run as CP932.
#include "base/processobject.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace ruko::test {

class BuiltinsTest : public ::testing::Test
{
  protected:
    BuiltinsTest()
    {
        InstallBuiltins(sysFuncMan.Create(), services);
        host = MakeSystemHost(services);
        store.SetHost(host.get());
    }
    ~BuiltinsTest() override { sysFuncMan.Reset(); }

    TProcessObject<TSysFuncMan> sysFuncMan{SysFuncMan};

    // Runs `text`; the value of a bare expression as UTF-8 text, "<none>" when there is none.
    std::string Eval(const std::string& text)
    {
        TRukoParser program;
        CompileText(Utf8ToCp932(text), program);
        ok = program.Execute(store);
        lastError = Cp932ToUtf8(program.LastError);
        return program.Result ? Cp932ToUtf8(program.Result->GetStr()) : "<none>";
    }

    TParamCollectionItem& Var(uint8_t kind, const std::string& name) { return store.AddVariable(kind, name); }
    TCustomParam& Value(const std::string& name) { return *store.Find(name)->Value; }
    std::string Str(const std::string& name) { return Cp932ToUtf8(Value(name).GetStr()); }
    std::string Elements(const std::string& name)
    {
        std::string joined;
        const TCustomParam& v = Value(name);
        for (int32_t i = 0; i < v.GetCount(); ++i)
            joined += (i ? "|" : "") + Cp932ToUtf8(v.GetStrAt(i));
        return joined;
    }

    TBuiltinServices services;
    std::unique_ptr<TSystemHost> host;
    TParamCollection store;
    bool ok = false;
    std::string lastError;
};

struct EvalCase
{
    const char* Text;
    const char* Expected;
};

inline std::ostream& operator<<(std::ostream& os, const EvalCase& c)
{
    return os << c.Text;
}

} // namespace ruko::test
