// The binary layered-picture container of every version: the first byte chooses the load options
// and the version, the rest follows the "Brom" magic and its digits.
#include "fuzz_brom_support.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace ruko;

namespace {

const int Versions[8] = {0, 99, 100, 101, 102, 103, 104, 105};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    fuzz::TLoadOptions options(data[0]);
    int version = Versions[data[1] & 7];
    std::vector<uint8_t> bytes;
    if (version > 0) {
        char magic[8];
        std::snprintf(magic, sizeof magic, "Brom%03d", version);
        bytes.assign(magic, magic + 7);
    }
    bytes.insert(bytes.end(), data + 2, data + size);
    fuzz::LoadAndExercise(std::move(bytes), options);
    return 0;
}
