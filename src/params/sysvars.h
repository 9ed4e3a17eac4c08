#pragma once
// The 51 system variables ("@" names): the running player seen as variables. They are the first
// 51 items of every store and are never saved, loaded, cleared, pushed or popped. The store keeps
// the few values it owns (message speed, cursor, selection, "@Temp"); everything else is asked of
// a TSystemHost that the engine installs.
#include "params/param.h"

#include <cstdint>
#include <string>

namespace ruko {

constexpr int SystemVariableCount = 51;

// Rows with a meaning outside the plain table.
enum TSystemRow : uint8_t
{
    svResult = 0,
    svTextDelay = 7,
    svParamStr = 10,
    svCursor = 27,
    svSelStr = 28,
    svSelIndex = 29,
    svPi = 30,
    svKeyPush = 35,
    svKeyClick = 36,
    svKeyRepeat = 42,
    svTemp = 44,
    svMidiPorts = 46,
    svIsDebug = 49,
};

// Kind column: 1..4 a fixed element kind; svkForward rows stand for another value.
constexpr uint8_t svkForward = 0xFF;

struct TSystemVariableInfo
{
    const char* Name;
    uint8_t Kind;
    bool Writable;
    bool IsArray; // element i is its own value (count from the host); others read the scalar
};

extern const TSystemVariableInfo SystemVariables[SystemVariableCount];

// Row of an "@" name (case-insensitive), -1 when none.
int FindSystemVariable(const std::string& name);

// Player state behind the system variables. The default answers are what a player without
// that subsystem shows: zeros, empty texts, the local clock for the date rows, GameTime for
// "@TickCount" and FrameCount for "@UpdateCount". Rows are those of SystemVariables.
class TSystemHost
{
  public:
    virtual ~TSystemHost() = default;
    // The value "@Result" stands for (the current call's result), null outside any call.
    virtual TCustomParam* CallResult() { return nullptr; }
    virtual int32_t ReadInt(int row);
    virtual Extended ReadFloat(int row);
    virtual bool ReadFlag(int row);
    virtual std::string ReadStr(int row);
    // Writes reach only the rows marked Writable, already converted to the row's kind.
    virtual void WriteInt(int, int32_t) {}
    virtual void WriteFlag(int, bool) {}
    virtual void WriteStr(int, const std::string&) {}
    // Array rows ("@ParamStr", "@KeyPush", "@KeyClick", "@KeyRepeat", "@MidiPorts").
    virtual int32_t ElementCount(int row);
    virtual std::string ReadStrAt(int, int32_t) { return std::string(); }
    virtual bool ReadFlagAt(int, int32_t) { return false; }
};

// A system variable: reads and writes the state named by its row. "@Result" and "@Temp" forward
// every operation to the value they stand for (zero values and no effect without one).
class TParamSystem final : public TCustomParam
{
  public:
    TParamSystem(uint8_t kind, TParamCollection& store) : Kind(kind), store_(store) {}

    const uint8_t Kind;

    // The value a forwarding row stands for right now, or null.
    TCustomParam* Forwarded() const;

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
    void SaveToStream(TKwBigStream&) const override {}
    void LoadFromStream(TKwBigStream&) override {}
    void ResetScalar() override;
    void Unique() override;
    void RemoveValue(const TCustomParam* v) override;
    int32_t IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const override;
    std::unique_ptr<TCustomParam> Clone() const override;

  private:
    const TSystemVariableInfo& Info() const;
    bool ElementRow() const;
    void CheckIndex(int32_t i) const;
    // The row's own kind read/written in a neutral form; conversions happen around these.
    int32_t RowInt(int32_t index) const;
    Extended RowFloat(int32_t index) const;
    bool RowFlag(int32_t index) const;
    std::string RowStr(int32_t index) const;
    void WriteRowInt(int32_t n);
    void WriteRowFloat(Extended x);
    void WriteRowFlag(bool b);
    void WriteRowStr(const std::string& s);

    TParamCollection& store_;
};

} // namespace ruko
