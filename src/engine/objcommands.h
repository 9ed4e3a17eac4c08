#pragma once
// The commands that create, change and delete components and flip the screen (registered by
// RegisterObjectCommands, comfactory.h), and the link
// between the component list and the engine: the event queue the list posts into and the
// property access of GetProp/SetProp.
#include "base/processobject.h"
#include "engine/page.h"
#include "engine/timerlist.h"

#include <memory>
#include <string>

namespace ruko {

class TEventQueue;
class TRukoBaseList;
class TRukoObject;

// The running title's component list, named by `Bases` while it lives: it posts into `events`,
// is sized to the screen, and GetProp/SetProp reach it. `events` must outlive it.
class TComponentList
{
  public:
    TComponentList(TTimerList& events, int32_t width, int32_t height);
    ~TComponentList();
    TComponentList(const TComponentList&) = delete;
    TComponentList& operator=(const TComponentList&) = delete;

  private:
    std::unique_ptr<TEventQueue> queue_;
    TProcessObject<TRukoBaseList> list_;
};

// For the call manager's host: a component's name by handle ("" when gone), the handle of a
// name (0 when none), and the reset command's clearing of every component.
std::string ComponentNameOf(TComponentHandle handle);
TComponentHandle ComponentHandleOf(const std::string& name);
void ResetComponents();

// Applies the properties a creating command carries, in the creation order.
void ApplyProperties(const TCommand& command, TRukoObject& component);

} // namespace ruko
