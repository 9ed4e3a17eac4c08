#pragma once
// The queue of event calls as the component list sees it. The scenario engine owns the real queue
// and plugs it in through this interface; TLocalEventQueue is a plain queue for component lists
// that run without an engine (tools, tests, nested lists).
//
// Components are named by handle (index + generation, see TRukoBaseList::Resolve), never by
// pointer, so an entry whose component is gone resolves to nothing.
#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

using TComponentHandle = uint64_t;

struct TEventRecord
{
    std::string Command;           // "file" or "file:label"
    TComponentHandle Target = 0;   // 0 = none
    uint8_t Code = 0;              // the event property's id
    int32_t Depth = 0;             // 0 while pending
    std::vector<std::string> Args; // decimal numbers as text
};

class TEventQueue
{
  public:
    virtual ~TEventQueue() = default;
    virtual void Post(TComponentHandle target, const std::string& command,
                      const std::vector<std::string>& args, uint8_t code) = 0;
    // Index of the first entry, pending or running, of that target and code; -1 when none.
    virtual int Find(TComponentHandle target, uint8_t code) const = 0;
    // Drops the target's pending entries (its handlers that already run keep theirs).
    virtual void RemovePending(TComponentHandle target) = 0;
    virtual std::vector<TEventRecord> Entries() const = 0;
    // Replaces every entry (loading a save).
    virtual void Replace(std::vector<TEventRecord> entries) = 0;
};

class TLocalEventQueue final : public TEventQueue
{
  public:
    void Post(TComponentHandle target, const std::string& command, const std::vector<std::string>& args,
              uint8_t code) override
    {
        Items.push_back({command, target, code, 0, args});
    }
    int Find(TComponentHandle target, uint8_t code) const override
    {
        for (size_t i = 0; i < Items.size(); ++i)
            if (Items[i].Target == target && Items[i].Code == code) return static_cast<int>(i);
        return -1;
    }
    void RemovePending(TComponentHandle target) override
    {
        std::erase_if(Items, [&](const TEventRecord& e) { return e.Target == target && e.Depth == 0; });
    }
    std::vector<TEventRecord> Entries() const override { return Items; }
    void Replace(std::vector<TEventRecord> entries) override { Items = std::move(entries); }

    std::vector<TEventRecord> Items;
};

} // namespace ruko
