#include "records/dbtable.h"

#include "base/numtext.h"
#include "base/text.h"
#include "io/fields.h"
#include "params/param.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace ruko {

namespace {

uint32_t FieldSize(int32_t type, int32_t length)
{
    switch (type) {
    case ftInt:
        return 4;
    case ftFloat:
        return ExtendedSize;
    case ftBool:
        return 1;
    default:
        return static_cast<uint32_t>(length) + 1;
    }
}

// A table real as an integer: nearest, halves to even; what has no integer value gives 0.
int32_t RealToInt(Extended x)
{
    return TruncToInt32(RoundHalfEven(x));
}

const char* BoolText(bool b)
{
    return b ? "TRUE" : "FALSE";
}

int32_t LoadI32(const uint8_t* p)
{
    uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    return static_cast<int32_t>(v);
}

void StoreI32(uint8_t* p, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string_view FieldText(const uint8_t* p, uint32_t size)
{
    const char* text = reinterpret_cast<const char*>(p);
    return std::string_view(text, strnlen(text, size));
}

// Longest prefix of `text` of at most `limit` bytes that ends on a character boundary.
size_t CutAtCharacter(std::string_view text, size_t limit)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = pos + CharLength(text, pos);
        if (next > limit) break;
        pos = next;
    }
    return pos;
}

// Orders two fields of one type: <0, 0, >0.
int CompareFields(uint8_t type, const uint8_t* a, const uint8_t* b, uint32_t size)
{
    switch (type) {
    case ftInt: {
        const int32_t x = LoadI32(a), y = LoadI32(b);
        return (x > y) - (x < y);
    }
    case ftFloat: {
        const Extended x = DecodeExtended(a), y = DecodeExtended(b);
        const bool xNan = x != x, yNan = y != y;
        if (xNan || yNan) return static_cast<int>(xNan) - static_cast<int>(yNan);
        return (x > y) - (x < y);
    }
    case ftBool:
        return static_cast<int>(a[0] != 0) - static_cast<int>(b[0] != 0);
    default:
        return FieldText(a, size).compare(FieldText(b, size)); // bytes unsigned, prefix first
    }
}

} // namespace

// --- TDBFieldList ---

int32_t TDBFieldList::AddField(const std::string& name, int32_t type, int32_t length)
{
    if (Count() >= MaxDBFields || type < ftInt || type > ftString || IndexOf(name) >= 0) return -1;
    if (type == ftString && (length < 0 || length > MaxDBStringLength)) return -1;
    const uint32_t size = FieldSize(type, length);
    const uint64_t grown = uint64_t{recordSize_} + size;
    if (grown > MaxDBRecordSize ||
        (table_ && (grown + DBRowCost) * uint64_t(table_->RecordCount()) > MaxDBTableBytes))
        return -1;
    if (table_) table_->FieldAdded(static_cast<uint8_t>(type), size);
    Append(TDBField{size, name, static_cast<uint8_t>(type)});
    return Count() - 1;
}

void TDBFieldList::Append(TDBField field)
{
    offsets_.push_back(recordSize_);
    recordSize_ += field.Size;
    fields_.push_back(std::move(field));
}

int32_t TDBFieldList::IndexOf(std::string_view name) const
{
    for (size_t i = 0; i < fields_.size(); ++i)
        if (SameText(fields_[i].Name, name)) return static_cast<int32_t>(i);
    return -1;
}

bool TDBFieldList::SameAs(const TDBFieldList& other) const
{
    if (fields_.size() != other.fields_.size()) return false;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const TDBField &a = fields_[i], &b = other.fields_[i];
        if (a.Name != b.Name || a.FieldType != b.FieldType || a.Size != b.Size) return false;
    }
    return true;
}

void TDBFieldList::AssignFrom(const TDBFieldList& other)
{
    if (&other == this) return;
    Clear();
    for (const TDBField& f : other.fields_)
        AddField(f.Name, f.FieldType, static_cast<int32_t>(f.Size) - 1);
}

void TDBFieldList::Clear()
{
    fields_.clear();
    offsets_.clear();
    recordSize_ = 0;
}

// --- TDBCustomTable: the current record by field name ---

