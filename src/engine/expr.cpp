#include "engine/expr.h"

#include "io/fields.h"
#include "params/buildparser.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

namespace ruko {

TExpr::TExpr() = default;
TExpr::~TExpr() = default;
TExpr::TExpr(TExpr&&) noexcept = default;
TExpr& TExpr::operator=(TExpr&&) noexcept = default;

void TExpr::LoadFromStream(TKwBigStream& s)
{
    // Most stored expressions are empty (a step count of 0): those need no program at all.
    const int64_t start = s.GetPosition();
    if (ReadU32(s) == 0) {
        parser_.reset();
        return;
    }
    s.SetPosition(start);
    auto program = std::make_unique<TRukoParser>();
    program->LoadFromStream(s);
    if (program->Steps.empty())
        parser_.reset();
    else
        parser_ = std::move(program);
}

void TExpr::SaveToStream(TKwBigStream& s) const
{
    Program().SaveToStream(s);
}

int TExpr::StepCount() const
{
    return parser_ ? static_cast<int>(parser_->Steps.size()) : 0;
}

TRukoParser& TExpr::Program()
{
    if (!parser_) parser_ = std::make_unique<TRukoParser>();
    return *parser_;
}

const TRukoParser& TExpr::Program() const
{
    static const TRukoParser& empty = *new TRukoParser; // never destroyed
    return parser_ ? *parser_ : empty;
}

const TCustomParam* TExpr::Run() const
{
    if (!parser_ || parser_->Steps.empty() || !ParamMan) return nullptr;
    parser_->Execute(*ParamMan);
    return parser_->Result.get();
}

std::optional<bool> TExpr::Flag() const
{
    const TCustomParam* v = Run();
    return v ? std::optional<bool>(v->GetFlag()) : std::nullopt;
}

std::optional<int32_t> TExpr::Int() const
{
    const TCustomParam* v = Run();
    return v ? std::optional<int32_t>(v->GetInt()) : std::nullopt;
}

std::optional<std::string> TExpr::Str() const
{
    const TCustomParam* v = Run();
    return v ? std::optional<std::string>(v->GetStr()) : std::nullopt;
}

std::vector<uint8_t> TExpr::Bytes() const
{
    TKwBigMemoryStream s;
    Program().SaveToStream(s);
    return s.TakeBytes();
}

std::vector<uint8_t> CompileExpression(std::string_view textCp932)
{
    TBuildRukoParser builder;
    TKwBigMemoryStream s;
    builder.Parse(textCp932);
    builder.WriteTo(s);
    return s.TakeBytes();
}

} // namespace ruko
