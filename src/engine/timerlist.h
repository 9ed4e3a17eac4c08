#pragma once
// The event queue: components post event calls here and the call manager takes them before its
// next command. An entry is pending while its Depth is 0; once its handler runs it carries the
// handler's depth until the handler returns.
//
// Components are not reachable from here; an entry names its component by handle (0 = none),
// which the component list resolves (a handle whose component is gone resolves to nothing).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

using TComponentHandle = uint64_t;

struct TTimerData
{
    std::string Command; // "file" or "file:label"
    TComponentHandle Target = 0;
    uint8_t Code = 0;  // the event property's id
    int32_t Depth = 0; // 0 while pending
    std::vector<std::string> Args;
};

class TTimerList
{
  public:
    void Post(TComponentHandle target, const std::string& command, const std::vector<std::string>& args,
              uint8_t code);
    // Index of the first entry, pending or running, of that target and code; -1 when none.
    int Find(TComponentHandle target, uint8_t code) const;
    // The first pending entry, or null.
    TTimerData* Next();
    void RemoveDepth(int32_t depth);
    void RemoveRunning();
    void RemovePending(TComponentHandle target);
    // Drops one entry (a pending entry whose handler page cannot be found).
    void Remove(const TTimerData* entry);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    const TTimerData& operator[](int i) const { return *items_[static_cast<size_t>(i)]; }

  private:
    std::vector<std::unique_ptr<TTimerData>> items_;
};

} // namespace ruko
