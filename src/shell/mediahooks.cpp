#include "shell/mediahooks.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "media/midiplay.h"
#include "media/wavout.h"
#include "shell/runobjects.h"

namespace ruko {
namespace {

// game.ini names its soundfont as a title path: relative to the title's folder, '\' or '/'.
std::string IniSoundFont(const TStartContext& context)
{
    std::string path = Cp932ToUtf8(context.Options.SoundFontCp932);
    if (path.empty()) return path;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.front() == '/' ? path : context.BaseFolder + path;
}

} // namespace

void InstallMediaHooks(TGameHooks& hooks, TRunObjects& objects)
{
    TRunObjects* run = &objects;
    hooks.InitializeSound = [run](TStartContext& context) {
        TAudioOutput& output = context.Platform.Audio();
        output.Open();
        run->Mixer = std::make_unique<TWavOut>(context.Options.SoundDelayTime);
        run->Mixer->Open(output);
    };
    hooks.InitializeMedia = [run](TStartContext& context, const TProjectInfo&) {
        const std::string font = ChooseSoundFont(context.SoundFontFile, IniSoundFont(context));
        if (!context.SoundFontFile.empty() && font != context.SoundFontFile)
            std::fprintf(stderr, "rukoplay: no soundfont %s; using %s\n", context.SoundFontFile.c_str(),
                         font.empty() ? "none" : font.c_str());
        run->Midi = std::make_unique<TMidiPlayV>(font, true);
        if (run->Mixer) run->Mixer->AddSynth(run->Midi.get());
    };
    hooks.FinalizeMedia = [run] { run->FreeMedia(); };
}

} // namespace ruko
