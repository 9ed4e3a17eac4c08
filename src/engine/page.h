#pragma once
// Pages: the compiled command lists of a scenario (".rsb" files) and the command records in
// them. Every command is described by the command table (comschema.h); the reader and the
// writer walk that table, so a page read and written again gives the same bytes.
#include "engine/comschema.h"
#include "engine/expr.h"
#include "engine/runpoint.h"
#include "io/bigstream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TCallMan;
class TComList;
class TPage;

constexpr int OldestPageVersion = 103;
constexpr int NewestPageVersion = 117;
constexpr int MaskRecordSize = 22;
constexpr int MaskTableSize = CommandCodeCount * MaskRecordSize; // 1342

// One stored field of a command (which members are used depends on its kind).
struct TField
{
    bool Present = true; // false for a field newer than the page's version
    TExpr Expr;
    std::string Str; // Str, Text
    int32_t Num = 0; // Index, Byte
    std::vector<TExpr> List;
};

// One expression of a component record: the value of property `Id`.
struct TPropExpr
{
    int Id = 0;
    TExpr Expr;
};

class TCommand
{
  public:
    TCommand(TComList& owner, int code);
    virtual ~TCommand();
    TCommand(const TCommand&) = delete;
    TCommand& operator=(const TCommand&) = delete;

    int GetCode() const { return code_; }
    const TCommandDef& Def() const { return CommandDef(code_); }
    TComList& Owner() const { return *owner_; }
    TPage& OwnerPage() const;

    virtual bool GetContinue() const;
    virtual bool GetDisabled() const;
    void SetDisabled(bool disabled) { Disabled = disabled; }
    virtual bool BlocksEvents() const { return false; }
    virtual bool IsLabel(std::string_view name) const;
    // Reads the common record and the fields the page's version holds.
    void LoadFromStream(TKwBigStream& s);
    void SaveToStream(TKwBigStream& s) const;

    virtual void Enter(TCallMan&) {}
    // Runs the command: it moves `at` (the call manager's run point); the base advances.
    virtual void Execute(TCallMan&, TRunPoint& at) { ++at.Index; }
    virtual void SaveState(TKwBigStream&) {}
    virtual void LoadState(TKwBigStream&) {}
    virtual void Abort(TCallMan&) {}
    virtual bool WaitsForEvents() const { return false; }

    uint32_t Indent = 0;
    bool Disabled = false;
    bool Continue = false;
    uint32_t Line = 0;
    std::vector<TField> Fields; // one per entry of Def().Fields
    // Component record: one expression per property id whose mask bit is set, ids ascending.
    std::vector<TPropExpr> Props;
    // The expression of property `id`; null when the record does not carry it.
    TExpr* Prop(int id);
    const TExpr* Prop(int id) const;

    // Typed field access by position in Def().Fields (TComFields<code>::Id).
    TExpr& ExprAt(int i) { return Fields[static_cast<size_t>(i)].Expr; }
    const TExpr& ExprAt(int i) const { return Fields[static_cast<size_t>(i)].Expr; }
    const std::string& StrAt(int i) const { return Fields[static_cast<size_t>(i)].Str; }
    int32_t NumAt(int i) const { return Fields[static_cast<size_t>(i)].Num; }
    bool Has(int i) const { return Fields[static_cast<size_t>(i)].Present; }

  private:
    TComList* owner_;
    int code_;
};

// The commands of a page, in order; owns them.
class TComList
{
  public:
    explicit TComList(TPage& page) : page_(&page) {}
    TPage& Page() const { return *page_; }
    int Count() const { return static_cast<int>(items_.size()); }
    TCommand& operator[](int i) const { return *items_[static_cast<size_t>(i)]; }
    TCommand* At(int i) const
    {
        return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)].get() : nullptr;
    }
    void Add(std::unique_ptr<TCommand> command) { items_.push_back(std::move(command)); }
    void Clear() { items_.clear(); }
    // Position of the first label of that exact name, -1 when none.
    int FindLabel(std::string_view name) const;

  private:
    TPage* page_;
    std::vector<std::unique_ptr<TCommand>> items_;
};

class TPage
{
  public:
    TPage();
    ~TPage();
    TPage(const TPage&) = delete;
    TPage& operator=(const TPage&) = delete;

    std::string Name; // the page file name, as the scenario refers to it
    TComList Commands;
    int Version = 200;
    uint8_t ResultType = 1;
    // How many mask records the file carried (0..61); the writer writes as many.
    int MaskRecordCount = CommandCodeCount;
    std::array<uint8_t, MaskTableSize> Masks{};

    bool MaskHas(int code, int propId) const;
    void SetMask(int code, int propId, bool on);

    // Parses a whole page file. A version above the newest gives an empty page; one below the
    // oldest raises name + "\r\nリビルドしてください". Damage raises the damaged-file error; the
    // page is then left empty.
    void LoadFromBytes(const std::string& name, const std::vector<uint8_t>& bytes);
    void LoadFromStream(TKwBigStream& s);
    void SaveToStream(TKwBigStream& s) const;
    std::vector<uint8_t> SaveToBytes() const;
};

// True when the bytes are a page file of a version older than the oldest read (102 or below):
// its title must be rebuilt.
bool PageNeedsRebuild(const std::vector<uint8_t>& bytes);
// name + "\r\nリビルドしてください" (CP932).
std::string RebuildMessage(const std::string& pageName);

// Creates the command object of code & 0x7F for a page's list, of the class the command table
// registered (comfactory.h); its property expressions follow the page's masks. Any other code
// raises "不正なコマンド".
std::unique_ptr<TCommand> CreateCommand(TComList& list, int code);

} // namespace ruko
