#include "shell/runobjects.h"

#include <cstdio>

#include "archive/vrfiles.h"
#include "engine/objcommands.h"
#include "engine/runtime.h"
#include "graphics/bromcache.h"
#include "media/mediaitem.h"
#include "media/midiplay.h"
#include "media/wavout.h"
#include "records/dbmanager.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

namespace ruko {

TRunObjects::TRunObjects()
    : Files(FileManager), Pictures(BromMan), Tables(DBManager), PixelFonts(PixelFontMan),
      Glyphs(FontPixelMan), WmpItems(WmpMan), OggItems(OggMan), MidiItems(MidiMan)
{
}

TRunObjects::~TRunObjects()
{
    FreeProject();
    FreeVariableStore();
    FreeComponents();
    FreeMedia();
    FreeDataSources();
}

void TRunObjects::FreeProject()
{
    if (Engine) Engine->FreeProject();
}

void TRunObjects::FreeVariableStore()
{
    if (Engine) Engine->FreeVariableStore();
}

void TRunObjects::FreeComponents()
{
    Components.reset();
    Pictures.Reset();
}

void TRunObjects::FreeMedia()
{
    WmpItems.Reset();
    OggItems.Reset();
    MidiItems.Reset();
    if (Mixer && Midi) Mixer->RemoveSynth(Midi.get());
    Midi.reset();
    if (Mixer) Mixer->Close();
    Mixer.reset();
}

void TRunObjects::FreeDataSources()
{
    // The engine's last part, its event queue, outlives the component list that posts into it.
    Engine.reset();
    Files.Reset();
    // Tables outlive every project of the run and the persistent status written at its end.
    Tables.Reset();
    Glyphs.Reset();
    PixelFonts.Reset();
    RemoveFilesDeletedAtExit();
}

void TRunObjects::RemoveFilesDeletedAtExit()
{
    for (const std::string& path : DeletedAtExit)
        std::remove(path.c_str());
    DeletedAtExit.clear();
}

} // namespace ruko
