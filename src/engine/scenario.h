#pragma once
// Scenario sources: the readable text form of pages (see docs/scenario-language.md). Sources are
// UTF-8; pages hold CP932. Compiling checks every line and reports every error with its
// position; it produces pages only when there was none. Dumping a page gives source text that
// compiles back to the same bytes.
#include "engine/page.h"

#include <functional>
#include <string>
#include <vector>

namespace ruko {

struct TScenarioSource
{
    std::string FileName; // shown in error messages
    std::string PageName; // the page file name scripts refer to, e.g. "main.rsb" (UTF-8)
    std::string Text;     // UTF-8
};

struct TScenarioError
{
    std::string FileName;
    int Line = 0;
    int Column = 0;
    std::string Message; // UTF-8

    std::string Format() const; // "file:line:column: message"
};

struct TCompiledPage
{
    std::string PageName; // CP932
    std::vector<uint8_t> Bytes;
};

// Compiles the sources together (labels of one page may be targets of another). Returns false
// and fills `errors` when anything is wrong; `pages` is then left empty.
bool CompileScenarios(const std::vector<TScenarioSource>& sources, std::vector<TCompiledPage>& pages,
                      std::vector<TScenarioError>& errors);

// The source text of a page. `findPage` gives other pages by name (for label names of jump
// targets); it may answer null, and targets then print as positions.
std::string DumpPage(const TPage& page, const std::function<const TPage*(const std::string&)>& findPage);

// Expression program as source text (CP932), or the exact hexadecimal form "{#...}" when no text
// compiles back to the same program.
std::string ExpressionText(const TExpr& expr);

} // namespace ruko
