#pragma once
// The compiler from expression text to step programs. It reduces the text piece by piece (string
// literals, function calls right to left, array elements, parentheses, then operators by
// precedence), naming every intermediate value with a temporary, and writes the stored form.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TKwBigStream;

struct TBuildOpeData
{
    uint8_t Op = 0;
    std::string Target;
    // Literal texts and names, classified only when written. For ocFunc operand 0 is the name.
    std::vector<std::string> Operands;
};

class TBuildRukoParser
{
  public:
    std::vector<TBuildOpeData> Steps;
    int32_t Counter = 0;

    // Errors: "構文エラー", "配列の添え字が不正です".
    void Parse(std::string_view text);
    // Errors: "\"%s\" 関数名がありません", name + " 引数の数が不正です".
    void WriteTo(TKwBigStream& s) const;
    std::string NewTempName();
    std::string NewElementName();
    void Clear();
};

} // namespace ruko
