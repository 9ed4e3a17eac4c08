#include "params/sysvars.h"

#include "base/error.h"
#include "base/globals.h"
#include "base/numtext.h"
#include "base/text.h"
#include "params/paramcollection.h"

#include <chrono>
#include <ctime>
#include <numbers>

namespace ruko {

namespace {
constexpr uint8_t F = svkForward;
constexpr bool W = true, R = false;
} // namespace

const TSystemVariableInfo SystemVariables[SystemVariableCount] = {
    {"@Result", F, W, false},
    {"@LClick", ptFlag, W, false},
    {"@RClick", ptFlag, W, false},
    {"@LPush", ptFlag, R, false},
    {"@RPush", ptFlag, R, false},
    {"@MouseX", ptInt, W, false},
    {"@MouseY", ptInt, W, false},
    {"@TextDelay", ptInt, W, false},
    {"@HistoryCount", ptInt, R, false},
    {"@ParamCount", ptInt, R, false},
    {"@ParamStr", ptStr, R, true},
    {"@Sender", ptStr, R, false},
    {"@ScrWidth", ptInt, R, false},
    {"@ScrHeight", ptInt, R, false},
    {"@TickCount", ptInt, R, false},
    {"@PCTickCount", ptInt, R, false},
    {"@UpdateCount", ptInt, R, false},
    {"@Year", ptInt, R, false},
    {"@Month", ptInt, R, false},
    {"@Day", ptInt, R, false},
    {"@Week", ptInt, R, false},
    {"@Hour", ptInt, R, false},
    {"@Min", ptInt, R, false},
    {"@Sec", ptInt, R, false},
    {"@Fonts", ptStr, R, false},
    {"@FixedFonts", ptStr, R, false},
    {"@FullScr", ptFlag, W, false},
    {"@Cursor", ptStr, W, false},
    {"@SelStr", ptStr, W, false},
    {"@SelIndex", ptInt, W, false},
    {"@Pi", ptFloat, R, false},
    {"@CGDither", ptFlag, W, false},
    {"@1Hour", ptFloat, R, false},
    {"@1Min", ptFloat, R, false},
    {"@1Sec", ptFloat, R, false},
    {"@KeyPush", ptFlag, R, true},
    {"@KeyClick", ptFlag, R, true},
    {"@DisplayModeCount", ptInt, R, false},
    {"@DisplayModeIndex", ptInt, W, false},
    {"@Title", ptStr, R, false},
    {"@SoundON", ptFlag, W, false},
    {"@ActiveCompo", ptStr, W, false},
    {"@KeyRepeat", ptFlag, R, true},
    {"@HistoryMaxCount", ptInt, W, false},
    {"@Temp", F, W, false},
    {"@MidiPort", ptStr, W, false},
    {"@MidiPorts", ptStr, R, true},
    {"@WheelDown", ptFlag, R, false},
    {"@WheelUp", ptFlag, R, false},
    {"@IsDebug", ptFlag, R, false},
    {"@StackCount", ptInt, R, false},
};

int FindSystemVariable(const std::string& name)
{
    for (int row = 0; row < SystemVariableCount; ++row)
        if (SameText(name, SystemVariables[row].Name)) return row;
    return -1;
}

// --- default host ---

int32_t TSystemHost::ReadInt(int row)
{
    switch (row) {
    case 14:
        return GameTime;
    case 15:
        return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
    case 16:
        return FrameCount;
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23: {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const int values[] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday + 1,
                              local.tm_hour,        local.tm_min,     local.tm_sec};
        return values[row - 17];
    }
    default:
        return 0;
    }
}

Extended TSystemHost::ReadFloat(int)
{
    return 0;
}
bool TSystemHost::ReadFlag(int)
{
    return false;
}
std::string TSystemHost::ReadStr(int)
{
    return std::string();
}

int32_t TSystemHost::ElementCount(int row)
{
    switch (row) {
    case svParamStr:
        return ReadInt(9);
    case svKeyPush:
    case svKeyClick:
    case svKeyRepeat:
        return 258;
    default:
        return 0;
    }
}

// --- TParamSystem ---

const TSystemVariableInfo& TParamSystem::Info() const
{
    if (Kind >= SystemVariableCount) RaiseError(Utf8ToCp932("内部エラー"));
    return SystemVariables[Kind];
}

bool TParamSystem::ElementRow() const
{
    return Info().IsArray;
}

TCustomParam* TParamSystem::Forwarded() const
{
    if (Kind == svResult) return store_.Host().CallResult();
    if (Kind == svTemp) {
        if (store_.TempName.empty()) return nullptr;
        TParamCollectionItem* item = store_.Find(store_.TempName);
        // A name that leads back to a system variable would forward forever.
        return item && !item->IsSystem() ? item->Value.get() : nullptr;
    }
    return nullptr;
}

void TParamSystem::CheckIndex(int32_t i) const
{
    if (ElementRow() && (i < 0 || i >= GetCount())) RaiseIndexError(i);
}

