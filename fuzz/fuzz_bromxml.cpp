// The XML layered-picture container. The document arrives uncompressed so the fuzzer can shape
// it: byte 0 = load options, bytes 1–2 = document length n (little-endian), then n bytes of
// document, then the layer data. The target compresses the document as the container stores it.
#include "fuzz_brom_support.h"

#include <zlib.h>

#include <vector>

using namespace ruko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    fuzz::TLoadOptions options(data[0]);
    size_t length = std::min<size_t>(data[1] | data[2] << 8, size - 3);
    uLongf packedSize = compressBound(uLong(length));
    std::vector<uint8_t> packed(packedSize);
    if (compress(packed.data(), &packedSize, data + 3, uLong(length)) != Z_OK) return 0;
    std::vector<uint8_t> bytes{'B', 'r', 'o', 'm', 'X', '2', '0', '0'};
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(uint8_t(packedSize >> shift));
    bytes.insert(bytes.end(), packed.begin(), packed.begin() + packedSize);
    bytes.insert(bytes.end(), data + 3 + length, data + size);

    fuzz::LoadAndExercise(std::move(bytes), options);
    return 0;
}
