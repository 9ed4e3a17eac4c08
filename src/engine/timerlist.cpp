#include "engine/timerlist.h"

#include <algorithm>

namespace ruko {

void TTimerList::Post(TComponentHandle target, const std::string& command,
                      const std::vector<std::string>& args, uint8_t code)
{
    auto entry = std::make_unique<TTimerData>();
    entry->Command = command;
    entry->Target = target;
    entry->Code = code;
    entry->Args = args;
    items_.push_back(std::move(entry));
}

int TTimerList::Find(TComponentHandle target, uint8_t code) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Target == target && items_[i]->Code == code) return static_cast<int>(i);
    return -1;
}

TTimerData* TTimerList::Next()
{
    for (auto& item : items_)
        if (item->Depth == 0) return item.get();
    return nullptr;
}

void TTimerList::RemoveDepth(int32_t depth)
{
    std::erase_if(items_, [depth](const auto& item) { return item->Depth == depth; });
}

void TTimerList::RemoveRunning()
{
    std::erase_if(items_, [](const auto& item) { return item->Depth != 0; });
}

void TTimerList::RemovePending(TComponentHandle target)
{
    std::erase_if(items_, [target](const auto& item) { return item->Depth == 0 && item->Target == target; });
}

void TTimerList::Remove(const TTimerData* entry)
{
    std::erase_if(items_, [entry](const auto& item) { return item.get() == entry; });
}

} // namespace ruko
