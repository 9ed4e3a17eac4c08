// A save file from untrusted bytes, read as a start-up reads it: the directory, the status into
// a fresh store and table manager (committed only when read whole), the slot captions and the
// "save:" files. Every failure is a clean error; nothing crashes or hangs.
#include "archive/vrarchive.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "engine/savedata.h"
#include "params/paramcollection.h"
#include "records/dbmanager.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    auto source = std::make_shared<TMemoryRangeSource>(std::vector<uint8_t>(data, data + size));
    TVrFileCollection archive;
    try {
        archive.OpenSource(source, 0, "save.dat");
    } catch (const ERukoError&) {
        return 0;
    }
    TParamCollection store;
    TDBManager tables;
    if (const TVrFile* status = archive.FindFile(StatusMemberName)) {
        try {
            TStatusRecord record = ReadStatusRecord(archive.ReadFileBytes(*status), store);
            CommitStatusRecord(std::move(record), store, &tables, nullptr);
            WriteStatusRecord(store, &tables, false);
        } catch (const ERukoError&) {
        }
    }
    ReadSlotCaptions(archive);
    TVrFileManager files;
    CopySaveMembers(archive, files);
    return 0;
}
