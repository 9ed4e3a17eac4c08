#include "shell/mediahooks.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "engine/runtime.h"
#include "media/mediaitem.h"
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
        // The managers in their order: (movies,) Windows Media, Ogg, (CD audio,) MIDI.
        const TVolumeLaw law = context.Options.UseDirectSound ? TVolumeLaw::Decibels : TVolumeLaw::Linear;
        run->WmpItems.Create(run->Mixer.get(), law);
        run->OggItems.Create(run->Mixer.get(), law);
        run->MidiItems.Create(run->Midi.get());
        if (run->Engine) {
            TBuiltinServices& services = run->Engine->Services();
            services.MidiPort = [] {
                return MidiMan ? MidiMan->DeviceName(MidiMan->CurrentDevice()) : std::string();
            };
            services.MidiPorts = [] {
                std::vector<std::string> ports;
                for (int i = 0; MidiMan && i < MidiMan->DeviceCount(); ++i)
                    ports.push_back(MidiMan->DeviceName(i));
                return ports;
            };
            services.SetMidiPort = [](const std::string& name) {
                if (MidiMan) MidiMan->SelectDevice(name);
            };
        }
    };
    hooks.PauseMedia = [] { SuspendAllMedia(); };
    hooks.ResumeMedia = [] { ResumeAllMedia(); };
    hooks.FinalizeMedia = [run] {
        if (run->Engine) {
            TBuiltinServices& services = run->Engine->Services();
            services.MidiPort = nullptr;
            services.MidiPorts = nullptr;
            services.SetMidiPort = nullptr;
        }
        run->FreeMedia();
    };
}

} // namespace ruko
