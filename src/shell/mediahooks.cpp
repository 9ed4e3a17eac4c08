#include "shell/mediahooks.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "media/midiplay.h"
#include "media/wavout.h"

namespace ruko {
namespace {

// The sound objects of this run, created and freed by the hooks in the start-up order.
struct TSound
{
    std::unique_ptr<TWavOut> Mixer;
    std::unique_ptr<TMidiPlayV> Midi;
};
TSound Sound;

// game.ini names its soundfont as a title path: relative to the title's folder, '\' or '/'.
std::string IniSoundFont(const TStartContext& context)
{
    std::string path = Cp932ToUtf8(context.Options.SoundFontCp932);
    if (path.empty()) return path;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.front() == '/' ? path : context.BaseFolder + path;
}

} // namespace

TWavOut* SoundMixer()
{
    return Sound.Mixer.get();
}

TMidiPlayV* MidiPlayer()
{
    return Sound.Midi.get();
}

void InstallMediaHooks(TGameHooks& hooks)
{
    hooks.InitializeSound = [](TStartContext& context) {
        TAudioOutput& output = context.Platform.Audio();
        output.Open();
        Sound.Mixer = std::make_unique<TWavOut>(context.Options.SoundDelayTime);
        Sound.Mixer->Open(output);
    };
    hooks.InitializeMedia = [](TStartContext& context, const TProjectInfo&) {
        const std::string font = ChooseSoundFont(context.SoundFontFile, IniSoundFont(context));
        if (!context.SoundFontFile.empty() && font != context.SoundFontFile)
            std::fprintf(stderr, "rukoplay: no soundfont %s; using %s\n", context.SoundFontFile.c_str(),
                         font.empty() ? "none" : font.c_str());
        Sound.Midi = std::make_unique<TMidiPlayV>(font, true);
        if (Sound.Mixer) Sound.Mixer->AddSynth(Sound.Midi.get());
    };
    hooks.FinalizeMedia = [] {
        if (Sound.Mixer && Sound.Midi) Sound.Mixer->RemoveSynth(Sound.Midi.get());
        Sound.Midi.reset();
        if (Sound.Mixer) Sound.Mixer->Close();
        Sound.Mixer.reset();
    };
}

} // namespace ruko