// index -1 is the scalar read of an array row.
int32_t TParamSystem::RowInt(int32_t index) const
{
    switch (Info().Kind) {
    case ptInt:
        if (Kind == svTextDelay) return store_.TextDelay;
        if (Kind == svSelIndex) return store_.SelIndex;
        return store_.Host().ReadInt(Kind);
    case ptFloat:
        return TruncToInt32(RowFloat(index));
    case ptFlag:
        return RowFlag(index) ? 1 : 0;
    case ptStr:
        return StrToIntDef(RowStr(index), 0);
    default:
        return 0;
    }
}

Extended TParamSystem::RowFloat(int32_t index) const
{
    switch (Info().Kind) {
    case ptFloat:
        switch (Kind) {
        case svPi:
            return std::numbers::pi_v<Extended>;
        case 32:
            return Extended{1} / 24;
        case 33:
            return Extended{1} / 1440;
        case 34:
            return Extended{1} / 86400;
        default:
            return store_.Host().ReadFloat(Kind);
        }
    case ptStr:
        return StrToFloatDef(RowStr(index), 0);
    default:
        return RowInt(index);
    }
}

bool TParamSystem::RowFlag(int32_t index) const
{
    switch (Info().Kind) {
    case ptFlag:
        if (Kind == svIsDebug) return false;
        // The host is asked only about elements it has; others read as the zero value.
        if (ElementRow()) return index >= 0 && index < GetCount() && store_.Host().ReadFlagAt(Kind, index);
        return store_.Host().ReadFlag(Kind);
    case ptStr: {
        std::string text = RowStr(index);
        if (index >= 0) return text == "TRUE";
        return text == "TRUE" || (text != "FALSE" && StrToIntDef(text, 0) != 0);
    }
    case ptFloat:
        return RowFloat(index) != 0;
    default:
        return RowInt(index) != 0;
    }
}

std::string TParamSystem::RowStr(int32_t index) const
{
    switch (Info().Kind) {
    case ptStr:
        if (Kind == svCursor) return store_.Cursor;
        if (Kind == svSelStr) return store_.SelStr;
        if (ElementRow())
            return index >= 0 && index < GetCount() ? store_.Host().ReadStrAt(Kind, index) : std::string();
        return store_.Host().ReadStr(Kind);
    case ptFlag:
        return RowFlag(index) ? "TRUE" : "FALSE";
    case ptFloat:
        return FloatToStr(RowFloat(index));
    default:
        return IntToStr(RowInt(index));
    }
}

void TParamSystem::WriteRowInt(int32_t n)
{
    if (!Info().Writable || ElementRow()) return;
    switch (Info().Kind) {
    case ptInt:
        if (Kind == svTextDelay)
            store_.TextDelay = n;
        else if (Kind == svSelIndex)
            store_.SelIndex = n;
        else
            store_.Host().WriteInt(Kind, n);
        break;
    case ptFlag:
        store_.Host().WriteFlag(Kind, n != 0);
        break;
    case ptStr:
        WriteRowStr(IntToStr(n));
        break;
    default:
        break;
    }
}

void TParamSystem::WriteRowFloat(Extended x)
{
    switch (Info().Kind) {
    case ptFlag:
        WriteRowFlag(x != 0);
        break;
    case ptStr:
        WriteRowStr(FloatToStr(x));
        break;
    default:
        WriteRowInt(TruncToInt32(x));
        break;
    }
}

void TParamSystem::WriteRowFlag(bool b)
{
    if (Info().Kind == ptStr)
        WriteRowStr(b ? "TRUE" : "FALSE");
    else
        WriteRowInt(b ? 1 : 0);
}

void TParamSystem::WriteRowStr(const std::string& s)
{
    if (!Info().Writable || ElementRow()) return;
    switch (Info().Kind) {
    case ptStr:
        if (Kind == svCursor)
            store_.Cursor = s;
        else if (Kind == svSelStr)
            store_.SelStr = s;
        else
            store_.Host().WriteStr(Kind, s);
        break;
    case ptFlag:
        store_.Host().WriteFlag(Kind, StrToIntDef(s, 0) != 0);
        break;
    default: {
        // Text that is not a number leaves the player state alone.
        int32_t n;
        Extended x;
        if (TryStrToInt(s, n))
            WriteRowInt(n);
        else if (TryStrToFloat(s, x))
            WriteRowInt(TruncToInt32(x));
        break;
    }
    }
}

#define RUKO_FORWARD(expr, fallback)                                                                         \
    if (Info().Kind == svkForward) {                                                                         \
        TForwardGuard guard;                                                                                 \
        if (TCustomParam* target = guard.TooDeep() ? nullptr : Forwarded()) return target->expr;             \
        return fallback;                                                                                     \
    }

