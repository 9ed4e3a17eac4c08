#pragma once
// The built-in functions' view of the running component list (`Bases`): components found by
// name, listed, converted between coordinate systems, created and deleted, focused, and the
// per-item states of the kinds that have items. One object serves the whole run; the kinds that
// arrive later register their item access here rather than adding another adapter.
#include "engine/builtins.h"

#include <cstdint>
#include <string>

namespace ruko {

class TRukoObject;

// Items of one component kind (menus, lists, edits, ...). Item numbers are as scripts give them;
// every answer of nullopt/false/-1 means "no such item".
class TComponentItems
{
  public:
    virtual ~TComponentItems() = default;
    virtual std::optional<bool> GetState(TRukoObject&, int32_t, TItemState) { return std::nullopt; }
    virtual bool SetState(TRukoObject&, int32_t, TItemState, bool) { return false; }
    virtual std::optional<int32_t> GroupIndex(TRukoObject&, int32_t) { return std::nullopt; }
    virtual std::optional<std::string> Text(TRukoObject&, int32_t) { return std::nullopt; }
    // The item whose text is `text`; -1 when none. Kinds that answer it (menus) also let the
    // item-state functions name an item by its text.
    virtual int32_t IndexOfText(TRukoObject&, const std::string&) { return -1; }
    virtual std::optional<bool> ImeOpened(TRukoObject&) { return std::nullopt; }
    virtual bool SetImeOpened(TRukoObject&, bool) { return false; }
};

class TComponentLink final : public TBuiltinComponents
{
  public:
    // `items` serves the components of type code `kind` (0..127); it must outlive the link's use.
    void RegisterItems(uint8_t kind, TComponentItems* items);

    bool Exists(const std::string& name) override;
    bool InPrimary(const std::string& name) override;
    bool InCabinet(const std::string& name) override;
    std::optional<bool> GetItemState(const std::string& name, const TCustomParam& item,
                                     TItemState state) override;
    bool SetItemState(const std::string& name, const TCustomParam& item, TItemState state,
                      bool value) override;
    std::optional<int32_t> GroupIndex(const std::string& name, const TCustomParam& item) override;
    std::optional<std::string> ItemText(const std::string& name, const TCustomParam& item) override;
    int32_t IndexOfMenu(const std::string& name, const std::string& text) override;
    std::vector<std::string> List(int32_t kind, const std::string& parent, bool recursive) override;
    std::optional<int32_t> ToClient(const std::string& name, int32_t value, bool y) override;
    std::optional<int32_t> ToScreen(const std::string& name, int32_t value, bool y) override;
    bool CreateObject(int32_t kind, const std::string& name, const std::string& base) override;
    bool DeleteObject(const std::string& name) override;
    std::optional<bool> ImeOpened(const std::string& name) override;
    bool SetImeOpened(const std::string& name, bool open) override;
    std::string FocusedName() override;
    void Focus(const std::string& name) override;
    void SetClickFlag(bool right, bool value) override;
    // The image cache's dithering option; a change reloads the cache, shows every image's frame
    // again from the reloaded pictures and redraws both base windows.
    bool Dither() override;
    void SetDither(bool on) override;
    bool SoundOn() override;
    void SetSoundOn(bool on) override;

  private:
    // The component and the item access of its kind; null when either is missing.
    TComponentItems* ItemsOf(const std::string& name, TRukoObject*& obj);
    // An item argument as a number; a text names a menu item when the kind answers texts.
    std::optional<int32_t> ItemNumber(TComponentItems& items, TRukoObject& obj, const TCustomParam& item);

    TComponentItems* items_[128] = {};
};

// The link the shell installs into the built-in services.
TComponentLink& ComponentLink();

} // namespace ruko
