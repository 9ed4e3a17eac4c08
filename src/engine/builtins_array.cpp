// Functions on whole variables: shapes, fills, copies, joins and splits, searches, sorts and the
// one-dimensional list operations.
#include "base/error.h"
#include "base/text.h"
#include "engine/builtins_support.h"

#include <algorithm>
#include <set>

namespace ruko::builtins {

namespace {

void GetArraySizeBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& value = RequireVariable(call, 0);
    if (OptionalArg(call, 1))
        call.Result.Value->SetInt(value.GetDim(value.GetDimCount() - 1 - call.Arg(1).GetInt()));
    else
        call.Result.Value->SetInt(value.GetCount());
}

void SetArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& value = RequireVariable(call, 0);
    std::vector<int32_t> extents;
    for (size_t i = 1; i < call.ArgCount(); ++i)
        extents.push_back(call.Arg(i).GetInt());
    value.SetDims(extents);
}

void FillMemBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& value = RequireVariable(call, 0);
    const TCustomParam& fill = call.Arg(1);
    switch (value.GetVarType()) {
    case ptInt:
        value.FillInt(fill.GetInt());
        break;
    case ptFloat:
        value.FillFloat(fill.GetFloat());
        break;
    case ptFlag:
        value.FillFlag(fill.GetFlag());
        break;
    case ptStr:
        value.FillStr(fill.GetStr());
        break;
    default:
        break;
    }
}

void CopyMemBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    TCustomParam& source = RequireVariable(call, 1);
    TCustomParam* from = Storage(source);
    target.CopyMem(from ? *from : source);
}

void ArrayToStringBody(TFuncCall& call, TBuiltinServices&)
{
    const TCustomParam& value = WholeValue(call, 0);
    std::string separator = StrArg(call, 1, "\r\n");
    std::string text;
    for (int32_t i = 0, n = value.GetCount(); i < n; ++i) {
        if (i > 0) text += separator;
        text += value.GetStrAt(i);
        if (text.size() > MaxBuiltinText) RaiseTooLarge(call);
    }
    call.Result.Value->SetStr(text);
}

// Splits at every character of `delimiters` (double-byte characters compare whole); empty
// pieces between delimiters are kept, an empty text has none.
std::vector<std::string> SplitAt(const std::string& text, const std::string& delimiters)
{
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::set<std::string> stops;
    for (size_t pos = 0; pos < delimiters.size(); pos += CharLength(delimiters, pos))
        stops.insert(delimiters.substr(pos, CharLength(delimiters, pos)));
    std::string piece;
    for (size_t pos = 0; pos < text.size();) {
        size_t length = CharLength(text, pos);
        std::string ch = text.substr(pos, length);
        if (stops.count(ch)) {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece += ch;
        }
        pos += length;
    }
    pieces.push_back(piece);
    return pieces;
}

void StringToArrayBody(TFuncCall& call, TBuiltinServices&)
{
    std::string text = call.Arg(0).GetStr();
    TCustomParam& target = RequireVariable(call, 1);
    std::string delimiters = StrArg(call, 2, "\r\n");
    std::vector<std::string> pieces = delimiters == "\r\n" ? SplitLines(text) : SplitAt(text, delimiters);
    StoreStringArray(target, pieces);
    call.Result.Value->SetInt(static_cast<int32_t>(pieces.size()));
}

void IndexOfStrBody(TFuncCall& call, TBuiltinServices&)
{
    const TCustomParam& value = WholeValue(call, 0);
    call.Result.Value->SetInt(
        value.IndexOfStr(call.Arg(1).GetStr(), FlagArg(call, 2, true), FlagArg(call, 3, false)));
}

// The order the player's system gave titles: letters first ignoring case, then lower case before
// upper case, then bytes. Fixed here so the host locale never decides how a title sorts.
int CompareTitleText(const std::string& a, const std::string& b)
{
    if (int folded = LowerCaseText(a).compare(LowerCaseText(b))) return folded;
    auto swapCase = [](const std::string& text) {
        std::string lower = LowerCaseText(text), upper = UpperCaseText(text), swapped = text;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] != lower[i])
                swapped[i] = lower[i];
            else if (text[i] != upper[i])
                swapped[i] = upper[i];
        return swapped;
    };
    return swapCase(a).compare(swapCase(b));
}

void SortStrBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& value = RequireVariable(call, 0);
    bool descending = FlagArg(call, 1), numeric = FlagArg(call, 2);
    int32_t n = value.GetCount();
    if (numeric) {
        std::vector<Extended> numbers;
        for (int32_t i = 0; i < n; ++i)
            numbers.push_back(value.GetFloatAt(i));
        if (descending)
            std::sort(numbers.begin(), numbers.end(), std::greater<>());
        else
            std::sort(numbers.begin(), numbers.end());
        for (int32_t i = 0; i < n; ++i)
            value.SetFloatAt(i, numbers[static_cast<size_t>(i)]);
    } else {
        std::vector<std::string> texts;
        for (int32_t i = 0; i < n; ++i)
            texts.push_back(value.GetStrAt(i));
        std::sort(texts.begin(), texts.end(), [descending](const std::string& a, const std::string& b) {
            int order = CompareTitleText(a, b);
            return descending ? order > 0 : order < 0;
        });
        for (int32_t i = 0; i < n; ++i)
            value.SetStrAt(i, texts[static_cast<size_t>(i)]);
    }
}

// --- one-dimensional list operations ---

// Elements of a value copied out as a plain value of its own kind, so a variable can be
// combined with itself.
std::unique_ptr<TCustomParam> Elements(const TCustomParam& value)
{
    uint8_t kind = value.GetVarType();
    return CopyAsKind(value, kind >= ptInt && kind <= ptStr ? kind : uint8_t{ptStr});
}

