#pragma once
// Inflating a zlib stream that is wholly in memory, in one pass (libdeflate). Streamed reads, where
// the input arrives in pieces, stay on zlib.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruko {

// The plain bytes of the zlib stream at `bytes`. Bytes after the stream's end are ignored; a
// broken or truncated stream, or one inflating to more than `limit` bytes, raises the
// damaged-file error. `guess` is where the output buffer starts (it grows as needed).
std::vector<uint8_t> InflateWhole(const uint8_t* bytes, size_t size, size_t limit, size_t guess);

} // namespace ruko
