#include "shell/options.h"

#include <algorithm>

#include "base/error.h"
#include "base/inifile.h"
#include "base/text.h"
#include "platform/hostenv.h"

namespace ruko {

int ClampDelayTime(int value)
{
    return std::clamp(value / 100 * 100, 100, 500);
}

void ReadGameOptions(const TIniFile& ini, TGameOptions& options)
{
    options.UseDirectSound = ini.ReadBool("Sound", "DirectSound", true);
    options.SoundDelayTime = ClampDelayTime(ini.ReadInteger("Sound", "DelayTime", options.SoundDelayTime));
    options.SoundFontCp932 = ini.ReadString("Sound", "SoundFont", options.SoundFontCp932);
    options.UseWMP = ini.ReadBool("Video", "UseWMP", options.UseWMP);
    options.FontDefaultOnly = ini.ReadBool("Font", "DefaultOnly", false);
}

std::string RunMutexName(std::string_view baseCp932)
{
    std::string name = UpperCaseText(baseCp932);
    if (!EndsWithSeparator(name)) name += '\\';
    // Trail bytes of double-byte characters may be 0x5C too; only real separators change.
    std::string out;
    for (size_t pos = 0; pos < name.size();) {
        size_t length = CharLength(name, pos);
        if (length == 1 && name[pos] == '\\')
            out += '-';
        else
            out.append(name, pos, length);
        pos += length;
    }
    return out;
}

std::string RunMutexNameForHostPath(const std::string& hostPath)
{
    std::string path = CanonicalHostPath(hostPath);
    std::replace(path.begin(), path.end(), '/', '\\');
    std::string cp932;
    if (TryUtf8ToCp932(path, cp932)) return Cp932ToUtf8(RunMutexName(cp932));
    // Names CP932 cannot hold are folded as UTF-8: only single bytes A..Z, a..z change.
    if (path.empty() || path.back() != '\\') path += '\\';
    for (char& c : path) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '\\') c = '-';
    }
    return path;
}

std::string ExitQuestion(bool japanese, const std::string& titleCp932)
{
    if (japanese) return Utf8ToCp932("「") + titleCp932 + Utf8ToCp932("」を終了しますか？");
    return "Do you want to exit " + titleCp932 + "?";
}

} // namespace ruko
