#include "io/kwrandom.h"

namespace ruko {

void TKwRandom::InitPermutation(int n)
{
    list_.clear();
    for (int i = 0; i < n; ++i)
        list_.push_back(i);
}

int TKwRandom::NextIndex()
{
    uint32_t value = Next();
    if (list_.empty()) return -1;
    size_t at = value % static_cast<uint32_t>(list_.size());
    int result = list_[at];
    list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(at));
    return result;
}

} // namespace ruko
