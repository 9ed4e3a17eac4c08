#pragma once
// Typed script values. A value is a vector of elements of one kind, optionally shaped as a
// multi-dimensional array, or a reference to one element of another variable. Every operation is
// defined for every kind: reads and writes convert between kinds on the fly, so expression code
// never needs to know what it is holding.
#include "base/numbers.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TKwBigStream;
class TParamCollection;
class TParamCollectionItem;

// The one-byte type code, also stored in streams and answered by GetVarType.
enum TParamType : uint8_t
{
    ptVar = 0,
    ptInt = 1,
    ptFloat = 2,
    ptFlag = 3,
    ptStr = 4,
};

// Element cap of one value: shapes and counts beyond it raise the extent error instead of
// exhausting memory (extents come from scripts and from save data).
constexpr int64_t MaxParamElements = int64_t{1} << 24;

class TCustomParam
{
  public:
    virtual ~TCustomParam() = default;

    // The class behind the value: ptInt..ptStr for plain elements, ptVar for a reference,
    // OtherStorage for anything else. Lets the evaluator's hot paths skip virtual calls.
    static constexpr uint8_t OtherStorage = 0xFF;
    uint8_t StorageKind() const { return storage_; }

    // Extents of a shaped value; empty for a scalar or an unshaped vector.
    std::vector<int32_t> Dims;

    virtual int32_t GetCount() const { return 1; }
    // New elements get the zero value; Dims is left alone. Counts above MaxParamElements raise.
    virtual void SetCount(int64_t) {}
    virtual uint8_t GetVarType() const { return ptInt; }

    // Element 0 converted; an empty value reads as the zero value.
    virtual bool GetFlag() const { return false; }
    virtual Extended GetFloat() const { return 0; }
    virtual int32_t GetInt() const { return 0; }
    virtual std::string GetStr() const { return std::string(); }
    // ResetScalar, then store into element 0 (an empty value grows to one element).
    virtual void SetFlag(bool) {}
    virtual void SetFloat(Extended) {}
    virtual void SetInt(int32_t) {}
    virtual void SetStr(const std::string&) {}

    // Element i; outside 0..count-1 raises "[%d]:配列の添字が不正です".
    virtual int32_t GetIntAt(int32_t) const { return 0; }
    virtual void SetIntAt(int32_t, int32_t) {}
    virtual Extended GetFloatAt(int32_t) const { return 0; }
    virtual void SetFloatAt(int32_t, Extended) {}
    virtual bool GetFlagAt(int32_t) const { return false; }
    virtual void SetFlagAt(int32_t, bool) {}
    virtual std::string GetStrAt(int32_t) const { return std::string(); }
    virtual void SetStrAt(int32_t, const std::string&) {}

    // Length of Dims, or 1 when unshaped; GetDim answers 1 outside Dims.
    virtual int32_t GetDimCount() const;
    virtual int32_t GetDim(int32_t d) const;
    // Same class only (callers guarantee it): Dims and the whole element vector.
    virtual void AssignData(const TCustomParam& src) { Dims = src.Dims; }
    // Every extent must be > 0 and the product within MaxParamElements, else
    // "配列の要素数[%s]が不正です" with the extents joined by ",".
    virtual void SetDims(const std::vector<int32_t>& extents);
    virtual void FillInt(int32_t) {}
    virtual void FillFloat(Extended) {}
    virtual void FillFlag(bool) {}
    virtual void FillStr(const std::string&) {}
    // Same class required, else "CopyMem:変数の型があいません".
    virtual void CopyMem(const TCustomParam& src);
    virtual void SaveToStream(TKwBigStream& s) const;
    // Untrusted input: counts are checked against the bytes left; the value is unchanged on failure.
    virtual void LoadFromStream(TKwBigStream& s);
    virtual void ResetScalar() {}
    virtual void Unique() {}
    // Drops every element equal to v's value by this value's kind (a missing v is the zero value).
    virtual void RemoveValue(const TCustomParam*) {}
    virtual int32_t IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const;

    // A new value of the same class holding a deep copy (a reference copies its binding).
    virtual std::unique_ptr<TCustomParam> Clone() const = 0;

  protected:
    explicit TCustomParam(uint8_t storage = OtherStorage) : storage_(storage) {}
    TCustomParam(const TCustomParam&) = default;
    TCustomParam& operator=(const TCustomParam&) = default;
    void LoadDims(TKwBigStream& s, std::vector<int32_t>& dims) const;

  private:
    uint8_t storage_;
};

// Forwarding (a reference to a reference, "@Temp", "@Result") is followed this deep at most, so a
// chain that loops back on itself (save data can describe one) reads as empty instead of recursing
// without end.
class TForwardGuard
{
  public:
    TForwardGuard() { ++depth_; }
    ~TForwardGuard() { --depth_; }
    TForwardGuard(const TForwardGuard&) = delete;
    TForwardGuard& operator=(const TForwardGuard&) = delete;
    bool TooDeep() const { return depth_ > MaxForwardDepth; }

    static constexpr int MaxForwardDepth = 64;

  private:
    static thread_local int depth_;
};

// Raises "[%d]:配列の添字が不正です".
[[noreturn]] void RaiseIndexError(int32_t index);

// Kinds 1..4 make the element classes, 0 a TParamVar; only the low seven bits count. Any other
// code gives null.
std::unique_ptr<TCustomParam> CreateParamByType(uint8_t code);