void CopyElement(TCustomParam& target, int32_t to, const TCustomParam& source, int32_t from)
{
    switch (target.GetVarType()) {
    case ptInt:
        target.SetIntAt(to, source.GetIntAt(from));
        break;
    case ptFloat:
        target.SetFloatAt(to, source.GetFloatAt(from));
        break;
    case ptFlag:
        target.SetFlagAt(to, source.GetFlagAt(from));
        break;
    default:
        target.SetStrAt(to, source.GetStrAt(from));
        break;
    }
}

// Rebuilds a one-dimensional target from `elements` (converted to the target's kind). An empty
// list leaves an empty, unshaped value.
void Rebuild(TCustomParam& target, const TCustomParam& elements, int32_t count)
{
    if (count > 0) {
        target.SetDims({count});
    } else {
        target.SetCount(0);
        if (TCustomParam* storage = Storage(target)) storage->Dims.clear();
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        CopyElement(target, i, elements, i);
}

bool IsListShaped(const TCustomParam& value)
{
    return value.GetDimCount() < 2;
}

void AddArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    if (IsListShaped(target)) {
        auto current = Elements(target);
        auto added = Elements(WholeValue(call, 1));
        const int64_t total = int64_t{current->GetCount()} + added->GetCount();
        if (total > MaxParamElements) RaiseTooLarge(call);
        auto joined = CopyAsKind(*current, current->GetVarType());
        joined->SetCount(total);
        for (int32_t i = 0; i < added->GetCount(); ++i)
            CopyElement(*joined, current->GetCount() + i, *added, i);
        Rebuild(target, *joined, static_cast<int32_t>(total));
    }
    call.Result.Value->SetInt(target.GetCount());
}

void InsertArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    if (IsListShaped(target)) {
        auto current = Elements(target);
        auto added = Elements(WholeValue(call, 2));
        const int32_t count = current->GetCount(), extra = added->GetCount();
        const int32_t at = std::clamp(call.Arg(1).GetInt(), 0, count);
        const int64_t total = int64_t{count} + extra;
        if (total > MaxParamElements) RaiseTooLarge(call);
        auto joined = CopyAsKind(*current, current->GetVarType());
        joined->SetCount(total);
        for (int32_t i = 0; i < extra; ++i)
            CopyElement(*joined, at + i, *added, i);
        for (int32_t i = at; i < count; ++i)
            CopyElement(*joined, extra + i, *current, i);
        Rebuild(target, *joined, static_cast<int32_t>(total));
    }
    call.Result.Value->SetInt(target.GetCount());
}

void DeleteArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    if (IsListShaped(target) && target.GetCount() > 0) {
        auto current = Elements(target);
        const int32_t count = current->GetCount();
        const int32_t at = std::clamp(call.Arg(1).GetInt(), 0, count - 1);
        const int32_t removed = std::clamp(call.Arg(2).GetInt(), 0, count - at);
        auto kept = CopyAsKind(*current, current->GetVarType());
        for (int32_t i = at + removed; i < count; ++i)
            CopyElement(*kept, i - removed, *current, i);
        Rebuild(target, *kept, count - removed);
    }
    call.Result.Value->SetInt(target.GetCount());
}

void CopyArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TParamCollectionItem* item = VariableItem(call, 0);
    if (!item || item->IsSystem()) {
        call.Result.Value->SetFlag(false);
        return;
    }
    auto source = Elements(WholeValue(call, 1));
    item->ConvertFrom(*source);
    call.Result.Value->SetFlag(true);
}

// Unique and RemoveValue work on the element vector; the shape follows the new count.
void AfterListChange(TCustomParam& target)
{
    TCustomParam* storage = Storage(target);
    if (!storage || storage->Dims.empty()) return;
    int32_t count = storage->GetCount();
    storage->Dims = count > 0 ? std::vector<int32_t>{count} : std::vector<int32_t>{};
}

void UniqueArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    if (IsListShaped(target)) {
        target.Unique();
        AfterListChange(target);
    }
    call.Result.Value->SetInt(target.GetCount());
}

void TrimArrayBody(TFuncCall& call, TBuiltinServices&)
{
    TCustomParam& target = RequireVariable(call, 0);
    if (IsListShaped(target)) {
        target.RemoveValue(OptionalArg(call, 1) ? &WholeValue(call, 1) : nullptr);
        AfterListChange(target);
    }
    call.Result.Value->SetInt(target.GetCount());
}

void VarExistsBody(TFuncCall& call, TBuiltinServices&)
{
    // A plain name that resolved is a variable that exists; otherwise the text is the name.
    bool exists = VariableItem(call, 0) || call.Store.Find(call.Arg(0).GetStr());
    call.Result.Value->SetFlag(exists);
}

} // namespace

void RegisterArrayBuiltins(TRegistrar& r)
{
    r.Add("GetArraySize", GetArraySizeBody);
    r.Add("SetArray", SetArrayBody);
    r.Add("FillMem", FillMemBody);
    r.Add("CopyMem", CopyMemBody);
    r.Add("ArrayToString", ArrayToStringBody);
    r.Add("StringToArray", StringToArrayBody);
    r.Add("IndexOfStr", IndexOfStrBody);
    r.Add("SortStr", SortStrBody);
    r.Add("AddArray", AddArrayBody);
    r.Add("InsertArray", InsertArrayBody);
    r.Add("DeleteArray", DeleteArrayBody);
    r.Add("CopyArray", CopyArrayBody);
    r.Add("UniqueArray", UniqueArrayBody);
    r.Add("TrimArray", TrimArrayBody);
    r.Add("VarExists", VarExistsBody);
}

} // namespace ruko::builtins
