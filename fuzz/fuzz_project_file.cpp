// "ruko.rpb" from untrusted bytes: the settings are read whole (screen sizes in range) or refused;
// settings that were read write back and read again unchanged.
#include "base/error.h"
#include "engine/project.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ruko;
    TKwBigMemoryStream input(std::vector<uint8_t>(data, data + size));
    TProjectSetting setting;
    try {
        setting.LoadFromStream(input);
    } catch (const ERukoError&) {
        return 0;
    }
    if (setting.ScreenWidth < 1 || setting.ScreenWidth > TProjectSetting::MaxScreenSize ||
        setting.ScreenHeight < 1 || setting.ScreenHeight > TProjectSetting::MaxScreenSize)
        __builtin_trap();
    // What was read writes back to bytes that read to the same settings.
    std::vector<uint8_t> written = setting.SaveToBytes();
    TKwBigMemoryStream again(written);
    TProjectSetting reread;
    reread.LoadFromStream(again);
    if (again.Remaining() != 0 || reread.SaveToBytes() != written) __builtin_trap();
    return 0;
}
