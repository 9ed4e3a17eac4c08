#pragma once
// The variable store: every variable a script can name, in one collection. Lookup is by name,
// case-insensitive: a local of the current call depth wins, otherwise the oldest non-local of that
// name. Temporaries ("____...") made while an expression runs live in that run's own frame, so a
// nested evaluation can never overwrite the outer one's.
#include "params/param.h"
#include "params/sysvars.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ruko {

class TKwBigStream;

class TParamCollectionItem : public std::enable_shared_from_this<TParamCollectionItem>
{
  public:
    explicit TParamCollectionItem(std::unique_ptr<TCustomParam> value) : Value(std::move(value)) {}

    const std::string& Name() const { return name_; }
    // Non-empty, no blank, not starting with a digit; else "\"%s\"：変数名が不正です".
    void SetName(const std::string& name);

    std::unique_ptr<TCustomParam> Value; // never null
    uint8_t SpareFlag = 0;               // carried through saves, not interpreted
    uint8_t Persistent = 0;
    // Changing ScopeId or Local of an item already in a store: call the store's ScopesChanged so
    // remembered lookups are redone.
    int32_t ScopeId = -1;
    uint8_t Local = 0;

    // Replace the value with a new empty one of `code` (0..4; anything else raises).
    void CreateValue(uint8_t code);
    bool IsSystem() const;
    // Name, value record, Persistent, SpareFlag, ScopeId, Local.
    void SaveItem(TKwBigStream& s) const;
    // An empty name reads the value record into a throw-away value of the item's own kind, so the
    // stream stays in step; the item is then discarded by the caller (Name() stays empty).
    void LoadItem(TKwBigStream& s);
    // Reshape to src's extents and copy every element converted to this item's kind.
    void ConvertFrom(const TCustomParam& src);

  private:
    friend class TParamCollection;
    std::string name_;
    TParamCollection* owner_ = nullptr;
};

using TParamItemPtr = std::shared_ptr<TParamCollectionItem>;

// Where a name sits in one store's index, remembered by a caller that looks it up again and again.
struct TNameRef
{
    uint64_t Store = 0;
    const std::vector<TParamCollectionItem*>* Named = nullptr;
};

// Values loaded from save data that belong to other subsystems: the six metrics of the default
// history format that versions 113..134 kept with the variables.
struct TLegacyHistoryMetrics
{
    int32_t FontHeight, FontBorder, FontShadow, Width, Height, LineSpace;
};

class TParamCollection
{
  public:
    // Creates the 51 system variables.
    TParamCollection();
    ~TParamCollection();
    TParamCollection(const TParamCollection&) = delete;
    TParamCollection& operator=(const TParamCollection&) = delete;

    // The visible variable of that name, or null (see the class comment).
    TParamCollectionItem* Find(std::string_view name) const;
    // Find without the temporaries of the running expression, through a remembered place: the
    // name is hashed once per store, later calls only walk the items of that name.
    TParamCollectionItem* FindIndexed(std::string_view name, TNameRef& place) const;
    // The exact item a declaration would create: local of the current scope, or a non-local.
    TParamCollectionItem* FindDeclared(std::string_view name, bool local) const;
    // Appends a variable holding a new value of `code`; the name is set afterwards.
    TParamCollectionItem& AddVariable(uint8_t code);
    // AddVariable and SetName in one step.
    TParamCollectionItem& AddVariable(uint8_t code, const std::string& name);
    // Frees one variable (system variables are never freed).
    void Remove(TParamCollectionItem& item);
    // A copy of the named variable as a plain value of its kind; null when not found; a variable of
    // no element kind raises "%s:不正な変数です".
    std::unique_ptr<TCustomParam> Snapshot(std::string_view name) const;
    void DeleteScope(int32_t id);
    // A call frame below the top went: the scopes above `depth` move down one.
    void LowerScopesAbove(int32_t depth);
    // Store order, system variables first.
    size_t Count() const { return items_.size(); }
    TParamCollectionItem& Item(size_t index) const { return *items_[index]; }
    TParamItemPtr Shared(TParamCollectionItem& item) const { return item.shared_from_this(); }