bool TDBCustomTable::GetIntByName(std::string_view name, int32_t& value)
{
    return GetInt(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::SetIntByName(std::string_view name, int32_t value)
{
    return SetInt(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::GetFloatByName(std::string_view name, Extended& value)
{
    return GetFloat(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::SetFloatByName(std::string_view name, Extended value)
{
    return SetFloat(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::GetBoolByName(std::string_view name, bool& value)
{
    return GetBool(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::SetBoolByName(std::string_view name, bool value)
{
    return SetBool(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::GetStrByName(std::string_view name, std::string& value)
{
    return GetStr(GetRecNo(), Fields.IndexOf(name), value);
}
bool TDBCustomTable::SetStrByName(std::string_view name, const std::string& value)
{
    return SetStr(GetRecNo(), Fields.IndexOf(name), value);
}

// --- TDBTable: records ---

uint8_t* TDBTable::RecordAt(int32_t i)
{
    if (i < 0 || i >= count_) return nullptr;
    return records_.data() + static_cast<size_t>(i) * Fields.RecordSize();
}

void TDBTable::FieldAdded(uint8_t, uint32_t bytes)
{
    if (count_ == 0 || bytes == 0) return;
    const size_t oldSize = Fields.RecordSize(), newSize = oldSize + bytes;
    std::vector<uint8_t> grown(static_cast<size_t>(count_) * newSize, 0);
    for (size_t r = 0; r < static_cast<size_t>(count_); ++r)
        std::memcpy(grown.data() + r * newSize, records_.data() + r * oldSize, oldSize);
    records_ = std::move(grown);
}

bool TDBTable::Append()
{
    if (count_ == INT32_MAX ||
        (uint64_t{Fields.RecordSize()} + DBRowCost) * (uint64_t(count_) + 1) > MaxDBTableBytes)
        return false;
    records_.resize(records_.size() + Fields.RecordSize(), 0);
    RecNo = count_++;
    return true;
}

bool TDBTable::Delete()
{
    if (RecNo < 0 || RecNo >= count_) return false;
    const size_t size = Fields.RecordSize();
    auto begin = records_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(RecNo) * size);
    records_.erase(begin, begin + static_cast<std::ptrdiff_t>(size));
    --count_;
    if (RecNo >= count_) RecNo = count_ - 1;
    return true;
}

bool TDBTable::First()
{
    return count_ > 0 && SetRecNo(0);
}

bool TDBTable::Last()
{
    return count_ > 0 && SetRecNo(count_ - 1);
}

bool TDBTable::Next()
{
    if (RecNo < 0 || RecNo >= count_ - 1) return false;
    ++RecNo;
    return true;
}

bool TDBTable::Prior()
{
    if (RecNo <= 0) return false;
    --RecNo;
    return true;
}

bool TDBTable::SetRecNo(int32_t i)
{
    if (i < 0) {
        RecNo = -1;
        return true;
    }
    if (i >= count_) return false;
    RecNo = i;
    return true;
}

void TDBTable::Clear()
{
    ClearRecords();
    Fields.Clear();
}

void TDBTable::ClearRecords()
{
    records_.clear();
    records_.shrink_to_fit();
    count_ = 0;
    RecNo = -1;
}

// --- TDBTable: typed access ---

bool TDBTable::Valid(int32_t record, int32_t field) const
{
    return record >= 0 && record < count_ && field >= 0 && field < Fields.Count();
}

uint8_t* TDBTable::FieldAt(int32_t record, int32_t field)
{
    return RecordAt(record) + Fields.Offset(field);
}

bool TDBTable::GetInt(int32_t record, int32_t field, int32_t& value)
{
    if (!Valid(record, field)) return false;
    const uint8_t* p = FieldAt(record, field);
    const TDBField& f = Fields[field];
    switch (f.FieldType) {
    case ftInt:
        value = LoadI32(p);
        break;
    case ftFloat:
        value = RealToInt(DecodeExtended(p));
        break;
    case ftBool:
        value = p[0] != 0;
        break;
    default:
        value = StrToIntDef(FieldText(p, f.Size), 0);
        break;
    }
    return true;
}

bool TDBTable::GetFloat(int32_t record, int32_t field, Extended& value)
{
    if (!Valid(record, field)) return false;
    const uint8_t* p = FieldAt(record, field);
    const TDBField& f = Fields[field];
    switch (f.FieldType) {
    case ftInt:
        value = LoadI32(p);
        break;
    case ftFloat:
        value = DecodeExtended(p);
        break;
    case ftBool:
        value = p[0] != 0 ? 1 : 0;
        break;
    default:
        value = StrToFloatDef(FieldText(p, f.Size), 0);
        break;
    }
    return true;
}

bool TDBTable::GetBool(int32_t record, int32_t field, bool& value)
{
    if (!Valid(record, field)) return false;
    const uint8_t* p = FieldAt(record, field);
    const TDBField& f = Fields[field];
    switch (f.FieldType) {
    case ftInt:
        value = LoadI32(p) != 0;
        break;
    case ftFloat:
        value = DecodeExtended(p) != 0;
        break;
    case ftBool:
        value = p[0] != 0;
        break;
    default:
        value = FieldText(p, f.Size) == "TRUE";
        break;
    }
    return true;
}

bool TDBTable::GetStr(int32_t record, int32_t field, std::string& value)
{
    if (!Valid(record, field)) return false;
    const uint8_t* p = FieldAt(record, field);
    const TDBField& f = Fields[field];
    switch (f.FieldType) {
    case ftInt:
        value = IntToStr(LoadI32(p));
        break;
    case ftFloat:
        value = FloatToStr(DecodeExtended(p));
        break;
    case ftBool:
        value = BoolText(p[0] != 0);
        break;
    default:
        value = std::string(FieldText(p, f.Size));
        break;
    }
    return true;
}

template <typename MakeText>
bool TDBTable::StoreNumber(int32_t record, int32_t field, int32_t asInt, Extended asFloat, bool asBool,
                           MakeText text)
{
    if (!Valid(record, field)) return false;
    uint8_t* p = FieldAt(record, field);
    switch (Fields[field].FieldType) {
    case ftInt:
        StoreI32(p, asInt);
        return true;
    case ftFloat:
        EncodeExtended(asFloat, p);
        return true;
    case ftBool:
        p[0] = asBool;
        return true;
    default:
        return SetStr(record, field, text());
    }
}

bool TDBTable::SetInt(int32_t record, int32_t field, int32_t value)
{
    return StoreNumber(record, field, value, value, value != 0, [value] { return IntToStr(value); });
}

bool TDBTable::SetFloat(int32_t record, int32_t field, Extended value)
{
    return StoreNumber(record, field, RealToInt(value), value, value != 0,
                       [value] { return FloatToStr(value); });
}

bool TDBTable::SetBool(int32_t record, int32_t field, bool value)
{
    return StoreNumber(record, field, value ? 1 : 0, value ? 1 : 0, value,
                       [value] { return std::string(BoolText(value)); });
}

bool TDBTable::SetStr(int32_t record, int32_t field, const std::string& value)
{
    if (!Valid(record, field)) return false;
    uint8_t* p = FieldAt(record, field);
    const TDBField& f = Fields[field];
    switch (f.FieldType) {
    case ftInt:
        StoreI32(p, StrToIntDef(value, 0));
        return true;
    case ftFloat:
        EncodeExtended(StrToFloatDef(value, 0), p);
        return true;
    case ftBool:
        p[0] = value == "TRUE";
        return true;
    default: {
        // A cut never splits a double-byte character: its lead byte would swallow the next byte.
        const size_t n = CutAtCharacter(value, f.Size - 1);
        std::memcpy(p, value.data(), n);
        std::memset(p + n, 0, f.Size - n);
        return true;
    }
    }
}

// --- TDBTable: searching and sorting ---

void TDBTable::Select(std::vector<int32_t>& result, const TCustomParam* names, const TCustomParam* values,
                      bool ignoreCase, bool partial)
{
    const int32_t criteria = names && values ? std::min(names->GetCount(), values->GetCount()) : 0;
    if (criteria <= 0) {
        for (int32_t r = 0; r < count_; ++r)
            result.push_back(r);
        return;
    }
    const uint8_t kind = values->GetVarType();
    if (kind < ptInt || kind > ptStr) return;
    std::vector<int32_t> fields(static_cast<size_t>(criteria));
    for (int32_t i = 0; i < criteria; ++i)
        fields[static_cast<size_t>(i)] = Fields.IndexOf(names->GetStrAt(i));
    for (int32_t r = 0; r < count_; ++r) {
        bool match = true;
        for (int32_t i = 0; i < criteria && match; ++i) {
            const int32_t field = fields[static_cast<size_t>(i)];
            if (field < 0) return; // a name that is no field ends the whole selection
            switch (kind) {
            case ptInt: {
                int32_t v = 0;
                GetInt(r, field, v);
                match = v == values->GetIntAt(i);
                break;
            }
            case ptFloat: {
                Extended v = 0;
                GetFloat(r, field, v);
                match = v == values->GetFloatAt(i);
                break;
            }
            case ptFlag: {
                bool v = false;
                GetBool(r, field, v);
                match = v == values->GetFlagAt(i);
                break;
            }
            default: {
                std::string text;
                GetStr(r, field, text);
                const std::string wanted = values->GetStrAt(i);
                if (!partial)
                    match = ignoreCase ? SameText(text, wanted) : text == wanted;
                else if (text.empty())
                    match = false;
                else if (ignoreCase)
                    match = UpperCaseText(wanted).find(UpperCaseText(text)) != std::string::npos;
                else
                    match = wanted.find(text) != std::string::npos;
                break;
            }
            }
        }
        if (match) result.push_back(r);
    }
}

void TDBTable::Sort(const TCustomParam& names, const TCustomParam& descending)
{
    struct TKey
    {
        int32_t Field;
        bool Descending;
    };
    std::vector<TKey> keys;
    const int32_t n = std::min(names.GetCount(), descending.GetCount());
    for (int32_t i = 0; i < n; ++i) {
        const int32_t field = Fields.IndexOf(names.GetStrAt(i));
        if (field >= 0) keys.push_back({field, descending.GetFlagAt(i)});
    }
    if (keys.empty() || count_ < 2) return;

    const size_t size = Fields.RecordSize();
    std::vector<int32_t> order(static_cast<size_t>(count_));
    std::iota(order.begin(), order.end(), 0);
    const uint8_t* base = records_.data();
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        for (const TKey& key : keys) {
            const TDBField& f = Fields[key.Field];
            const uint32_t offset = Fields.Offset(key.Field);
            int c = CompareFields(f.FieldType, base + static_cast<size_t>(a) * size + offset,
                                  base + static_cast<size_t>(b) * size + offset, f.Size);
            if (c != 0) return key.Descending ? c > 0 : c < 0;
        }
        return false;
    });
    std::vector<uint8_t> sorted(records_.size());
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(sorted.data() + i * size, base + static_cast<size_t>(order[i]) * size, size);
    records_ = std::move(sorted);
}

// --- TDBTable: the stream form ---

void TDBTable::SaveToStream(TKwBigStream& s) const
{
    WriteStr(s, Name);
    WriteByte(s, Persistent);
    WriteU32(s, static_cast<uint32_t>(Fields.Count()));
    for (int32_t i = 0; i < Fields.Count(); ++i) {
        WriteU32(s, Fields[i].Size);
        WriteStr(s, Fields[i].Name);
        WriteByte(s, Fields[i].FieldType);
    }
    WriteU32(s, static_cast<uint32_t>(count_));
    WriteExact(s, records_.data(), static_cast<int64_t>(records_.size()));
    WriteInt(s, RecNo);
}

void TDBTable::LoadFromStream(TKwBigStream& s, uint32_t)
{
    constexpr int64_t FieldBytes = 4 + 4 + 1;
    std::string name = ReadStr(s);
    const uint8_t persistent = ReadByte(s);
    const uint32_t fieldCount = ReadU32(s);
    CheckCount(s, fieldCount, FieldBytes);
    if (fieldCount > uint32_t{MaxDBFields}) RaiseDamaged();
    TDBFieldList fields(nullptr);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        TDBField f;
        f.Size = ReadU32(s);
        f.Name = ReadStr(s);
        f.FieldType = ReadByte(s);
        if (f.FieldType < ftInt || f.FieldType > ftString) RaiseDamaged();
        const bool sized = f.FieldType == ftString ? f.Size >= 1 && f.Size <= uint32_t{MaxDBStringLength} + 1
                                                   : f.Size == FieldSize(f.FieldType, 0);
        if (!sized || fields.IndexOf(f.Name) >= 0) RaiseDamaged();
        if (uint64_t{fields.RecordSize()} + f.Size > MaxDBRecordSize) RaiseDamaged();
        fields.Append(std::move(f));
    }
    const uint32_t count = ReadU32(s);
    if (count > uint32_t{INT32_MAX}) RaiseDamaged();
    const uint64_t bytes = uint64_t{count} * fields.RecordSize();
    if (bytes > static_cast<uint64_t>(s.Remaining()) ||
        uint64_t{count} * (fields.RecordSize() + DBRowCost) > MaxDBTableBytes)
        RaiseDamaged();
    std::vector<uint8_t> records(static_cast<size_t>(bytes));
    ReadExact(s, records.data(), static_cast<int64_t>(bytes));
    const int32_t recNo = ReadInt(s);
    if (recNo < -1 || recNo >= static_cast<int64_t>(count)) RaiseDamaged();
    for (int32_t i = 0; i < fields.Count(); ++i) {
        if (fields[i].FieldType != ftString) continue;
        for (uint32_t r = 0; r < count; ++r) {
            const uint8_t* p = records.data() + size_t{r} * fields.RecordSize() + fields.Offset(i);
            if (!std::memchr(p, 0, fields[i].Size)) RaiseDamaged();
        }
    }

    Name = std::move(name);
    Persistent = persistent;
    Fields.fields_ = std::move(fields.fields_);
    Fields.offsets_ = std::move(fields.offsets_);
    Fields.recordSize_ = fields.recordSize_;
    records_ = std::move(records);
    count_ = static_cast<int32_t>(count);
    RecNo = recNo;
}

} // namespace ruko
