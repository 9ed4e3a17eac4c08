#pragma once
// Data tables: typed fields and fixed-size records that scripts fill through the DB… functions.
// A record is held as the byte image it has in a saved game (ints little-endian, reals as 10-byte
// extended values, bools as one byte, strings zero-terminated in their declared length + 1), so a
// save writes and a load reads the records as they are. No table operation raises: every failure
// is a false, 0, -1 or empty answer. Only the stream loaders raise, on damaged bytes.
#include "base/numbers.h"
#include "io/bigstream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TCustomParam;
class TDBCustomTable;

enum TDBFieldType : uint8_t
{
    ftInt = 1,
    ftFloat = 2,
    ftBool = 3,
    ftString = 4,
};

// Longest declared string length; a longer (or negative) one is refused by AddField.
constexpr int32_t MaxDBStringLength = 65535;
// Bounds on a record's bytes and on all records of a table, so a short table file of wide string
// fields and many rows cannot claim gigabytes: AddField and Append refuse beyond them.
constexpr uint32_t MaxDBRecordSize = uint32_t{1} << 20;
constexpr uint64_t MaxDBTableBytes = uint64_t{1} << 27;
// Every row also costs its place in the row lists that searches and copies make, so rows of few
// or no field bytes are bounded too.
constexpr uint64_t DBRowCost = sizeof(int32_t);
// Field names are found by a scan: a bound keeps a damaged file of a million tiny fields from
// taking hours to refuse.
constexpr int32_t MaxDBFields = 4096;

struct TDBField
{
    uint32_t Size = 0; // bytes the field takes in a record
    std::string Name;
    uint8_t FieldType = ftInt;
};

// The columns of a table, in order, with the offset of each in a record.
class TDBFieldList
{
  public:
    explicit TDBFieldList(TDBCustomTable* table) : table_(table) {}

    // Index of the new field, or -1 for a duplicate name (ignoring case), a type outside 1..4, a
    // string length outside 0..MaxDBStringLength, or records that would grow past the bounds above.
    // `length` counts only for strings.
    int32_t AddField(const std::string& name, int32_t type, int32_t length);
    int32_t IndexOf(std::string_view name) const;
    // Same fields in the same order: names equal case-sensitively, same types and sizes.
    bool SameAs(const TDBFieldList& other) const;
    void AssignFrom(const TDBFieldList& other);
    void Clear();

    int32_t Count() const { return static_cast<int32_t>(fields_.size()); }
    const TDBField& operator[](int32_t i) const { return fields_[static_cast<size_t>(i)]; }
    uint32_t Offset(int32_t i) const { return offsets_[static_cast<size_t>(i)]; }
    uint32_t RecordSize() const { return recordSize_; }

  private:
    friend class TDBTable;
    void Append(TDBField field);

    TDBCustomTable* table_;
    std::vector<TDBField> fields_;
    std::vector<uint32_t> offsets_;
    uint32_t recordSize_ = 0;
};

class TDBCustomTable
{
  public:
    TDBCustomTable() : Fields(this) {}
    virtual ~TDBCustomTable() = default;
    TDBCustomTable(const TDBCustomTable&) = delete;
    TDBCustomTable& operator=(const TDBCustomTable&) = delete;

    TDBFieldList Fields;
    std::string Name;
    uint8_t Persistent = 0;

    virtual uint8_t TableKind() const { return 0; }
    virtual int32_t RecordCount() const { return 0; }
    virtual int32_t GetRecNo() const { return -1; }
    virtual uint8_t* CurrentRecord() { return nullptr; }
    virtual uint8_t* RecordAt(int32_t) { return nullptr; }
    // Grows every record by `bytes` zero bytes; called before the field joins the list.
    virtual void FieldAdded(uint8_t, uint32_t) {}
    // Adds a zero-filled record and makes it current; false only at the bounds above.
    virtual bool Append() { return false; }
    virtual bool Delete() { return false; }
    virtual bool First() { return false; }
    virtual bool Last() { return false; }
    virtual bool Next() { return false; }
    virtual bool Prior() { return false; }
    virtual bool SetRecNo(int32_t) { return false; }

