#pragma once
// Helpers shared by the variable-store and expression tests.
#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "io/bigstream.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <string>

namespace ruko::testing {

// "<kind> <value>" as `rukotool expr` prints a Result ("none" without one); a compile error gives
// "error <message>". Text in and out is UTF-8.
inline std::string Describe(const TCustomParam* result)
{
    return DescribeValue(result);
}

inline std::string Eval(TParamCollection& store, const std::string& utf8)
{
    TRukoParser program;
    try {
        CompileText(Utf8ToCp932(utf8), program);
    } catch (const ERukoError& error) {
        return "error " + Cp932ToUtf8(error.what());
    }
    program.Execute(store);
    return Describe(program.Result.get());
}

// The message of the error `action` raises, as UTF-8; "" when it does not raise.
template <typename F> std::string ErrorOf(F&& action)
{
    try {
        action();
    } catch (const ERukoError& error) {
        return Cp932ToUtf8(error.what());
    }
    return "";
}

inline std::string Cp(const char* utf8)
{
    return Utf8ToCp932(utf8);
}

} // namespace ruko::testing
