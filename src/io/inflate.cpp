#include "io/inflate.h"

#include "base/error.h"
#include "base/text.h"
#include "io/fields.h"

#include <algorithm>
#include <libdeflate.h>
#include <memory>

namespace ruko {

std::vector<uint8_t> InflateWhole(const uint8_t* bytes, size_t size, size_t limit, size_t guess)
{
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> inflater(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!inflater) RaiseError(Utf8ToCp932("メモリが足りません"));
    // The plain size is not stored: the output grows until the stream fits or needs more than
    // the limit (one byte past it is enough to tell).
    std::vector<uint8_t> out;
    size_t capacity = std::min(limit + 1, std::max<size_t>(guess, 1));
    for (;;) {
        out.resize(capacity);
        size_t used = 0, produced = 0;
        libdeflate_result result = libdeflate_zlib_decompress_ex(inflater.get(), bytes, size, out.data(),
                                                                 capacity, &used, &produced);
        if (result == LIBDEFLATE_SUCCESS && produced <= limit) {
            out.resize(produced);
            if (out.capacity() > 2 * produced + 65536) out.shrink_to_fit();
            return out;
        }
        if (result != LIBDEFLATE_INSUFFICIENT_SPACE || capacity > limit) RaiseDamaged();
        capacity = capacity > (limit + 1) / 4 ? limit + 1 : capacity * 4;
    }
}

} // namespace ruko
