#include "params/param.h"

#include "base/error.h"
#include "base/numtext.h"
#include "base/text.h"
#include "io/fields.h"
#include "params/paramcollection.h"

#include <algorithm>

namespace ruko {

void RaiseIndexError(int32_t index)
{
    RaiseError(FormatText(Utf8ToCp932("[%d]:配列の添字が不正です").c_str(), index));
}

namespace {

[[noreturn]] void RaiseExtents(const std::vector<int64_t>& extents)
{
    std::string list;
    for (size_t i = 0; i < extents.size(); ++i)
        list += (i ? "," : "") + IntToStr(extents[i]);
    RaiseError(FormatText(Utf8ToCp932("配列の要素数[%s]が不正です").c_str(), list.c_str()));
}

void CheckElementCount(int64_t n)
{
    if (n < 0 || n > MaxParamElements) RaiseExtents({n});
}

// Conversions of one stored element to each kind.
int32_t AsInt(int32_t v)
{
    return v;
}
int32_t AsInt(Extended v)
{
    return TruncToInt32(v);
}
int32_t AsInt(uint8_t v)
{
    return v ? 1 : 0;
}
int32_t AsInt(const std::string& v)
{
    return StrToIntDef(v, 0);
}

Extended AsFloat(int32_t v)
{
    return v;
}
Extended AsFloat(Extended v)
{
    return v;
}
Extended AsFloat(uint8_t v)
{
    return v ? 1 : 0;
}
Extended AsFloat(const std::string& v)
{
    return StrToFloatDef(v, 0);
}

// The element form of a flag read; a string is TRUE only when it says so.
bool AsFlag(int32_t v)
{
    return v != 0;
}
bool AsFlag(Extended v)
{
    return v != 0;
}
bool AsFlag(uint8_t v)
{
    return v != 0;
}
bool AsFlag(const std::string& v)
{
    return v == "TRUE";
}

std::string AsStr(int32_t v)
{
    return IntToStr(v);
}
std::string AsStr(Extended v)
{
    return FloatToStr(v);
}
std::string AsStr(uint8_t v)
{
    return v ? "TRUE" : "FALSE";
}
std::string AsStr(const std::string& v)
{
    return v;
}

// Conversions into the stored element kind T.
template <typename T> T FromInt(int32_t n);
template <> int32_t FromInt(int32_t n)
{
    return n;
}
template <> Extended FromInt(int32_t n)
{
    return n;
}
template <> uint8_t FromInt(int32_t n)
{
    return n != 0;
}
template <> std::string FromInt(int32_t n)
{
    return IntToStr(n);
}

template <typename T> T FromFloat(Extended x);
template <> int32_t FromFloat(Extended x)
{
    return TruncToInt32(x);
}
template <> Extended FromFloat(Extended x)
{
    return x;
}
template <> uint8_t FromFloat(Extended x)
{
    return x != 0;
}
template <> std::string FromFloat(Extended x)
{
    return FloatToStr(x);
}

template <typename T> T FromFlag(bool b);
template <> int32_t FromFlag(bool b)
{
    return b;
}
template <> Extended FromFlag(bool b)
{
    return b ? 1 : 0;
}
template <> uint8_t FromFlag(bool b)
{
    return b;
}
template <> std::string FromFlag(bool b)
{
    return b ? "TRUE" : "FALSE";
}

template <typename T> T FromStr(const std::string& s);
template <> int32_t FromStr(const std::string& s)
{
    return StrToIntDef(s, 0);
}
template <> Extended FromStr(const std::string& s)
{
    return StrToFloatDef(s, 0);
}
template <> uint8_t FromStr(const std::string& s)
{
    return s == "TRUE";
}
template <> std::string FromStr(const std::string& s)
{
    return s;
}

template <typename T> T ValueOf(const TCustomParam* v);
template <> int32_t ValueOf(const TCustomParam* v)
{
    return v ? v->GetInt() : 0;
}
template <> Extended ValueOf(const TCustomParam* v)
{
    return v ? v->GetFloat() : 0;
}
template <> uint8_t ValueOf(const TCustomParam* v)
{
    return v ? v->GetFlag() : 0;
}
template <> std::string ValueOf(const TCustomParam* v)
{
    return v ? v->GetStr() : std::string();
}

template <typename T> void WriteElement(TKwBigStream& s, const T& v);
template <> void WriteElement(TKwBigStream& s, const int32_t& v)
{
    WriteInt(s, v);
}
template <> void WriteElement(TKwBigStream& s, const Extended& v)
{
    WriteExtended(s, v);
}
template <> void WriteElement(TKwBigStream& s, const uint8_t& v)
{
    WriteByte(s, v ? 1 : 0);
}
template <> void WriteElement(TKwBigStream& s, const std::string& v)
{
    WriteStr(s, v);
}

template <typename T> T ReadElement(TKwBigStream& s);
template <> int32_t ReadElement(TKwBigStream& s)
{
    return ReadInt(s);
}
template <> Extended ReadElement(TKwBigStream& s)
{
    return ReadExtended(s);
}
template <> uint8_t ReadElement(TKwBigStream& s)
{
    return ReadByte(s) != 0;
}
template <> std::string ReadElement(TKwBigStream& s)
{
    return ReadStr(s);
}

template <typename T> constexpr int64_t ElementBytes = 4;
template <> constexpr int64_t ElementBytes<Extended> = ExtendedSize;
template <> constexpr int64_t ElementBytes<uint8_t> = 1;

} // namespace

// --- TCustomParam ---

int32_t TCustomParam::GetDimCount() const
{
    return Dims.empty() ? 1 : static_cast<int32_t>(Dims.size());
}

int32_t TCustomParam::GetDim(int32_t d) const
{
    return d >= 0 && d < static_cast<int32_t>(Dims.size()) ? Dims[d] : 1;
}

void TCustomParam::SetDims(const std::vector<int32_t>& extents)
{
    std::vector<int64_t> wide(extents.begin(), extents.end());
    int64_t product = 1;
    for (int32_t extent : extents) {
        if (extent <= 0) RaiseExtents(wide);
        product *= extent;
        if (product > MaxParamElements) RaiseExtents(wide);
    }
    Dims = extents;
    SetCount(product);
}

void TCustomParam::CopyMem(const TCustomParam& src)
{
    SetCount(src.GetCount());
    Dims.clear();
    for (int32_t d = 0; d < src.GetDimCount(); ++d)
        Dims.push_back(src.GetDim(d));
}

void TCustomParam::SaveToStream(TKwBigStream& s) const
{
    WriteU32(s, static_cast<uint32_t>(Dims.size()));
    for (int32_t extent : Dims)
        WriteInt(s, extent);
}

void TCustomParam::LoadDims(TKwBigStream& s, std::vector<int32_t>& dims) const
{
    uint32_t count = ReadU32(s);
    CheckCount(s, count, 4);
    dims.resize(count);
    for (int32_t& extent : dims)
        extent = ReadInt(s);
    // Save data is untrusted: the same extents SetDims would refuse are refused here.
    int64_t product = 1;
    for (int32_t extent : dims) {
        product = extent > 0 ? product * extent : 0;
        if (product <= 0 || product > MaxParamElements)
            RaiseExtents(std::vector<int64_t>(dims.begin(), dims.end()));
    }
}

void TCustomParam::LoadFromStream(TKwBigStream& s)
{
    std::vector<int32_t> dims;
    LoadDims(s, dims);
    Dims = std::move(dims);
}

int32_t TCustomParam::IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const
{
    std::string wanted = partial && !caseSensitive ? LowerCaseText(s) : s;
    for (int32_t i = 0, n = GetCount(); i < n; ++i) {
        std::string element = GetStrAt(i);
        bool match;
        if (partial)
            match = (caseSensitive ? element : LowerCaseText(element)).find(wanted) != std::string::npos;
        else
            match = caseSensitive ? element == s : SameText(element, s);
        if (match) return i;
    }
    return -1;
}

std::unique_ptr<TCustomParam> CreateParamByType(uint8_t code)
{
    switch (code & 0x7F) {
    case ptVar:
        return std::make_unique<TParamVar>();
    case ptInt:
        return std::make_unique<TParamInt>();
    case ptFloat:
        return std::make_unique<TParamFloat>();
    case ptFlag:
        return std::make_unique<TParamFlag>();
    case ptStr:
        return std::make_unique<TParamStr>();
    default:
        return nullptr;
    }
}

std::unique_ptr<TCustomParam> CopyAsKind(const TCustomParam& src, uint8_t code)
{
    std::unique_ptr<TCustomParam> copy = CreateParamByType(code);
    if (!copy || code == ptVar) return nullptr;
    int32_t count = src.GetCount();
    copy->SetCount(count);
    if (!src.Dims.empty() || src.GetDimCount() > 1) {
        copy->Dims.clear();
        for (int32_t d = 0; d < src.GetDimCount(); ++d)
            copy->Dims.push_back(src.GetDim(d));
    }
    for (int32_t i = 0; i < count; ++i) {
        switch (code) {
        case ptInt:
            copy->SetIntAt(i, src.GetIntAt(i));
            break;
        case ptFloat:
            copy->SetFloatAt(i, src.GetFloatAt(i));
            break;
        case ptFlag:
            copy->SetFlagAt(i, src.GetFlagAt(i));
            break;
        default:
            copy->SetStrAt(i, src.GetStrAt(i));
            break;
        }
    }
    return copy;
}

// --- TParamData ---

template <typename T, uint8_t Code> const T& TParamData<T, Code>::At(int32_t i) const
{
    if (i < 0 || static_cast<size_t>(i) >= Data.size()) RaiseIndexError(i);
    return Data[static_cast<size_t>(i)];
}

template <typename T, uint8_t Code> T& TParamData<T, Code>::At(int32_t i)
{
    if (i < 0 || static_cast<size_t>(i) >= Data.size()) RaiseIndexError(i);
    return Data[static_cast<size_t>(i)];
}

template <typename T, uint8_t Code> void TParamData<T, Code>::SetCount(int64_t n)
{
    CheckElementCount(n);
    Data.resize(static_cast<size_t>(n));
}

template <typename T, uint8_t Code> bool TParamData<T, Code>::GetFlag() const
{
    if (Data.empty()) return false;
    if constexpr (std::is_same_v<T, std::string>) {
        if (Data[0] == "TRUE") return true;
        if (Data[0] == "FALSE") return false;
        return StrToIntDef(Data[0], 0) != 0;
    } else {
        return AsFlag(Data[0]);
    }
}

template <typename T, uint8_t Code> Extended TParamData<T, Code>::GetFloat() const
{
    return Data.empty() ? 0 : AsFloat(Data[0]);
}
template <typename T, uint8_t Code> int32_t TParamData<T, Code>::GetInt() const
{
    return Data.empty() ? 0 : AsInt(Data[0]);
}
template <typename T, uint8_t Code> std::string TParamData<T, Code>::GetStr() const
{
    return Data.empty() ? AsStr(T()) : AsStr(Data[0]);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetFlag(bool b)
{
    Scalar() = FromFlag<T>(b);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetFloat(Extended x)
{
    Scalar() = FromFloat<T>(x);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetInt(int32_t n)
{
    Scalar() = FromInt<T>(n);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetStr(const std::string& s)
{
    Scalar() = FromStr<T>(s);
}

template <typename T, uint8_t Code> int32_t TParamData<T, Code>::GetIntAt(int32_t i) const
{
    return AsInt(At(i));
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetIntAt(int32_t i, int32_t n)
{
    At(i) = FromInt<T>(n);
}
template <typename T, uint8_t Code> Extended TParamData<T, Code>::GetFloatAt(int32_t i) const
{
    return AsFloat(At(i));
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetFloatAt(int32_t i, Extended x)
{
    At(i) = FromFloat<T>(x);
}
template <typename T, uint8_t Code> bool TParamData<T, Code>::GetFlagAt(int32_t i) const
{
    return AsFlag(At(i));
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetFlagAt(int32_t i, bool b)
{
    At(i) = FromFlag<T>(b);
}
template <typename T, uint8_t Code> std::string TParamData<T, Code>::GetStrAt(int32_t i) const
{
    return AsStr(At(i));
}
template <typename T, uint8_t Code> void TParamData<T, Code>::SetStrAt(int32_t i, const std::string& s)
{
    At(i) = FromStr<T>(s);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::AssignData(const TCustomParam& src)
{
    // The storage kind names the class exactly (one final class per kind), without the type search.
    if (src.StorageKind() == Code) {
        const auto& same = static_cast<const TParamData&>(src);
        Dims = same.Dims;
        Data = same.Data;
    }
}

template <typename T, uint8_t Code> void TParamData<T, Code>::FillInt(int32_t n)
{
    if constexpr (std::is_same_v<T, int32_t>) std::fill(Data.begin(), Data.end(), n);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::FillFloat(Extended x)
{
    if constexpr (std::is_same_v<T, Extended>) std::fill(Data.begin(), Data.end(), x);
}
template <typename T, uint8_t Code> void TParamData<T, Code>::FillFlag(bool b)
{
    if constexpr (std::is_same_v<T, uint8_t>) std::fill(Data.begin(), Data.end(), static_cast<uint8_t>(b));
}
template <typename T, uint8_t Code> void TParamData<T, Code>::FillStr(const std::string& s)
{
    if constexpr (std::is_same_v<T, std::string>) std::fill(Data.begin(), Data.end(), s);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::CopyMem(const TCustomParam& src)
{
    if (src.StorageKind() != Code) RaiseError(Utf8ToCp932("CopyMem:変数の型があいません"));
    const auto* same = static_cast<const TParamData*>(&src);
    std::vector<int32_t> dims;
    for (int32_t d = 0; d < src.GetDimCount(); ++d)
        dims.push_back(src.GetDim(d));
    Data = same->Data;
    Dims = std::move(dims);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::SaveToStream(TKwBigStream& s) const
{
    TCustomParam::SaveToStream(s);
    WriteU32(s, static_cast<uint32_t>(Data.size()));
    for (const T& element : Data)
        WriteElement(s, element);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::LoadFromStream(TKwBigStream& s)
{
    std::vector<int32_t> dims;
    LoadDims(s, dims);
    uint32_t count = ReadU32(s);
    CheckCount(s, count, ElementBytes<T>);
    CheckElementCount(count);
    std::vector<T> data(count);
    for (T& element : data)
        element = ReadElement<T>(s);
    Dims = std::move(dims);
    Data = std::move(data);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::ResetScalar()
{
    if (!Dims.empty()) {
        Dims.clear();
        Data.resize(1);
    }
}

template <typename T, uint8_t Code> void TParamData<T, Code>::Unique()
{
    std::vector<T> kept;
    for (const T& element : Data) {
        if (std::find(kept.begin(), kept.end(), element) == kept.end()) kept.push_back(element);
        if constexpr (std::is_same_v<T, uint8_t>)
            if (kept.size() == 2) break;
    }
    Data = std::move(kept);
}

template <typename T, uint8_t Code> void TParamData<T, Code>::RemoveValue(const TCustomParam* v)
{
    T unwanted = ValueOf<T>(v);
    if constexpr (std::is_same_v<T, uint8_t>) unwanted = unwanted != 0;
    std::erase(Data, unwanted);
}

template <typename T, uint8_t Code> std::unique_ptr<TCustomParam> TParamData<T, Code>::Clone() const
{
    std::unique_ptr<TCustomParam> copy = CreateParamByType(Code);
    static_cast<TParamData&>(*copy).Dims = Dims;
    static_cast<TParamData&>(*copy).Data = Data;
    return copy;
}

template class TParamData<int32_t, ptInt>;
template class TParamData<Extended, ptFloat>;
template class TParamData<uint8_t, ptFlag>;
template class TParamData<std::string, ptStr>;

// --- TParamVar ---

TCustomParam* TParamVar::TargetValue() const
{
    std::shared_ptr<TParamCollectionItem> item = Target.lock();
    return item ? item->Value.get() : nullptr;
}

void TParamVar::BindElement(TParamCollection& store, const std::string& arrayName,
                            const std::vector<int32_t>& subscripts)
{
    TParamCollectionItem* item = store.Find(arrayName);
    if (!item) RaiseError(FormatText(Utf8ToCp932("\"%s\" 変数がありません").c_str(), arrayName.c_str()));
    BindElement(*item, arrayName, subscripts);
}

void TParamVar::BindElement(TParamCollectionItem& item, const std::string& arrayName,
                            const std::vector<int32_t>& subscripts)
{
    Target = item.shared_from_this();
    const TCustomParam& array = *item.Value;
    // The message prefix is made only for an error: binding runs for every element an
    // expression touches.
    auto raise = [&](const char* what) {
        std::string prefix = arrayName + "[";
        for (size_t i = 0; i < subscripts.size(); ++i)
            prefix += (i ? "," : "") + IntToStr(subscripts[i]);
        RaiseError(prefix + "]\r\n" + Utf8ToCp932(what));
    };
    if (static_cast<int32_t>(subscripts.size()) != array.GetDimCount()) raise("添え字が不正です");
    int64_t index = 0, weight = 1;
    for (size_t k = subscripts.size(); k-- > 0;) {
        index += int64_t{subscripts[k]} * weight;
        weight *= array.GetDim(static_cast<int32_t>(k));
        // Weights stay within the element cap for any shape the store accepts; guard anyway.
        if (weight > MaxParamElements * 2 || index > MaxParamElements * 4 || index < -MaxParamElements * 4)
            break;
    }
    if (index >= array.GetCount()) raise("要素数を超えています");
    // A negative index is kept; the next element access raises the index error.
    Index = index < INT32_MIN ? INT32_MIN : static_cast<int32_t>(index);
}

thread_local int TForwardGuard::depth_ = 0;

#define RUKO_FORWARD(expr, fallback)                                                                         \
    TForwardGuard guard;                                                                                     \
    if (TCustomParam* target = guard.TooDeep() ? nullptr : TargetValue()) return target->expr;               \
    return fallback;

int32_t TParamVar::GetCount() const
{
    RUKO_FORWARD(GetCount(), 0)
}
void TParamVar::SetCount(int64_t n){RUKO_FORWARD(SetCount(n), void())} uint8_t TParamVar::GetVarType() const
{
    RUKO_FORWARD(GetVarType(), ptVar)
}
bool TParamVar::GetFlag() const {RUKO_FORWARD(GetFlagAt(Index), false)} Extended TParamVar::GetFloat() const {
    RUKO_FORWARD(GetFloatAt(Index), 0)} int32_t TParamVar::GetInt() const {
    RUKO_FORWARD(GetIntAt(Index), 0)} std::string TParamVar::GetStr() const
{
    RUKO_FORWARD(GetStrAt(Index), std::string())
}
void TParamVar::SetFlag(bool b)
{
    RUKO_FORWARD(SetFlagAt(Index, b), void())
}
void TParamVar::SetFloat(Extended x)
{
    RUKO_FORWARD(SetFloatAt(Index, x), void())
}
void TParamVar::SetInt(int32_t n)
{
    RUKO_FORWARD(SetIntAt(Index, n), void())
}
void TParamVar::SetStr(const std::string& s){
    RUKO_FORWARD(SetStrAt(Index, s), void())} int32_t TParamVar::GetIntAt(int32_t i) const
{
    RUKO_FORWARD(GetIntAt(i), 0)
}
void TParamVar::SetIntAt(int32_t i, int32_t n){
    RUKO_FORWARD(SetIntAt(i, n), void())} Extended TParamVar::GetFloatAt(int32_t i) const
{
    RUKO_FORWARD(GetFloatAt(i), 0)
}
void TParamVar::SetFloatAt(int32_t i, Extended x)
{
    RUKO_FORWARD(SetFloatAt(i, x), void())
}
bool TParamVar::GetFlagAt(int32_t i) const
{
    RUKO_FORWARD(GetFlagAt(i), false)
}
void TParamVar::SetFlagAt(int32_t i, bool b){
    RUKO_FORWARD(SetFlagAt(i, b), void())} std::string TParamVar::GetStrAt(int32_t i) const
{
    RUKO_FORWARD(GetStrAt(i), std::string())
}
void TParamVar::SetStrAt(int32_t i, const std::string& s){
    RUKO_FORWARD(SetStrAt(i, s), void())} int32_t TParamVar::GetDimCount() const {
    RUKO_FORWARD(GetDimCount(), 1)} int32_t TParamVar::GetDim(int32_t d) const
{
    RUKO_FORWARD(GetDim(d), 1)
}
void TParamVar::AssignData(const TCustomParam& src)
{
    RUKO_FORWARD(AssignData(src), void())
}
void TParamVar::SetDims(const std::vector<int32_t>& extents)
{
    RUKO_FORWARD(SetDims(extents), void())
}
void TParamVar::FillInt(int32_t n)
{
    RUKO_FORWARD(FillInt(n), void())
}
void TParamVar::FillFloat(Extended x)
{
    RUKO_FORWARD(FillFloat(x), void())
}
void TParamVar::FillFlag(bool b)
{
    RUKO_FORWARD(FillFlag(b), void())
}
void TParamVar::FillStr(const std::string& s)
{
    RUKO_FORWARD(FillStr(s), void())
}
void TParamVar::CopyMem(const TCustomParam& src)
{
    RUKO_FORWARD(CopyMem(src), void())
}
void TParamVar::ResetScalar()
{
    RUKO_FORWARD(ResetScalar(), void())
}
void TParamVar::Unique()
{
    RUKO_FORWARD(Unique(), void())
}
void TParamVar::RemoveValue(const TCustomParam* v){
    RUKO_FORWARD(RemoveValue(v), void())} int32_t TParamVar::IndexOfStr(const std::string& s,
                                                                        bool caseSensitive,
                                                                        bool partial) const
{
    RUKO_FORWARD(IndexOfStr(s, caseSensitive, partial), -1)
}

#undef RUKO_FORWARD

void TParamVar::SaveToStream(TKwBigStream& s) const
{
    TCustomParam::SaveToStream(s);
    WriteStr(s, Name);
    std::shared_ptr<TParamCollectionItem> item = Target.lock();
    WriteStr(s, item ? item->Name() : LoadedTargetName);
    WriteByte(s, Reserved);
    WriteInt(s, Index);
}

void TParamVar::LoadFromStream(TKwBigStream& s)
{
    std::vector<int32_t> dims;
    LoadDims(s, dims);
    std::string name = ReadStr(s);
    std::string targetName = ReadStr(s);
    uint8_t reserved = ReadByte(s);
    int32_t index = ReadInt(s);
    Dims = std::move(dims);
    Name = std::move(name);
    LoadedTargetName = std::move(targetName);
    Target.reset();
    Reserved = reserved;
    Index = index;
}

std::unique_ptr<TCustomParam> TParamVar::Clone() const
{
    auto copy = std::make_unique<TParamVar>();
    copy->Dims = Dims;
    copy->Name = Name;
    copy->Target = Target;
    copy->Reserved = Reserved;
    copy->Index = Index;
    copy->LoadedTargetName = LoadedTargetName;
    return copy;
}

std::string DescribeValue(const TCustomParam* value)
{
    if (!value) return "none";
    switch (value->GetVarType()) {
    case ptInt:
        return "int " + IntToStr(value->GetInt());
    case ptFloat:
        return "real " + FloatToStr(value->GetFloat());
    case ptFlag:
        return std::string("flag ") + (value->GetFlag() ? "TRUE" : "FALSE");
    case ptStr:
        return "string " + Cp932ToUtf8(value->GetStr());
    default:
        return "none";
    }
}

} // namespace ruko
