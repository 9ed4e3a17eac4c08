#include "engine/comschema.h"

#include <string_view>

namespace ruko {

namespace {

using K = TFieldKind;
using R = TFieldRole;

constexpr TFieldDef E(const char* name, int since = 0)
{
    return {K::Expr, R::Value, since, name};
}
constexpr TFieldDef Cond()
{
    return {K::Expr, R::Condition, 0, "if"};
}
constexpr TFieldDef Ref()
{
    return {K::Str, R::PageRef, 0, "page"};
}
constexpr TFieldDef RefIndex(int since = 0)
{
    return {K::Index, R::PageIndex, since, "index"};
}
constexpr TFieldDef Props()
{
    return {K::Props, R::Value, 0, "properties"};
}

std::vector<TCommandDef> BuildTable()
{
    std::vector<TCommandDef> t;
    auto add = [&](int code, const char* cls, const char* keyword, std::vector<TFieldDef> fields,
                   int cont = -1, bool disabled = false) {
        bool component = false;
        for (const TFieldDef& f : fields)
            component |= f.Kind == K::Props;
        t.push_back({code, cls, keyword, std::move(fields), cont, disabled, component});
    };
    add(0, "TComIf", "if", {{K::Expr, R::Value, 0, "condition"}});
    add(1, "TComElseif", "elseif", {{K::Expr, R::Value, 0, "condition"}});
    add(2, "TComElse", "else", {}, 1);
    add(3, "TComLabel", "label", {{K::Str, R::Value, 0, "name"}});
    add(4, "TComJump", "jump", {Ref(), RefIndex(), Cond()});
    add(5, "TComCall", "call",
        {Ref(),
         RefIndex(),
         {K::Str, R::ResultVar, 0, "result"},
         Cond(),
         {K::ExprList, R::CallArgs, 0, "args"}});
    add(6, "TComExit", "exit", {Cond()});
    add(7, "TComWait", "wait", {Cond(), E("time"), E("noevents", 107)});
    add(8, "TComBoxNew", "box", {Props()});
    add(9, "TComImgNew", "image", {Props()});
    add(10, "TComMesNew", "message", {Props()});
    add(11, "TComTimer", "timer", {Props()});
    add(12, "TComMovie", "movie", {Props()});
    add(13, "TComFlip", "flip",
        {E("kind"),
         E("duration"),
         E("mode"),
         E("selection"),
         {K::ExprList, R::Value, 0, "lists"},
         E("hiderest"),
         E("param1"),
         E("param2"),
         E("rule", 101),
         E("noevents", 107),
         E("diffonly", 117)});
    add(14, "TComCalc", "calc", {E("expression")});
    add(15, "TComVarNew", "var",
        {{K::Str, R::Value, 0, "name"},
         {K::Byte, R::Value, 0, "type"},
         E("initial"),
         {K::Byte, R::Value, 0, "placement"}});
    add(16, "TComVarDel", "vardel", {{K::Str, R::Value, 0, "name"}});
    add(17, "TComGetProp", "getprop", {E("object"), E("property"), {K::Str, R::Value, 0, "variable"}});
    add(18, "TComSetProp", "setprop", {E("object"), E("property"), E("value")});
    add(19, "TComObjDel", "delete", {E("object")});
    add(20, "TComTextIns", "text",
        {{K::Text, R::Value, 0, "text"}, E("target"), E("record"), E("wait"), E("noevents", 107)});
    add(21, "TComMovieStop", "stop", {E("object"), E("time"), E("wait"), E("noevents", 107)});
    add(22, "TComClrHist", "clearhistory", {});
    add(23, "TComCinema", "cinema", {Props()});
    add(24, "TComCaption", "caption", {Props()});
    add(25, "TComMenu", "menu", {Props()});
    add(26, "TComMenuClose", "closemenu", {E("object")});
    add(27, "TComComment", "comment", {{K::Str, R::Value, 0, "text"}}, 1, true);
    add(28, "TComTextClr", "clear", {E("target")});
    add(29, "TComCallHist", "showhistory",
        {E("target"), E("start"), E("count"), E("flag"), E("format", 111)});
    add(30, "TComBtnNew", "button", {Props()});
    add(31, "TComWhile", "while", {E("condition"), {K::Index, R::LoopIndex, 0, "end"}});
    add(32, "TComWhileInit", "whileinit", {E("expression")}, 1);
    add(33, "TComWhileLoop", "loop", {E("expression"), {K::Index, R::LoopIndex, 0, "head"}});
    add(34, "TComBreak", "break", {Cond(), {K::Index, R::LoopIndex, 0, "target"}});
    add(35, "TComContinue", "continue", {Cond(), {K::Index, R::LoopIndex, 0, "target"}});
    add(36, "TComParticleNew", "particle", {Props()});
    add(37, "TComFireNew", "fire", {Props()});
    add(38, "TComGameSave", "save", {E("slot"), Ref(), RefIndex(105), E("caption")}, 0);
    add(39, "TComGameLoad", "load", {E("slot")}, 0);
    add(40, "TComPCReset", "pcreset", {Ref(), RefIndex(), {K::Byte, R::Flag, 0, "all"}});
    add(41, "TComReset", "reset", {Ref(), RefIndex(), {K::Byte, R::Flag, 0, "unused"}});
    add(42, "TComSound", "sound", {Props()});
    add(43, "TComEditNew", "edit", {Props()});
    add(44, "TComMemoNew", "memo", {Props()});
    add(45, "TComTerminate", "terminate", {});
    add(46, "TComDoEvent", "doevents", {}, 0);
    add(47, "TComClrRead", "clearread", {});
    add(48, "TComMapImgNew", "mapimage", {Props()});
    add(49, "TComWaveNew", "wave", {Props()});
    add(50, "TComTileNew", "tile", {Props()});
    add(51, "TComSliderNew", "slider", {Props()});
    add(52, "TComScrollbarNew", "scrollbar", {Props()});
    add(53, "TComGaugeNew", "gauge", {Props()});
    add(54, "TComCGCaption", "cglabel", {Props()});
    add(55, "TComMediaPlay", "play", {E("object")});
    add(56, "TComPrevMenuNew", "prevmenu", {Props()});
    add(57, "TComPropMotion", "motion",
        {E("name"), E("target"), E("property"), E("value"), E("duration"), E("kind"), E("flag", 108)});
    add(58, "TComEntryHist", "historyformat", {E("source"), E("format", 111)});
    add(59, "TComCabinetSave", "cabinetsave", {Props(), E("invert"), {K::ExprList, R::Value, 0, "names"}});
    add(60, "TComCabinetLoad", "cabinetload", {Props(), E("invert"), {K::ExprList, R::Value, 0, "names"}});
    return t;
}

const std::vector<TCommandDef>& Table()
{
    static const std::vector<TCommandDef> table = BuildTable();
    return table;
}

} // namespace

const TCommandDef& CommandDef(int code)
{
    return Table().at(static_cast<size_t>(code));
}

int CommandCodeOf(std::string_view keyword)
{
    for (const TCommandDef& def : Table())
        if (keyword == def.Keyword) return def.Code;
    return -1;
}

} // namespace ruko
