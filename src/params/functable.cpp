#include "params/functable.h"

#include "base/error.h"
#include "base/text.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

#include <cstring>

namespace ruko {

const TBuiltinFunction BuiltinFunctions[BuiltinFunctionCount] = {
    {"IntToStr", 1, 2, ptStr},            // 0
    {"IntToHex", 2, 2, ptStr},            // 1
    {"GetProp", 2, 2, ptStr},             // 2
    {"SetProp", 3, 3, ptStr},             // 3
    {"GetArraySize", 1, 2, ptInt},        // 4
    {"Length", 1, 1, ptInt},              // 5
    {"JLength", 1, 1, ptInt},             // 6
    {"Copy", 2, 3, ptStr},                // 7
    {"JCopy", 2, 3, ptStr},               // 8
    {"Delete", 2, 3, ptStr},              // 9
    {"JDelete", 2, 3, ptStr},             // 10
    {"Insert", 3, 3, ptStr},              // 11
    {"JInsert", 3, 3, ptStr},             // 12
    {"CompareStr", 2, 2, ptInt},          // 13
    {"CompareText", 2, 2, ptInt},         // 14
    {"Pos", 2, 2, ptInt},                 // 15
    {"JPos", 2, 2, ptInt},                // 16
    {"Trim", 1, 1, ptStr},                // 17
    {"JTrim", 1, 1, ptStr},               // 18
    {"Exists", 1, 1, ptFlag},             // 19
    {"Not", 1, 1, ptFlag},                // 20
    {"SetArray", 2, -1, ptInt},           // 21
    {"FillMem", 2, 2, ptInt},             // 22
    {"CopyMem", 2, 2, ptInt},             // 23
    {"GetCheck", 2, 2, ptFlag},           // 24
    {"SetCheck", 3, 3, ptInt},            // 25
    {"Random", 1, 1, ptInt},              // 26
    {"GetSaveCaption", 1, 1, ptStr},      // 27
    {"ArrayToString", 1, 2, ptStr},       // 28
    {"StringToArray", 2, 3, ptInt},       // 29
    {"IndexOfStr", 2, 4, ptInt},          // 30
    {"SortStr", 1, 3, ptInt},             // 31
    {"ListCompo", 1, 4, ptInt},           // 32
    {"ToClientX", 2, 2, ptInt},           // 33
    {"ToClientY", 2, 2, ptInt},           // 34
    {"ToScreenX", 2, 2, ptInt},           // 35
    {"ToScreenY", 2, 2, ptInt},           // 36
    {"Int", 1, 1, ptInt},                 // 37
    {"Float", 1, 1, ptFloat},             // 38
    {"Sin", 1, 1, ptFloat},               // 39
    {"Cos", 1, 1, ptFloat},               // 40
    {"Tan", 1, 1, ptFloat},               // 41
    {"ArcSin", 1, 1, ptFloat},            // 42
    {"ArcCos", 1, 1, ptFloat},            // 43
    {"ArcTan", 1, 1, ptFloat},            // 44
    {"ArcTan2", 2, 2, ptFloat},           // 45
    {"Hypot", 2, 2, ptFloat},             // 46
    {"IndexOfMenu", 2, 2, ptInt},         // 47
    {"Abs", 1, 1, ptInt},                 // 48
    {"Fabs", 1, 1, ptFloat},              // 49
    {"VarExists", 1, 1, ptFlag},          // 50
    {"EncodeDate", 3, 3, ptFloat},        // 51
    {"EncodeTime", 3, 3, ptFloat},        // 52
    {"DecodeDate", 4, 4, ptInt},          // 53
    {"DecodeTime", 4, 4, ptInt},          // 54
    {"GetYear", 1, 1, ptInt},             // 55
    {"GetMonth", 1, 1, ptInt},            // 56
    {"GetDay", 1, 1, ptInt},              // 57
    {"GetHour", 1, 1, ptInt},             // 58
    {"GetMin", 1, 1, ptInt},              // 59
    {"GetSec", 1, 1, ptInt},              // 60
    {"GetWeek", 1, 1, ptInt},             // 61
    {"GetWeekStr", 1, 1, ptStr},          // 62
    {"GetWeekJStr", 1, 1, ptStr},         // 63
    {"FixStr", 1, 1, ptStr},              // 64
    {"GetDisplayMode", 5, 5, ptFlag},     // 65
    {"AddArray", 2, 2, ptInt},            // 66
    {"InsertArray", 3, 3, ptInt},         // 67
    {"DeleteArray", 3, 3, ptInt},         // 68
    {"InPrimary", 1, 1, ptFlag},          // 69
    {"CopyArray", 2, 2, ptFlag},          // 70
    {"FileExists", 1, 1, ptFlag},         // 71
    {"LoadTextFile", 2, 2, ptFlag},       // 72
    {"LowerCase", 1, 1, ptStr},           // 73
    {"UpperCase", 1, 1, ptStr},           // 74
    {"ExtractFilePath", 1, 1, ptStr},     // 75
    {"ExtractFileName", 1, 1, ptStr},     // 76
    {"ExtractFileExt", 1, 1, ptStr},      // 77
    {"IsPathDelimiter", 2, 2, ptFlag},    // 78
    {"AddBackSlash", 1, 1, ptStr},        // 79
    {"ChangeFileExt", 2, 2, ptStr},       // 80
    {"IsDelimiter", 3, 3, ptFlag},        // 81
    {"StringOfChar", 2, 2, ptStr},        // 82
    {"StringReplace", 3, 5, ptStr},       // 83
    {"AssignTemp", 1, 1, ptFlag},         // 84
    {"HanToZen", 1, 1, ptStr},            // 85
    {"ZenToHan", 1, 1, ptStr},            // 86
    {"DBCreateTable", 2, 2, ptFlag},      // 87
    {"DBSetActive", 1, 1, ptFlag},        // 88
    {"DBAddField", 2, 3, ptFlag},         // 89
    {"DBSetRecNo", 1, 1, ptFlag},         // 90
    {"DBInsert", 0, -1, ptFlag},          // 91
    {"DBDelete", 0, 0, ptFlag},           // 92
    {"DBGetInt", 1, 1, ptInt},            // 93
    {"DBSetInt", 2, 2, ptFlag},           // 94
    {"DBGetFloat", 1, 1, ptFloat},        // 95
    {"DBSetFloat", 2, 2, ptFlag},         // 96
    {"DBGetBool", 1, 1, ptFlag},          // 97
    {"DBSetBool", 2, 2, ptFlag},          // 98
    {"DBGetStr", 1, 1, ptStr},            // 99
    {"DBSetStr", 2, 2, ptFlag},           // 100
    {"DBRecordCount", 0, 1, ptInt},       // 101
    {"DBFindFirst", 0, 0, ptFlag},        // 102
    {"DBFindLast", 0, 0, ptFlag},         // 103
    {"DBFindNext", 0, 0, ptFlag},         // 104
    {"DBFindPrior", 0, 0, ptFlag},        // 105
    {"DBLocate", 2, 4, ptFlag},           // 106
    {"DBLoadTsvFile", 1, 1, ptFlag},      // 107
    {"DBDirectGetInt", 7, 7, ptInt},      // 108
    {"DBDirectSetInt", 7, 7, ptFlag},     // 109
    {"DBDirectGetFloat", 7, 7, ptFloat},  // 110
    {"DBDirectSetFloat", 7, 7, ptFlag},   // 111
    {"DBDirectGetBool", 7, 7, ptFlag},    // 112
    {"DBDirectSetBool", 7, 7, ptFlag},    // 113
    {"DBDirectGetStr", 7, 7, ptStr},      // 114
    {"DBDirectSetStr", 7, 7, ptFlag},     // 115
    {"DBCopyTable", 1, 5, ptFlag},        // 116
    {"DBDeleteTable", 0, 1, ptFlag},      // 117
    {"DBInsertTable", 1, 5, ptFlag},      // 118
    {"DBCopy", 1, 1, ptFlag},             // 119
    {"DBClearTable", 0, 0, ptFlag},       // 120
    {"DBSort", 2, 2, ptFlag},             // 121
    {"DBGetActive", 0, 0, ptStr},         // 122
    {"DBGetRecNo", 0, 1, ptInt},          // 123
    {"DBClearRecord", 0, 1, ptFlag},      // 124
    {"SetWallPaper", 2, 2, ptFlag},       // 125
    {"Min", 2, 2, ptInt},                 // 126
    {"Max", 2, 2, ptInt},                 // 127
    {"Fmin", 2, 2, ptFloat},              // 128
    {"Fmax", 2, 2, ptFloat},              // 129
    {"GetVarType", 1, 1, ptInt},          // 130
    {"GetEnabled", 2, 2, ptFlag},         // 131
    {"SetEnabled", 3, 3, ptInt},          // 132
    {"AddDelimiter", 2, 2, ptStr},        // 133
    {"ListSaveCaption", 0, 2, ptInt},     // 134
    {"OpenUrl", 1, 1, ptFlag},            // 135
    {"Calc", 1, 1, ptStr},                // 136
    {"SaveScreen", 1, 5, ptFlag},         // 137
    {"StrToIntDef", 2, 2, ptInt},         // 138
    {"StrToFloatDef", 2, 2, ptFloat},     // 139
    {"GetVisible", 2, 2, ptFlag},         // 140
    {"SetVisible", 3, 3, ptFlag},         // 141
    {"GetHistoryCount", 1, 1, ptInt},     // 142
    {"GetHistoryMaxCount", 1, 1, ptInt},  // 143
    {"SetHistoryMaxCount", 2, 2, ptFlag}, // 144
    {"GetGroupIndex", 2, 2, ptInt},       // 145
    {"GetSelected", 2, 2, ptFlag},        // 146
    {"SetSelected", 3, 3, ptFlag},        // 147
    {"SelectOpenFile", 1, 2, ptFlag},     // 148
    {"SelectSaveFile", 1, 2, ptFlag},     // 149
    {"SelectDirectory", 1, 1, ptFlag},    // 150
    {"ExtractFile", 1, 3, ptFlag},        // 151
    {"Chr", 1, 1, ptStr},                 // 152
    {"Ord", 1, 1, ptInt},                 // 153
    {"InCabinet", 1, 1, ptFlag},          // 154
    {"PushVar", 1, -1, ptFlag},           // 155
    {"PopVar", 0, 0, ptFlag},             // 156
    {"DeleteStack", 1, 1, ptFlag},        // 157
    {"CopyFile", 2, 2, ptFlag},           // 158
    {"DBGetTableCount", 0, 0, ptInt},     // 159
    {"DBGetTable", 2, 3, ptFlag},         // 160
    {"CreateObject", 2, 3, ptFlag},       // 161
    {"DeleteObject", 1, 1, ptFlag},       // 162
    {"GetItem", 2, 2, ptStr},             // 163
    {"UniqueArray", 1, 1, ptInt},         // 164
    {"TrimArray", 1, 2, ptInt},           // 165
    {"GetImeOpened", 1, 1, ptFlag},       // 166
    {"SetImeOpened", 2, 2, ptFlag},       // 167
    {"Alert", 1, 1, ptFlag},              // 168
};

int FindBuiltinFunction(std::string_view name)
{
    for (int row = 0; row < BuiltinFunctionCount; ++row)
        if (name == BuiltinFunctions[row].Name) return row;
    return -1;
}

TSysFuncMan* SysFuncMan = nullptr;

TSysFuncMan& CurrentSysFuncs()
{
    // Never destroyed: a destructor in static storage could run after the run's own teardown.
    static TSysFuncMan& fallback = *new TSysFuncMan;
    return SysFuncMan ? *SysFuncMan : fallback;
}

namespace {

// AssignTemp and PushVar take variable names as text values: a string literal reaches them as a
// temporary and a plain name as a reference, and in both cases the value is the name meant.
std::string NameArgument(const TCustomParam& arg)
{
    return arg.GetStr();
}

} // namespace

TSysFuncMan::TSysFuncMan() : bodies_(BuiltinFunctionCount)
{
    Register(fnGetProp, [this](TFuncCall& call) {
        int32_t id = call.Arg(1).GetInt();
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("GetPropの引数が違います"));
        if (Properties) Properties->GetProperty(call.Arg(0).GetStr(), id, *call.Result.Value);
    });
    Register(fnSetProp, [this](TFuncCall& call) {
        int32_t id = call.Arg(1).GetInt();
        if (id < 0 || id >= PropertyCount) RaiseError(Utf8ToCp932("SetPropエラー"));
        if (Properties) Properties->SetProperty(call.Arg(0).GetStr(), id, call.Arg(2));
    });
    Register(fnAssignTemp, [](TFuncCall& call) {
        std::string name = NameArgument(call.Arg(0));
        TParamCollectionItem* item = call.Store.Find(name);
        // A system variable (above all "@Temp" itself) would make "@Temp" forward to itself.
        bool usable = item && !item->IsSystem();
        if (usable) call.Store.TempName = name;
        call.Result.Value->SetFlag(usable);
    });
    Register(fnCalc, [](TFuncCall& call) {
        std::string text(TrimText(call.Arg(0).GetStr()));
        if (text.empty()) return;
        bool ok = false;
        if (call.Store.TempDepth() < MaxEvalNesting) {
            try {
                TRukoParser program;
                CompileText(text, program);
                ok = program.ExecutePlain(call.Store); // run once: not worth a run-time form
            } catch (const std::exception&) {
                ok = false;
            }
        }
        call.Result.Value->SetFlag(ok);
    });
    Register(fnPushVar, [](TFuncCall& call) {
        std::vector<std::string> names;
        for (size_t i = 0; i < call.ArgCount(); ++i)
            names.push_back(NameArgument(call.Arg(i)));
        call.Store.PushVariables(names);
        call.Result.Value->SetFlag(true);
    });
    Register(fnPopVar, [](TFuncCall& call) {
        call.Store.PopVariables();
        call.Result.Value->SetFlag(true);
    });
}

void TSysFuncMan::Register(int row, TBuiltinBody body)
{
    if (row >= 0 && row < BuiltinFunctionCount) bodies_[static_cast<size_t>(row)] = std::move(body);
}

bool TSysFuncMan::HasBody(int row) const
{
    return row >= 0 && row < BuiltinFunctionCount && bodies_[static_cast<size_t>(row)];
}

void TSysFuncMan::CallFunction(TFuncCall& call) const
{
    if (HasBody(call.Row)) bodies_[static_cast<size_t>(call.Row)](call);
}

} // namespace ruko