// Element storage of one kind; T is int32_t, Extended, uint8_t (flag) or std::string.
template <typename T, uint8_t Code> class TParamData : public TCustomParam
{
  public:
    TParamData() : TCustomParam(Code) {}

    std::vector<T> Data{T()};

    // Element 0 as every scalar setter writes it: the shape dropped first, an empty value grown
    // to one element.
    T& Scalar()
    {
        if (!Dims.empty()) {
            Dims.clear();
            Data.resize(1);
        }
        if (Data.empty()) Data.resize(1);
        return Data[0];
    }

    int32_t GetCount() const override { return static_cast<int32_t>(Data.size()); }
    void SetCount(int64_t n) override;
    uint8_t GetVarType() const override { return Code; }

    bool GetFlag() const override;
    Extended GetFloat() const override;
    int32_t GetInt() const override;
    std::string GetStr() const override;
    void SetFlag(bool b) override;
    void SetFloat(Extended x) override;
    void SetInt(int32_t n) override;
    void SetStr(const std::string& s) override;

    int32_t GetIntAt(int32_t i) const override;
    void SetIntAt(int32_t i, int32_t n) override;
    Extended GetFloatAt(int32_t i) const override;
    void SetFloatAt(int32_t i, Extended x) override;
    bool GetFlagAt(int32_t i) const override;
    void SetFlagAt(int32_t i, bool b) override;
    std::string GetStrAt(int32_t i) const override;
    void SetStrAt(int32_t i, const std::string& s) override;

    void AssignData(const TCustomParam& src) override;
    void FillInt(int32_t n) override;
    void FillFloat(Extended x) override;
    void FillFlag(bool b) override;
    void FillStr(const std::string& s) override;
    void CopyMem(const TCustomParam& src) override;
    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s) override;
    void ResetScalar() override;
    void Unique() override;
    void RemoveValue(const TCustomParam* v) override;
    std::unique_ptr<TCustomParam> Clone() const override;

  protected:
    const T& At(int32_t i) const;
    T& At(int32_t i);
};

class TParamInt final : public TParamData<int32_t, ptInt>
{
};
class TParamFloat final : public TParamData<Extended, ptFloat>
{
};
class TParamFlag final : public TParamData<uint8_t, ptFlag>
{
};
class TParamStr final : public TParamData<std::string, ptStr>
{
};

extern template class TParamData<int32_t, ptInt>;
extern template class TParamData<Extended, ptFloat>;
extern template class TParamData<uint8_t, ptFlag>;
extern template class TParamData<std::string, ptStr>;

// A reference to element Index of another variable. The scalar getters and setters become the
// element operations at Index; everything else is forwarded unchanged. The target is held weakly,
// so a freed variable leaves an empty reference (zero values, writes ignored), never a dangling one.
class TParamVar final : public TCustomParam
{
  public:
    TParamVar() : TCustomParam(ptVar) {}

    std::string Name; // the name the reference was written under in an expression operand
    std::weak_ptr<TParamCollectionItem> Target;
    uint8_t Reserved = 0; // carried through saves, not interpreted
    int32_t Index = 0;
    // Set by LoadFromStream; the loader resolves it with Find once the whole load has succeeded.
    std::string LoadedTargetName;

    TCustomParam* TargetValue() const;
    // Binds to an element of the variable `arrayName` (row-major subscripts, last varies fastest).
    // Errors: name[subs] + "\r\n" + "添え字が不正です" / "要素数を超えています"; "\"%s\" 変数がありません"
    // when the array does not exist.
    void BindElement(TParamCollection& store, const std::string& arrayName,
                     const std::vector<int32_t>& subscripts);
    // The same with the array's item already found.
    void BindElement(TParamCollectionItem& array, const std::string& arrayName,
                     const std::vector<int32_t>& subscripts);

    int32_t GetCount() const override;
    void SetCount(int64_t n) override;
    uint8_t GetVarType() const override;
    bool GetFlag() const override;
    Extended GetFloat() const override;
    int32_t GetInt() const override;
    std::string GetStr() const override;
    void SetFlag(bool b) override;
    void SetFloat(Extended x) override;
    void SetInt(int32_t n) override;
    void SetStr(const std::string& s) override;
    int32_t GetIntAt(int32_t i) const override;
    void SetIntAt(int32_t i, int32_t n) override;
    Extended GetFloatAt(int32_t i) const override;
    void SetFloatAt(int32_t i, Extended x) override;
    bool GetFlagAt(int32_t i) const override;
    void SetFlagAt(int32_t i, bool b) override;
    std::string GetStrAt(int32_t i) const override;
    void SetStrAt(int32_t i, const std::string& s) override;
    int32_t GetDimCount() const override;
    int32_t GetDim(int32_t d) const override;
    void AssignData(const TCustomParam& src) override;
    void SetDims(const std::vector<int32_t>& extents) override;
    void FillInt(int32_t n) override;
    void FillFloat(Extended x) override;
    void FillFlag(bool b) override;
    void FillStr(const std::string& s) override;
    void CopyMem(const TCustomParam& src) override;
    // Name, target name (empty without target), Reserved, Index.
    void SaveToStream(TKwBigStream& s) const override;
    void LoadFromStream(TKwBigStream& s) override;
    void ResetScalar() override;
    void Unique() override;
    void RemoveValue(const TCustomParam* v) override;
    int32_t IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const override;
    std::unique_ptr<TCustomParam> Clone() const override;
};

// A fresh value of kind `code` (1..4) holding src's shape and elements converted element by
// element. Used for snapshots of values whose class differs from their kind (system variables,
// references).
std::unique_ptr<TCustomParam> CopyAsKind(const TCustomParam& src, uint8_t code);

// A value as one line "<kind> <value>" (kind int, real, flag or string; "none" for no value),
// strings as UTF-8: how the tools and tests show an expression's Result.
std::string DescribeValue(const TCustomParam* value);

} // namespace ruko
