// A host program with an appended archive from untrusted bytes: the trailer is either refused or
// leads to a directory that is read (or refused) like any other.
#include "archive/vrarchive.h"
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    TMemoryRangeSource file(std::vector<uint8_t>(data, data + size));
    int64_t offset = ReadTrailer(file);
    if (offset < 0) return 0;
    if (offset >= static_cast<int64_t>(size) - TrailerSize)
        __builtin_trap(); // the trailer must point before itself
    // The archive ends where the trailer begins, as when a title is opened.
    auto archiveBytes =
        std::make_shared<TMemoryRangeSource>(std::vector<uint8_t>(data, data + size - TrailerSize));
    TVrFileCollection archive;
    try {
        archive.OpenSource(archiveBytes, offset, "fuzz");
        for (int i = 0; i < archive.MemberCount(); ++i)
            archive.ReadFileBytes(archive.FileAt(i));
    } catch (const ERukoError&) {
    }
    return 0;
}