int32_t TParamSystem::GetCount() const
{
    RUKO_FORWARD(GetCount(), 0)
    return ElementRow() ? std::max(0, store_.Host().ElementCount(Kind)) : 1;
}
void TParamSystem::SetCount(int64_t n){
    RUKO_FORWARD(SetCount(n), void())} uint8_t TParamSystem::GetVarType() const
{
    RUKO_FORWARD(GetVarType(), ptVar)
    return Info().Kind;
}
bool TParamSystem::GetFlag() const
{
    RUKO_FORWARD(GetFlag(), false)
    return RowFlag(-1);
}
Extended TParamSystem::GetFloat() const
{
    RUKO_FORWARD(GetFloat(), 0)
    return RowFloat(-1);
}
int32_t TParamSystem::GetInt() const
{
    RUKO_FORWARD(GetInt(), 0)
    return RowInt(-1);
}
std::string TParamSystem::GetStr() const
{
    RUKO_FORWARD(GetStr(), std::string())
    return RowStr(-1);
}
void TParamSystem::SetFlag(bool b)
{
    RUKO_FORWARD(SetFlag(b), void())
    WriteRowFlag(b);
}
void TParamSystem::SetFloat(Extended x)
{
    RUKO_FORWARD(SetFloat(x), void())
    WriteRowFloat(x);
}
void TParamSystem::SetInt(int32_t n)
{
    RUKO_FORWARD(SetInt(n), void())
    WriteRowInt(n);
}
void TParamSystem::SetStr(const std::string& s)
{
    RUKO_FORWARD(SetStr(s), void())
    WriteRowStr(s);
}
int32_t TParamSystem::GetIntAt(int32_t i) const
{
    RUKO_FORWARD(GetIntAt(i), 0)
    return RowInt(ElementRow() ? i : -1);
}
void TParamSystem::SetIntAt(int32_t i, int32_t n)
{
    RUKO_FORWARD(SetIntAt(i, n), void())
    CheckIndex(i);
    WriteRowInt(n);
}
Extended TParamSystem::GetFloatAt(int32_t i) const
{
    RUKO_FORWARD(GetFloatAt(i), 0)
    return RowFloat(ElementRow() ? i : -1);
}
void TParamSystem::SetFloatAt(int32_t i, Extended x)
{
    RUKO_FORWARD(SetFloatAt(i, x), void())
    CheckIndex(i);
    WriteRowFloat(x);
}
bool TParamSystem::GetFlagAt(int32_t i) const
{
    RUKO_FORWARD(GetFlagAt(i), false)
    return RowFlag(ElementRow() ? i : -1);
}
void TParamSystem::SetFlagAt(int32_t i, bool b)
{
    RUKO_FORWARD(SetFlagAt(i, b), void())
    CheckIndex(i);
    WriteRowFlag(b);
}
std::string TParamSystem::GetStrAt(int32_t i) const
{
    RUKO_FORWARD(GetStrAt(i), std::string())
    return RowStr(ElementRow() ? i : -1);
}
void TParamSystem::SetStrAt(int32_t i, const std::string& s)
{
    RUKO_FORWARD(SetStrAt(i, s), void())
    CheckIndex(i);
    WriteRowStr(s);
}
int32_t TParamSystem::GetDimCount() const
{
    RUKO_FORWARD(GetDimCount(), 1)
    return 1;
}
int32_t TParamSystem::GetDim(int32_t d) const
{
    RUKO_FORWARD(GetDim(d), 1)
    return d == 0 ? GetCount() : 1;
}
void TParamSystem::AssignData(const TCustomParam& src)
{
    RUKO_FORWARD(AssignData(src), void())
}
void TParamSystem::SetDims(const std::vector<int32_t>& extents)
{
    RUKO_FORWARD(SetDims(extents), void())
}
void TParamSystem::FillInt(int32_t n)
{
    RUKO_FORWARD(FillInt(n), void())
}
void TParamSystem::FillFloat(Extended x)
{
    RUKO_FORWARD(FillFloat(x), void())
}
void TParamSystem::FillFlag(bool b)
{
    RUKO_FORWARD(FillFlag(b), void())
}
void TParamSystem::FillStr(const std::string& s)
{
    RUKO_FORWARD(FillStr(s), void())
}
void TParamSystem::CopyMem(const TCustomParam& src)
{
    RUKO_FORWARD(CopyMem(src), void())
    RaiseError(Utf8ToCp932("CopyMem:変数の型があいません"));
}
void TParamSystem::ResetScalar()
{
    RUKO_FORWARD(ResetScalar(), void())
}
void TParamSystem::Unique()
{
    RUKO_FORWARD(Unique(), void())
}
void TParamSystem::RemoveValue(const TCustomParam* v){RUKO_FORWARD(RemoveValue(v), void())} int32_t
    TParamSystem::IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const
{
    RUKO_FORWARD(IndexOfStr(s, caseSensitive, partial), -1)
    return TCustomParam::IndexOfStr(s, caseSensitive, partial);
}

#undef RUKO_FORWARD

std::unique_ptr<TCustomParam> TParamSystem::Clone() const
{
    return std::make_unique<TParamSystem>(Kind, store_);
}

} // namespace ruko
