#include "engine/expr.h"

#include "archive/fields.h"
#include "params/buildparser.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"

namespace ruko {

TExpr::TExpr() : parser_(std::make_unique<TRukoParser>()) {}
TExpr::~TExpr() = default;
TExpr::TExpr(TExpr&&) noexcept = default;
TExpr& TExpr::operator=(TExpr&&) noexcept = default;

void TExpr::LoadFromStream(TKwBigStream& s)
{
    parser_->LoadFromStream(s);
}

void TExpr::SaveToStream(TKwBigStream& s) const
{
    parser_->SaveToStream(s);
}

int TExpr::StepCount() const
{
    return static_cast<int>(parser_->Steps.size());
}

const TCustomParam* TExpr::Run() const
{
    if (parser_->Steps.empty() || !ParamMan) return nullptr;
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
    parser_->SaveToStream(s);
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
