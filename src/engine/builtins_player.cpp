// Functions that ask the running player: components, tables, histories, saved games, display
// modes and the call stack. Each answers FALSE, 0 or "" while its subsystem is missing.
#include "base/numtext.h"
#include "engine/builtins_support.h"

#include <algorithm>

namespace ruko::builtins {

namespace {

TBuiltinComponents& Components(TBuiltinServices& services)
{
    static TBuiltinComponents& none = *new TBuiltinComponents; // never destroyed
    return services.Components ? *services.Components : none;
}

std::string Name(const TFuncCall& call, size_t i = 0)
{
    return call.Arg(i).GetStr();
}

void ExistsBody(TFuncCall& call, TBuiltinServices& services)
{
    std::string name = Name(call);
    call.Result.Value->SetFlag(!name.empty() && Components(services).Exists(name));
}

void InPrimaryBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(Components(services).InPrimary(Name(call)));
}
void InCabinetBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(Components(services).InCabinet(Name(call)));
}

template <TItemState State> void GetStateBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(
        Components(services).GetItemState(Name(call), call.Arg(1), State).value_or(false));
}

// The setters' results: SetCheck and SetEnabled are integer rows, SetVisible and SetSelected flags.
template <TItemState State> void SetStateBody(TFuncCall& call, TBuiltinServices& services)
{
    bool done = Components(services).SetItemState(Name(call), call.Arg(1), State, call.Arg(2).GetFlag());
    if (BuiltinFunctions[call.Row].ResultKind == ptFlag) call.Result.Value->SetFlag(done);
}

void GetGroupIndexBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetInt(Components(services).GroupIndex(Name(call), call.Arg(1)).value_or(0));
}

void GetItemBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetStr(Components(services).ItemText(Name(call), call.Arg(1)).value_or(std::string()));
}

void IndexOfMenuBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetInt(Components(services).IndexOfMenu(Name(call), call.Arg(1).GetStr()));
}

void ListCompoBody(TFuncCall& call, TBuiltinServices& services)
{
    TCustomParam& target = RequireVariable(call, 0);
    int32_t kind = IntArg(call, 1, 0);
    if (kind >= 28 || kind < 0) kind = 0;
    std::vector<std::string> names =
        Components(services).List(kind, StrArg(call, 2, "ALL"), FlagArg(call, 3));
    StoreStringArray(target, names);
    call.Result.Value->SetInt(static_cast<int32_t>(names.size()));
}

template <bool Screen, bool Y> void ConvertBody(TFuncCall& call, TBuiltinServices& services)
{
    int32_t value = call.Arg(1).GetInt();
    auto converted = Screen ? Components(services).ToScreen(Name(call), value, Y)
                            : Components(services).ToClient(Name(call), value, Y);
    call.Result.Value->SetInt(converted.value_or(value));
}

void CreateObjectBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(
        Components(services).CreateObject(call.Arg(0).GetInt(), Name(call, 1), StrArg(call, 2)));
}

void DeleteObjectBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(Components(services).DeleteObject(Name(call)));
}

void GetImeOpenedBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(Components(services).ImeOpened(Name(call)).value_or(false));
}

void SetImeOpenedBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(Components(services).SetImeOpened(Name(call), call.Arg(1).GetFlag()));
}

// --- tables, histories, saves ---

void TableBody(TFuncCall& call, TBuiltinServices& services)
{
    if (services.Tables) {
        services.Tables(call);
        return;
    }
    NoteMissing("tables");
    SetZeroResult(call);
}

TBuiltinHistory* History(TBuiltinServices& services)
{
    if (!services.History) NoteMissing("message histories");
    return services.History;
}

void GetHistoryCountBody(TFuncCall& call, TBuiltinServices& services)
{
    History(services);
    std::optional<int32_t> count;
    if (services.History) count = services.History->Count(Name(call));
    call.Result.Value->SetInt(count.value_or(-1));
}

void GetHistoryMaxCountBody(TFuncCall& call, TBuiltinServices& services)
{
    History(services);
    std::optional<int32_t> count;
    if (services.History) count = services.History->MaxCount(Name(call));
    call.Result.Value->SetInt(count.value_or(-1));
}

void SetHistoryMaxCountBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(History(services) &&
                               services.History->SetMaxCount(Name(call), call.Arg(1).GetInt()));
}

