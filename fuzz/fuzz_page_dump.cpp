// Page files as scenario source: a page that loads dumps to text that compiles back to the same
// bytes as the page writes.
#include "base/error.h"
#include "engine/page.h"
#include "engine/scenario.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPage page;
    try {
        page.LoadFromBytes("fuzz.rsb", std::vector<uint8_t>(data, data + size));
    } catch (const ERukoError&) {
        return 0;
    }
    if (page.Version > NewestPageVersion)
        return 0; // read as an empty page; sources only name the versions that are read
    const std::vector<uint8_t> written = page.SaveToBytes();
    const std::string text = DumpPage(page, [](const std::string&) { return nullptr; });
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    if (!CompileScenarios({{"fuzz.rss", "fuzz.rsb", text}}, pages, errors)) {
        std::fprintf(stderr, "%s\n---\n%s\n", errors[0].Format().c_str(), text.c_str());
        std::abort();
    }
    if (pages[0].Bytes != written) {
        std::fprintf(stderr, "differs:\n%s\n", text.c_str());
        std::abort();
    }
    return 0;
}
