#pragma once
// A named, owning collection with a 256-bucket hash index. It is the base of the archive directory,
// the variable store, fonts, the image cache and read marks.
//
// Each bucket is a chain with the newest item at its head, so of two items with equal names the one
// added (or renamed) later is found. Items keep their position in `Index()`; deleting an item moves
// every later one down by one.
//
// The bucket function puts names of equal length, first and second-to-last byte together (all of
// "cg\ev0001.brm", "cg\ev0002.brm", ...), so lookups go through a second index keyed by the
// case-folded name that gives the same answer as walking the chain.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ruko {

class THashCollection;

// Bucket of a name: the name is lower-cased (ASCII letters only, double-byte characters untouched),
// L := its length; h := L × 16 mod 256, plus the first and the second-to-last byte when L > 1.
int Hash(std::string_view name);

class THashCollectionItem
{
  public:
    THashCollectionItem() = default;
    explicit THashCollectionItem(std::string name) : name_(std::move(name)) {}
    virtual ~THashCollectionItem() = default;
    THashCollectionItem(const THashCollectionItem&) = delete;
    THashCollectionItem& operator=(const THashCollectionItem&) = delete;

    const std::string& Name() const { return name_; }
    // Renames the item; a hashed item moves to the head of its new bucket.
    virtual void SetName(const std::string& name);

    int Index() const { return index_; }         // position in the collection, −1 when not in one
    int HashIndex() const { return hashIndex_; } // bucket, −1 when not hashed
    THashCollection* Collection() const { return collection_; }

  protected:
    // Puts the item at the head of its bucket (called when the item joins a collection).
    virtual void AddToHash();
    void RemoveFromHash();

  private:
    friend class THashCollection;
    std::string name_;
    THashCollection* collection_ = nullptr;
    int hashIndex_ = -1;
    int index_ = -1;
    THashCollectionItem* previous_ = nullptr;
    THashCollectionItem* next_ = nullptr;
};

class THashCollection
{
  public:
    // `localeCompare` selects the Japanese-locale compare ignoring case (archives); the default is
    // the code-page-aware case-insensitive compare. Both fold single-byte Latin letters only.
    explicit THashCollection(bool localeCompare = false) : localeCompare_(localeCompare) {}
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    THashCollectionItem& At(int index) const { return *items_.at(static_cast<size_t>(index)); }
    template <class T> T& ItemAs(int index) const { return static_cast<T&>(At(index)); }

    // Takes ownership and appends (or inserts at `index`); the item is hashed under its name.
    THashCollectionItem& Append(std::unique_ptr<THashCollectionItem> item);
    THashCollectionItem& Insert(int index, std::unique_ptr<THashCollectionItem> item);
    template <class T, class... Args> T& Emplace(Args&&... args)
    {
        return static_cast<T&>(Append(std::make_unique<T>(std::forward<Args>(args)...)));
    }
    // Removes and frees the item at `index`.
    void Delete(int index);
    // Removes the item at `index` and hands it to the caller.
    std::unique_ptr<THashCollectionItem> Extract(int index);
    void Clear();
    // Room for `count` items, ahead of a bulk load.
    void Reserve(size_t count);

    // Position of the newest item whose name compares equal; −1 when none.
    virtual int IndexOf(std::string_view name) const;
    THashCollectionItem* Find(std::string_view name) const;
    bool SameName(std::string_view a, std::string_view b) const;
    bool LocaleCompare() const { return localeCompare_; }

  private:
    friend class THashCollectionItem;
    void Renumber(size_t from);

    bool localeCompare_;
    std::vector<std::unique_ptr<THashCollectionItem>> items_;
    THashCollectionItem* buckets_[256] = {};
    // Folded name → items of that name in the order they were hashed (the newest last).
    std::unordered_map<std::string, std::vector<THashCollectionItem*>> byName_;
};

} // namespace ruko
