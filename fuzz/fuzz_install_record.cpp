// "install.dat" from untrusted bytes: a record is read whole or refused; a record that was read
// writes back to bytes that read to the same fields.
#include "archive/header.h"
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    TKwBigMemoryStream input(std::vector<uint8_t>(data, data + size));
    TRukoInstallSet install;
    try {
        install.LoadFromStream(input);
    } catch (const ERukoError&) {
        return 0;
    }
    if (install.Version == 0) return 0; // without the magic, a disk number beginning "is" reads differently
    std::vector<uint8_t> written = install.SaveToBytes();
    TKwBigMemoryStream again(written);
    TRukoInstallSet reread;
    reread.LoadFromStream(again);
    if (again.Remaining() != 0 || reread.SaveToBytes() != written || reread.Title != install.Title ||
        reread.AllInstalled != install.AllInstalled)
        __builtin_trap();
    return 0;
}
