#include "engine/componentlink.h"

#include "base/numtext.h"
#include "components/baselist.h"
#include "components/images.h"
#include "graphics/bromcache.h"

#include <algorithm>

namespace ruko {

namespace {

// A component scripts can name: found by name and not waiting for deletion.
TRukoObject* Find(const std::string& name)
{
    if (!Bases || name.empty()) return nullptr;
    return Bases->FindComponent(name);
}

TRukoControl* FindControl(const std::string& name)
{
    TRukoObject* obj = Find(name);
    return obj ? obj->AsControl() : nullptr;
}

bool IsListed(const TRukoObject* obj, int32_t kind)
{
    return kind == 0 || obj->GetCompoType() == kind;
}

// Appends the names of the components whose parent is `parent` (every item for none); with
// `recursive` the scan descends into each one found and adds only names not listed yet.
void ListNames(std::vector<std::string>& names, int32_t kind, bool recursive, const TRukoControl* parent)
{
    // Copied: the scan only reads, but the names it collects must not follow later changes.
    const std::vector<TRukoObject*> items = Bases->Items();
    for (TRukoObject* obj : items) {
        const TRukoControl* control = obj->AsControl();
        if (parent && (!control || control->Parent != parent)) continue;
        if (Bases->IsPendingDelete(obj)) continue;
        if (IsListed(obj, kind) &&
            (!recursive || std::find(names.begin(), names.end(), obj->Name) == names.end()))
            names.push_back(obj->Name);
        if (recursive && parent && control) ListNames(names, kind, true, control);
    }
}

} // namespace

TComponentLink& ComponentLink()
{
    static TComponentLink& link = *new TComponentLink; // never destroyed
    return link;
}

bool TComponentLink::Dither()
{
    return BromMan && BromMan->Option() != 0;
}

void TComponentLink::SetDither(bool on)
{
    if (!BromMan) return;
    // The reload replaces the cached frames the images show; each takes its frame again, as many
    // as the reloaded picture has.
    BromMan->SetOption(on ? 1 : 0);
    if (!Bases) return;
    for (TRukoObject* obj : Bases->Items())
        if (auto* images = dynamic_cast<TRukoCustomImages*>(obj)) images->ReshowFrame();
    Bases->GetBase(0).MarkAllDirty();
    Bases->GetBase(1).MarkAllDirty();
}

void TComponentLink::RegisterItems(uint8_t kind, TComponentItems* items)
{
    items_[kind & 0x7F] = items;
}

bool TComponentLink::SoundOn()
{
    return !Bases || Bases->SoundOn;
}

void TComponentLink::SetSoundOn(bool on)
{
    if (Bases) Bases->SetSoundOn(on);
}

bool TComponentLink::Exists(const std::string& name)
{
    return Find(name) != nullptr;
}

bool TComponentLink::InPrimary(const std::string& name)
{
    TRukoControl* control = FindControl(name);
    return control && control->GetBase() == &Bases->GetActiveBase() && !control->IsInCabinet();
}

bool TComponentLink::InCabinet(const std::string& name)
{
    TRukoObject* obj = Find(name);
    return obj && obj->IsInCabinet();
}

TComponentItems* TComponentLink::ItemsOf(const std::string& name, TRukoObject*& obj)
{
    obj = Find(name);
    return obj ? items_[obj->GetCompoType() & 0x7F] : nullptr;
}

std::optional<int32_t> TComponentLink::ItemNumber(TComponentItems& items, TRukoObject& obj,
                                                  const TCustomParam& item)
{
    if (item.GetVarType() != ptStr) return item.GetInt();
    std::string text = item.GetStr();
    int32_t number = 0;
    if (TryStrToInt(text, number)) return number;
    int32_t index = items.IndexOfText(obj, text);
    return index >= 0 ? std::optional<int32_t>(index) : std::nullopt;
}

std::optional<bool> TComponentLink::GetItemState(const std::string& name, const TCustomParam& item,
                                                 TItemState state)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    if (!items) return std::nullopt;
    std::optional<int32_t> number = ItemNumber(*items, *obj, item);
    return number ? items->GetState(*obj, *number, state) : std::nullopt;
}

