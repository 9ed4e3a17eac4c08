// rukotool expr: compile an expression, run it against a fresh variable store, print the Result.
#include "command.h"

#include "base/error.h"
#include "base/numtext.h"
#include "base/processobject.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "io/bigstream.h"
#include "params/functable.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstdio>

namespace ruko::tool {

namespace {

std::string ToCp932(const std::string& utf8)
{
    std::string cp932;
    if (!TryUtf8ToCp932(utf8, cp932)) throw EUsage{"text has characters outside CP932: " + utf8};
    return cp932;
}

// --var 'name:type=value' or 'name:type[3,4]' (an array, every element = value when given).
void DeclareVariable(TParamCollection& store, const std::string& declaration)
{
    size_t colon = declaration.find(':');
    if (colon == std::string::npos || colon == 0)
        throw EUsage{"--var expects name:type=value, got '" + declaration + "'"};
    size_t equals = declaration.find('=', colon);
    std::string type =
        declaration.substr(colon + 1, equals == std::string::npos ? std::string::npos : equals - colon - 1);
    std::vector<int32_t> extents;
    if (size_t bracket = type.find('['); bracket != std::string::npos) {
        if (type.back() != ']') throw EUsage{"bad array extents in '" + declaration + "'"};
        for (const std::string& extent :
             SplitText(type.substr(bracket + 1, type.size() - bracket - 2), ',')) {
            int32_t n;
            if (!TryStrToInt(extent, n)) throw EUsage{"bad array extent '" + extent + "'"};
            extents.push_back(n);
        }
        type.erase(bracket);
    }
    uint8_t code = type == "int"      ? ptInt
                   : type == "real"   ? ptFloat
                   : type == "flag"   ? ptFlag
                   : type == "string" ? ptStr
                                      : 0;
    if (!code) throw EUsage{"unknown type '" + type + "' (int, real, flag, string)"};
    TParamCollectionItem& item = store.AddVariable(code, ToCp932(declaration.substr(0, colon)));
    if (!extents.empty()) item.Value->SetDims(extents);
    if (equals == std::string::npos) return;
    std::string value = ToCp932(declaration.substr(equals + 1));
    int32_t n;
    Extended x;
    switch (code) {
    case ptInt:
        if (!TryStrToInt(value, n)) throw EUsage{"not an integer: '" + value + "'"};
        item.Value->FillInt(n);
        break;
    case ptFloat:
        if (!TryStrToFloat(value, x)) throw EUsage{"not a real: '" + value + "'"};
        item.Value->FillFloat(x);
        break;
    case ptFlag:
        if (value != "TRUE" && value != "FALSE") throw EUsage{"a flag is TRUE or FALSE: '" + value + "'"};
        item.Value->FillFlag(value == "TRUE");
        break;
    default:
        item.Value->FillStr(value);
        break;
    }
}

int RunExpr(const std::vector<std::string>& args)
{
    std::string text;
    bool haveText = false, dump = false;
    std::vector<std::string> variables;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dump") {
            dump = true;
        } else if (args[i] == "--var") {
            if (i + 1 >= args.size()) throw EUsage{"--var needs a value"};
            variables.push_back(args[++i]);
        } else if (!haveText) {
            text = args[i];
            haveText = true;
        } else {
            throw EUsage{"unexpected argument '" + args[i] + "'"};
        }
    }
    if (!haveText) throw EUsage{"missing expression text"};

    TRukoParser compiled;
    CompileText(ToCp932(text), compiled); // a compile error ends the command with status 1
    // What runs (and is dumped) is the program as a page holds it: saved and loaded back.
    TKwBigMemoryStream stored;
    compiled.SaveToStream(stored);
    stored.SetPosition(0);
    TRukoParser program;
    program.LoadFromStream(stored);
    if (dump) {
        std::fputs(Cp932ToUtf8(DumpProgram(program)).c_str(), stdout);
        return 0;
    }
    // The built-in functions as a player without a title has them: string, array and number
    // functions work; components, files and dialogs answer their documented fallbacks.
    TBuiltinServices services;
    TProcessObject<TSysFuncMan> builtins(SysFuncMan);
    InstallBuiltins(builtins.Create(), services);
    TParamCollection store;
    for (const std::string& variable : variables)
        DeclareVariable(store, variable);
    if (!program.Execute(store))
        std::fprintf(stderr, "rukotool expr: stopped: %s\n", Cp932ToUtf8(program.LastError).c_str());
    std::printf("%s\n", DescribeValue(program.Result.get()).c_str());
    builtins.Reset(); // its bodies refer to `services`
    return 0;
}

const TToolCommandRegistrar Registrar({"expr", "expr TEXT [--var NAME:TYPE[=VALUE]]... [--dump]",
                                       "compile and run an expression; print its Result or its program",
                                       RunExpr});

} // namespace

} // namespace ruko::tool