    // The current record's field found by name.
    bool GetIntByName(std::string_view name, int32_t& value);
    bool SetIntByName(std::string_view name, int32_t value);
    bool GetFloatByName(std::string_view name, Extended& value);
    bool SetFloatByName(std::string_view name, Extended value);
    bool GetBoolByName(std::string_view name, bool& value);
    bool SetBoolByName(std::string_view name, bool value);
    bool GetStrByName(std::string_view name, std::string& value);
    bool SetStrByName(std::string_view name, const std::string& value);

    // Field `field` of record `record`, converted to and from the requested kind; false (and
    // nothing changed) when either index is out of range.
    virtual bool GetInt(int32_t, int32_t, int32_t&) { return false; }
    virtual bool SetInt(int32_t, int32_t, int32_t) { return false; }
    virtual bool GetFloat(int32_t, int32_t, Extended&) { return false; }
    virtual bool SetFloat(int32_t, int32_t, Extended) { return false; }
    virtual bool GetBool(int32_t, int32_t, bool&) { return false; }
    virtual bool SetBool(int32_t, int32_t, bool) { return false; }
    virtual bool GetStr(int32_t, int32_t, std::string&) { return false; }
    virtual bool SetStr(int32_t, int32_t, const std::string&) { return false; }

    // Appends the indexes of the matching records, ascending. `names` and `values` are lists
    // read element by element; null means absent (every record matches).
    virtual void Select(std::vector<int32_t>&, const TCustomParam*, const TCustomParam*, bool, bool) {}
    virtual bool LoadFromStrings(const std::vector<std::string>&) { return false; }
    virtual void Clear() { Fields.Clear(); }
    virtual void ClearRecords() {}
    virtual void SaveToStream(TKwBigStream&) const {}
    // Reads a table record written by SaveToStream; raises the damaged-file error and leaves the
    // table as it was when the bytes do not make a sound table.
    virtual void LoadFromStream(TKwBigStream&, uint32_t) {}
    virtual void Sort(const TCustomParam&, const TCustomParam&) {}
};

class TDBTable final : public TDBCustomTable
{
  public:
    int32_t RecordCount() const override { return count_; }
    int32_t GetRecNo() const override { return RecNo; }
    uint8_t* CurrentRecord() override { return RecordAt(RecNo); }
    uint8_t* RecordAt(int32_t i) override;
    void FieldAdded(uint8_t type, uint32_t bytes) override;
    bool Append() override;
    bool Delete() override;
    bool First() override;
    bool Last() override;
    bool Next() override;
    bool Prior() override;
    bool SetRecNo(int32_t i) override;

    bool GetInt(int32_t record, int32_t field, int32_t& value) override;
    bool SetInt(int32_t record, int32_t field, int32_t value) override;
    bool GetFloat(int32_t record, int32_t field, Extended& value) override;
    bool SetFloat(int32_t record, int32_t field, Extended value) override;
    bool GetBool(int32_t record, int32_t field, bool& value) override;
    bool SetBool(int32_t record, int32_t field, bool value) override;
    bool GetStr(int32_t record, int32_t field, std::string& value) override;
    bool SetStr(int32_t record, int32_t field, const std::string& value) override;

    void Select(std::vector<int32_t>& result, const TCustomParam* names, const TCustomParam* values,
                bool ignoreCase, bool partial) override;
    bool LoadFromStrings(const std::vector<std::string>& lines) override;
    void Clear() override;
    void ClearRecords() override;
    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s, uint32_t version) override;
    // Stable: records equal on every key keep their order. NaN sorts above every number.
    void Sort(const TCustomParam& names, const TCustomParam& descending) override;

    int32_t RecNo = -1;

  private:
    bool Valid(int32_t record, int32_t field) const;
    uint8_t* FieldAt(int32_t record, int32_t field);
    // Writes a number given in the form each numeric field type takes; a string field gets text().
    template <typename MakeText>
    bool StoreNumber(int32_t record, int32_t field, int32_t asInt, Extended asFloat, bool asBool,
                     MakeText text);

    std::vector<uint8_t> records_; // count_ records of RecordSize bytes, one after the other
    int32_t count_ = 0;
};

} // namespace ruko