bool TComponentLink::SetItemState(const std::string& name, const TCustomParam& item, TItemState state,
                                  bool value)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    if (!items) return false;
    std::optional<int32_t> number = ItemNumber(*items, *obj, item);
    return number && items->SetState(*obj, *number, state, value);
}

std::optional<int32_t> TComponentLink::GroupIndex(const std::string& name, const TCustomParam& item)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    if (!items) return std::nullopt;
    std::optional<int32_t> number = ItemNumber(*items, *obj, item);
    return number ? items->GroupIndex(*obj, *number) : std::nullopt;
}

std::optional<std::string> TComponentLink::ItemText(const std::string& name, const TCustomParam& item)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    if (!items) return std::nullopt;
    std::optional<int32_t> number = ItemNumber(*items, *obj, item);
    return number ? items->Text(*obj, *number) : std::nullopt;
}

int32_t TComponentLink::IndexOfMenu(const std::string& name, const std::string& text)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    return items ? items->IndexOfText(*obj, text) : -1;
}

std::vector<std::string> TComponentLink::List(int32_t kind, const std::string& parent, bool recursive)
{
    std::vector<std::string> names;
    if (!Bases) return names;
    if (parent == "ALL") {
        ListNames(names, kind, recursive, nullptr);
    } else if (TRukoControl* container = Bases->FindContainer(parent)) {
        ListNames(names, kind, recursive, container);
    }
    return names;
}

std::optional<int32_t> TComponentLink::ToClient(const std::string& name, int32_t value, bool y)
{
    TRukoObject* obj = Find(name);
    if (!obj) return std::nullopt;
    const TRukoControl* control = obj->AsControl();
    if (!control) return value;
    int64_t origin = y ? control->GetDrawTop() : control->GetDrawLeft();
    return static_cast<int32_t>(static_cast<uint32_t>(int64_t{value} - origin));
}

std::optional<int32_t> TComponentLink::ToScreen(const std::string& name, int32_t value, bool y)
{
    TRukoObject* obj = Find(name);
    if (!obj) return std::nullopt;
    const TRukoControl* control = obj->AsControl();
    if (!control) return value;
    int64_t origin = y ? control->GetDrawTop() : control->GetDrawLeft();
    return static_cast<int32_t>(static_cast<uint32_t>(int64_t{value} + origin));
}

bool TComponentLink::CreateObject(int32_t kind, const std::string& name, const std::string& base)
{
    if (!Bases) return false;
    TRukoObject* obj = Bases->CreateComponent(kind);
    if (!obj) return false;
    if (!name.empty()) obj->SetName(name);
    if (TRukoControl* control = obj->AsControl()) {
        TRukoControl* container = base.empty() ? nullptr : Bases->FindContainer(base);
        if (container && container != control) control->SetParent(container);
        control->Invalidate();
    }
    return true;
}

bool TComponentLink::DeleteObject(const std::string& name)
{
    TRukoObject* obj = Find(name);
    const TRukoControl* control = obj ? obj->AsControl() : nullptr;
    if (!obj || (control && control->IsBase())) return false;
    // As the delete command: the object goes at the end of the frame's update, so a handler
    // running on it finishes first.
    obj->Delete();
    return true;
}

std::optional<bool> TComponentLink::ImeOpened(const std::string& name)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    return items ? items->ImeOpened(*obj) : std::nullopt;
}

bool TComponentLink::SetImeOpened(const std::string& name, bool open)
{
    TRukoObject* obj = nullptr;
    TComponentItems* items = ItemsOf(name, obj);
    return items && items->SetImeOpened(*obj, open);
}

std::string TComponentLink::FocusedName()
{
    TRukoControl* focused = Bases ? Bases->Focused() : nullptr;
    return focused ? focused->Name : std::string();
}

void TComponentLink::Focus(const std::string& name)
{
    TRukoControl* control = FindControl(name);
    if (!control || control->IsBase() || !control->GetVisible() || !control->HandleKey || control->IsPaused())
        return;
    Bases->SetFocus(control);
}

void TComponentLink::SetClickFlag(bool right, bool value)
{
    if (!Bases) return;
    TRukoBase& base = Bases->GetActiveBase();
    (right ? base.RClick : base.LClick) = value;
}

} // namespace ruko