void GetSaveCaptionBody(TFuncCall& call, TBuiltinServices& services)
{
    if (!services.SaveCaption) NoteMissing("saved games");
    call.Result.Value->SetStr(services.SaveCaption ? services.SaveCaption(call.Arg(0).GetInt())
                                                   : std::string());
}

void ListSaveCaptionBody(TFuncCall& call, TBuiltinServices& services)
{
    std::vector<TSaveSlotCaption> saves;
    if (services.SaveCaptions)
        saves = services.SaveCaptions();
    else
        NoteMissing("saved games");
    if (call.ArgCount() >= 2) {
        TCustomParam& captions = RequireVariable(call, 0);
        TCustomParam& slots = RequireVariable(call, 1);
        std::vector<std::string> texts, numbers;
        for (const TSaveSlotCaption& save : saves) {
            texts.push_back(save.Caption);
            numbers.push_back(IntToStr(save.Slot));
        }
        StoreStringArray(captions, texts);
        if (saves.empty()) {
            slots.SetInt(0);
        } else {
            slots.SetDims({static_cast<int32_t>(saves.size())});
            for (size_t i = 0; i < saves.size(); ++i)
                slots.SetIntAt(static_cast<int32_t>(i), saves[i].Slot);
        }
    }
    call.Result.Value->SetInt(static_cast<int32_t>(saves.size()));
}

// --- display modes, call stack ---

void GetDisplayModeBody(TFuncCall& call, TBuiltinServices& services)
{
    std::vector<std::array<int32_t, 4>> modes;
    if (services.DisplayModes) modes = services.DisplayModes();
    int32_t index = call.Arg(0).GetInt();
    if (index < 0 || static_cast<size_t>(index) >= modes.size()) {
        call.Result.Value->SetFlag(false);
        return;
    }
    for (size_t i = 0; i < 4; ++i)
        call.Arg(i + 1).SetInt(modes[static_cast<size_t>(index)][i]);
    call.Result.Value->SetFlag(true);
}

void DeleteStackBody(TFuncCall& call, TBuiltinServices& services)
{
    call.Result.Value->SetFlag(services.DeleteStack && services.DeleteStack(call.Arg(0).GetInt()));
}

} // namespace

void RegisterPlayerBuiltins(TRegistrar& r)
{
    r.Add("Exists", ExistsBody);
    r.Add("InPrimary", InPrimaryBody);
    r.Add("InCabinet", InCabinetBody);
    r.Add("GetCheck", GetStateBody<TItemState::Check>);
    r.Add("SetCheck", SetStateBody<TItemState::Check>);
    r.Add("GetEnabled", GetStateBody<TItemState::Enabled>);
    r.Add("SetEnabled", SetStateBody<TItemState::Enabled>);
    r.Add("GetVisible", GetStateBody<TItemState::Visible>);
    r.Add("SetVisible", SetStateBody<TItemState::Visible>);
    r.Add("GetSelected", GetStateBody<TItemState::Selected>);
    r.Add("SetSelected", SetStateBody<TItemState::Selected>);
    r.Add("GetGroupIndex", GetGroupIndexBody);
    r.Add("GetItem", GetItemBody);
    r.Add("IndexOfMenu", IndexOfMenuBody);
    r.Add("ListCompo", ListCompoBody);
    r.Add("ToClientX", ConvertBody<false, false>);
    r.Add("ToClientY", ConvertBody<false, true>);
    r.Add("ToScreenX", ConvertBody<true, false>);
    r.Add("ToScreenY", ConvertBody<true, true>);
    r.Add("CreateObject", CreateObjectBody);
    r.Add("DeleteObject", DeleteObjectBody);
    r.Add("GetImeOpened", GetImeOpenedBody);
    r.Add("SetImeOpened", SetImeOpenedBody);

    for (int row = 0; row < BuiltinFunctionCount; ++row)
        if (std::string_view(BuiltinFunctions[row].Name).substr(0, 2) == "DB")
            r.Add(BuiltinFunctions[row].Name, TableBody);
    r.Add("GetHistoryCount", GetHistoryCountBody);
    r.Add("GetHistoryMaxCount", GetHistoryMaxCountBody);
    r.Add("SetHistoryMaxCount", SetHistoryMaxCountBody);
    r.Add("GetSaveCaption", GetSaveCaptionBody);
    r.Add("ListSaveCaption", ListSaveCaptionBody);

    r.Add("GetDisplayMode", GetDisplayModeBody);
    r.Add("DeleteStack", DeleteStackBody);
}

} // namespace ruko::builtins
