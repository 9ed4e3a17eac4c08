#pragma once
// A command's compiled expression as the engine uses it: loaded from and saved to page records,
// run, and read as a value of the kind the command needs. "Yields nothing" (an empty program, or
// one whose evaluation failed) is distinct from every value.
#include "io/bigstream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TRukoParser;
class TCustomParam;

class TExpr
{
  public:
    TExpr();
    ~TExpr();
    TExpr(TExpr&&) noexcept;
    TExpr& operator=(TExpr&&) noexcept;

    void LoadFromStream(TKwBigStream& s);
    void SaveToStream(TKwBigStream& s) const;
    // Step count of the program; 0 for an empty expression.
    int StepCount() const;
    bool IsEmpty() const { return StepCount() == 0; }

    // Runs the program; the value it left, or none.
    const TCustomParam* Run() const;
    std::optional<bool> Flag() const;
    std::optional<int32_t> Int() const;
    std::optional<std::string> Str() const;

    TRukoParser& Program();
    const TRukoParser& Program() const;

    // The stored bytes of the program.
    std::vector<uint8_t> Bytes() const;

  private:
    // None for an empty program: pages hold many empty slots, which cost nothing this way.
    std::unique_ptr<TRukoParser> parser_;
};

// Compiles expression text (CP932) into the stored program form; raises the compiler's error.
std::vector<uint8_t> CompileExpression(std::string_view textCp932);

} // namespace ruko
