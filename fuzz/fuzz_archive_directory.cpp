// An archive directory from untrusted bytes: reading it either fails with an error or yields
// members that can all be read, ranged and listed without a crash.
#include "archive/vrarchive.h"
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    auto source = std::make_shared<TMemoryRangeSource>(std::vector<uint8_t>(data, data + size));
    TVrFileCollection archive;
    try {
        archive.OpenSource(source, 0, "fuzz");
    } catch (const ERukoError&) {
        return 0;
    }
    std::vector<std::string> listed;
    archive.ListFolder("", listed);
    for (int i = 0; i < archive.MemberCount(); ++i) {
        const TVrFile& file = archive.FileAt(i);
        try {
            archive.ReadFileBytes(file);
        } catch (const ERukoError&) {
        }
        try {
            if (auto range = archive.OpenRange(file.Name())) {
                uint8_t buffer[64];
                range->Seek(-16, TSeekOrigin::End);
                range->Read(buffer, sizeof buffer);
            }
        } catch (const ERukoError&) {
        }
    }
    return 0;
}