    // Save data. Loads are validated and committed only when the whole record was read.
    void SaveVariables(TKwBigStream& s) const;
    void LoadVariables(TKwBigStream& s, int32_t version);
    void SavePersistent(TKwBigStream& s) const;
    void LoadPersistent(TKwBigStream& s, int32_t version);
    // LoadPersistent in two halves, so a record that holds more than the variables is committed
    // only once all of it was read: the read makes fresh items and changes nothing here.
    struct TPersistentLoad
    {
        std::vector<TParamItemPtr> Items;
    };
    TPersistentLoad ReadPersistent(TKwBigStream& s, int32_t version) const;
    void CommitPersistent(TPersistentLoad load);
    // LoadVariables in the same two halves.
    struct TVariablesLoad
    {
        int32_t Version = 0;
        std::vector<TParamItemPtr> Items;
        int32_t TextDelay = 50;
        std::string Cursor, SelStr, TempName;
        int32_t SelIndex = 0;
        std::optional<TLegacyHistoryMetrics> Metrics;
        std::vector<std::vector<uint8_t>> Pushed;
    };
    TVariablesLoad ReadVariables(TKwBigStream& s, int32_t version) const;
    void CommitVariables(TVariablesLoad load);
    void ClearVariables();

    // Behind PushVar/PopVar. System variables and references are not pushed.
    void PushVariables(const std::vector<std::string>& names);
    bool PopVariables();

    int32_t CurrentScope = 0;
    std::vector<std::vector<uint8_t>> PushedSets;
    std::string SelStr;
    int32_t SelIndex = 0;
    // Player state saved with the variables.
    int32_t TextDelay = 50;
    std::string Cursor;
    std::string TempName; // the variable "@Temp" stands for
    // Filled by LoadVariables for save versions 113..134; the history applies it.
    std::optional<TLegacyHistoryMetrics> LoadedHistoryMetrics;

    // Player state behind the system variables; a default host when none is installed.
    void SetHost(TSystemHost* host) { host_ = host; }
    TSystemHost& Host() const { return host_ ? *host_ : defaultHost_; }

    // --- temporaries of running expressions ---
    // One frame per running program; Find looks up "____" names in the innermost frame first.
    class TTempFrame
    {
      public:
        explicit TTempFrame(TParamCollection& store);
        // The frame's list of temporaries lives in `items`, which a program keeps from run to run
        // with the temporaries themselves; it is emptied when the frame ends.
        TTempFrame(TParamCollection& store, std::vector<TParamCollectionItem*>& items);
        ~TTempFrame();
        TTempFrame(const TTempFrame&) = delete;
        TTempFrame& operator=(const TTempFrame&) = delete;

      private:
        friend class TParamCollection;
        TParamCollection& store_;
        std::vector<TParamItemPtr> owned_; // what AddTemporary made for this frame
        std::vector<TParamCollectionItem*> own_;
        std::vector<TParamCollectionItem*>& items_;
    };
    // A temporary in the innermost frame (one must be open).
    TParamCollectionItem& AddTemporary(std::unique_ptr<TCustomParam> value, const std::string& name);
    // A temporary item not yet in any frame, and putting one into the innermost frame (the caller
    // keeps it alive until the frame ends).
    TParamItemPtr MakeTemporary(std::unique_ptr<TCustomParam> value, const std::string& name) const;
    void AddTemporary(TParamCollectionItem& item);
    int TempDepth() const { return static_cast<int>(frames_.size()); }

    // Changes whenever the set of named variables changes (add, remove, rename, load); unique
    // across stores, so a lookup remembered with it and CurrentScope stays valid while both match.
    uint64_t Generation() const { return generation_; }
    void ScopesChanged();

  private:
    friend class TParamCollectionItem;
    TParamCollectionItem* Visible(const std::vector<TParamCollectionItem*>& named) const;
    void IndexName(TParamCollectionItem& item);
    void UnindexName(TParamCollectionItem& item);
    void RemoveWhere(const std::function<bool(const TParamCollectionItem&)>& doomed);
    void WriteItems(TKwBigStream& s, bool persistent) const;
    std::vector<TParamItemPtr> ReadItems(TKwBigStream& s) const;
    void Commit(std::vector<TParamItemPtr> loaded);
    // Binds the loaded references by the target names they were saved with.
    void BindLoaded(const std::vector<TParamItemPtr>& loaded);

    std::vector<TParamItemPtr> items_;
    // Folded name -> items of that name in naming order (oldest first). Entries are never erased,
    // so a remembered place stays valid for the store's life (the map's nodes do not move).
    mutable std::unordered_map<std::string, std::vector<TParamCollectionItem*>> index_;
    const uint64_t id_;
    std::vector<TTempFrame*> frames_;
    uint64_t generation_ = 0;
    TSystemHost* host_ = nullptr;
    mutable TSystemHost defaultHost_;
};

// The process-wide store (not owned; the engine holds it).
extern TParamCollection* ParamMan;

} // namespace ruko
