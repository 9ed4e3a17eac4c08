// Page files: read, write, read again; what was accepted once must load again to the same bytes.
#include "base/error.h"
#include "engine/page.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TPage page;
    try {
        page.LoadFromBytes("fuzz.rsb", std::vector<uint8_t>(data, data + size));
    } catch (const ERukoError&) {
        if (page.Commands.Count() != 0) std::abort(); // a failed load leaves the page empty
        return 0;
    }
    const std::vector<uint8_t> written = page.SaveToBytes();
    TPage again;
    again.LoadFromBytes("fuzz.rsb", written);
    if (again.SaveToBytes() != written) std::abort();
    return 0;
}
