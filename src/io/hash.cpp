#include "io/hash.h"

#include "base/text.h"

#include <algorithm>

namespace ruko {

int Hash(std::string_view name)
{
    auto lower = [](unsigned char c) -> unsigned { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    // Lower-casing that skips double-byte characters only matters for their trail bytes; only the
    // first and the second-to-last byte take part, so fold by character position.
    std::vector<size_t> starts = CharStarts(name);
    auto folded = [&](size_t pos) -> unsigned {
        auto c = static_cast<unsigned char>(name[pos]);
        auto it = std::lower_bound(starts.begin(), starts.end(), pos);
        bool single = it != starts.end() && *it == pos && CharLength(name, pos) == 1;
        return single ? lower(c) : c;
    };
    size_t length = name.size();
    unsigned h = static_cast<unsigned>((length * 16) % 256);
    if (length > 1) h = (h + folded(0) + folded(length - 2)) % 256;
    return static_cast<int>(h);
}

void THashCollectionItem::SetName(const std::string& name)
{
    bool hashed = hashIndex_ >= 0;
    if (hashed) RemoveFromHash();
    name_ = name;
    if (hashed || collection_) AddToHash();
}

void THashCollectionItem::AddToHash()
{
    if (!collection_) return;
    if (hashIndex_ >= 0) RemoveFromHash();
    hashIndex_ = Hash(name_);
    THashCollectionItem*& head = collection_->buckets_[hashIndex_];
    previous_ = nullptr;
    next_ = head;
    if (head) head->previous_ = this;
    head = this;
    collection_->byName_[UpperCaseText(name_)].push_back(this);
}

void THashCollectionItem::RemoveFromHash()
{
    if (hashIndex_ < 0 || !collection_) return;
    if (previous_)
        previous_->next_ = next_;
    else
        collection_->buckets_[hashIndex_] = next_;
    if (next_) next_->previous_ = previous_;
    previous_ = next_ = nullptr;
    hashIndex_ = -1;
    auto named = collection_->byName_.find(UpperCaseText(name_));
    if (named != collection_->byName_.end()) {
        std::vector<THashCollectionItem*>& same = named->second;
        same.erase(std::find(same.begin(), same.end(), this));
        if (same.empty()) collection_->byName_.erase(named);
    }
}

THashCollection::~THashCollection()
{
    Clear();
}

THashCollectionItem& THashCollection::Append(std::unique_ptr<THashCollectionItem> item)
{
    return Insert(Count(), std::move(item));
}

THashCollectionItem& THashCollection::Insert(int index, std::unique_ptr<THashCollectionItem> item)
{
    size_t at = static_cast<size_t>(std::clamp(index, 0, Count()));
    THashCollectionItem& added = *item;
    added.collection_ = this;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    Renumber(at);
    added.AddToHash();
    return added;
}

std::unique_ptr<THashCollectionItem> THashCollection::Extract(int index)
{
    size_t at = static_cast<size_t>(index);
    std::unique_ptr<THashCollectionItem> item = std::move(items_.at(at));
    item->RemoveFromHash();
    item->collection_ = nullptr;
    item->index_ = -1;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    Renumber(at);
    return item;
}

void THashCollection::Delete(int index)
{
    Extract(index);
}

void THashCollection::Clear()
{
    // Free from the end so no renumbering is needed.
    while (!items_.empty()) {
        items_.back()->RemoveFromHash();
        items_.back()->collection_ = nullptr;
        items_.pop_back();
    }
}

void THashCollection::Reserve(size_t count)
{
    items_.reserve(count);
    byName_.reserve(count);
}

void THashCollection::Renumber(size_t from)
{
    for (size_t i = from; i < items_.size(); ++i)
        items_[i]->index_ = static_cast<int>(i);
}

bool THashCollection::SameName(std::string_view a, std::string_view b) const
{
    // The Japanese-locale compare ignoring case folds the same single-byte letters; a name that
    // differed in any other way would also hash to a different bucket.
    return SameText(a, b);
}

int THashCollection::IndexOf(std::string_view name) const
{
    // Equal names fall in one bucket, where the last one hashed heads the chain.
    auto named = byName_.find(UpperCaseText(name));
    return named == byName_.end() ? -1 : named->second.back()->index_;
}

THashCollectionItem* THashCollection::Find(std::string_view name) const
{
    int index = IndexOf(name);
    return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

} // namespace ruko
