// The component list's save record: written from the running list, read into a fresh one and
// taken over only when complete.
#include "components/baselist.h"
#include "io/fields.h"

namespace ruko {

void TRukoBaseList::SaveToStream(TKwBigStream& s) const
{
    WriteInt(s, width_);
    WriteInt(s, height_);
    WriteInt(s, ActiveBase);
    base0_->SaveToStream(s);
    base1_->SaveToStream(s);
    std::vector<const TRukoObject*> top;
    for (const TRukoObject* obj : items_)
        if (!obj->AsControl() && !IsPendingDelete(obj) && obj->GetCompoType() != LT_NONE &&
            !(obj->Name.size() > 0 && obj->Name[0] == SOH))
            top.push_back(obj);
    WriteInt(s, static_cast<int32_t>(top.size()));
    for (const TRukoObject* obj : top) {
        WriteByte(s, obj->GetCompoType());
        obj->SaveToStream(s);
    }
    std::vector<TEventRecord> entries = events_->Entries();
    WriteInt(s, static_cast<int32_t>(entries.size()));
    for (const TEventRecord& e : entries) {
        WriteStr(s, e.Command);
        WriteStr(s, ComponentName(e.Target));
        WriteByte(s, e.Code);
        WriteInt(s, e.Depth);
        WriteInt(s, static_cast<int32_t>(e.Args.size()));
        for (const std::string& a : e.Args)
            WriteStr(s, a);
    }
    const TRukoControl* f = Focused();
    WriteStr(s, f ? f->Name : std::string());
}

void TRukoBaseList::LoadInto(TKwBigStream& s, int32_t version)
{
    int32_t width = ReadInt(s), height = ReadInt(s), active = ReadInt(s);
    if (width < 1 || height < 1 || width > MaxScreenSize || height > MaxScreenSize ||
        (active != 0 && active != 1))
        RaiseDamaged();
    // The surfaces are made once the whole record has loaded (TakeFrom).
    width_ = width;
    height_ = height;
    ActiveBase = active;
    for (TRukoBase* b : {base0_.get(), base1_.get()}) {
        b->LoadFromStream(s, version);
        // A base window keeps its system name and the list's size whatever the record says.
        b->Name = b == base0_.get() ? Base0Name : Base1Name;
        b->Left = b->Top = 0;
        b->Width = width;
        b->Height = height;
        b->Parent = nullptr;
        b->MarkAllDirty();
    }
    int32_t count = ReadInt(s);
    if (count > MaxLoadedItems) RaiseDamaged();
    CheckCount(s, count, 1);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t code = ReadByte(s);
        TRukoObject* obj = CreateComponent(code);
        if (!obj || obj->AsControl()) {
            if (obj) FreeComponent(obj);
            RaiseDamaged(); // controls are saved inside their base window
        }
        obj->LoadFromStream(s, version);
    }
    int32_t entries = ReadInt(s);
    if (entries > MaxLoadedItems) RaiseDamaged();
    CheckCount(s, entries, 10);
    std::vector<TEventRecord> queue;
    for (int32_t i = 0; i < entries; ++i) {
        TEventRecord e;
        e.Command = ReadStr(s);
        std::string target = ReadStr(s);
        e.Target = target.empty() ? 0 : (FindComponent(target) ? FindComponent(target)->Handle : 0);
        e.Code = ReadByte(s);
        e.Depth = version <= 113 ? (ReadByte(s) ? 1 : 0) : ReadInt(s);
        int32_t argc = ReadInt(s);
        if (argc > MaxLoadedItems) RaiseDamaged();
        CheckCount(s, argc, 4);
        for (int32_t a = 0; a < argc; ++a)
            e.Args.push_back(ReadStr(s));
        queue.push_back(std::move(e));
    }
    events_->Replace(std::move(queue));
    focused_ = 0;
    FocusRequest = false;
    if (version > 118) {
        std::string name = ReadStr(s);
        // An empty name means nothing was focused: it must not pick the base window.
        TRukoControl* c = name.empty() ? nullptr : FindContainer(name);
        if (c && !c->IsBase()) {
            focused_ = c->Handle;
            c->GotFocus();
        }
    }
}

void TRukoBaseList::TakeFrom(TRukoBaseList& other)
{
    DestroyEverything();
    base0_ = std::move(other.base0_);
    base1_ = std::move(other.base1_);
    ownedObjects_ = std::move(other.ownedObjects_);
    items_ = std::move(other.items_);
    pendingDelete_ = std::move(other.pendingDelete_);
    handles_ = std::move(other.handles_);
    RightClickClosers = std::move(other.RightClickClosers);
    width_ = other.width_;
    height_ = other.height_;
    ActiveBase = other.ActiveBase;
    focused_ = other.focused_;
    FocusRequest = other.FocusRequest;
    surface_.SetSize(width_, height_, 32);
    surface_.Fill(0);
    for (TRukoBase* b : {base0_.get(), base1_.get()})
        b->ResizeSurface();
    TransitionKind = 0;
    FrameDirtyRect = TRect();
    for (auto& [handle, obj] : handles_)
        obj->Owner = this;
    events_->Replace(other.events_->Entries());
    other.handles_.clear();
    other.MakeBases();
}

void TRukoBaseList::LoadFromStream(TKwBigStream& s, int32_t version)
{
    Commit(*ReadFromStream(s, version));
}

std::unique_ptr<TRukoBaseList> TRukoBaseList::ReadFromStream(TKwBigStream& s, int32_t version)
{
    auto fresh = std::make_unique<TRukoBaseList>();
    fresh->LoadInto(s, version);
    return fresh;
}

void TRukoBaseList::Commit(TRukoBaseList& fresh)
{
    ClearKeys();
    TakeFrom(fresh);
    std::vector<TComponentHandle> loaded;
    for (const TRukoObject* obj : items_)
        loaded.push_back(obj->Handle);
    for (TComponentHandle h : loaded)
        if (TRukoObject* obj = Resolve(h)) obj->AfterLoad();
}

} // namespace ruko
