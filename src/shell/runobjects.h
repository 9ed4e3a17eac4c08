#pragma once
// The process-wide objects of one run. They live here, on the player's stack, and never in static
// storage: the start-up hooks create them, the teardown hooks free them in the player's order, and
// the destructor frees whatever a failed start-up left, in the same order.
#include <memory>
#include <string>
#include <vector>

#include "base/processobject.h"

namespace ruko {

class TBromCollection;
class TComponentList;
class TDBManager;
class TEngine;
class TFontPixelManager;
class TMidiManager;
class TMidiPlayV;
class TOggManager;
class TPixelFontManager;
class TVrFileManager;
class TWavOut;
class TWmpManager;

struct TRunObjects
{
    TRunObjects();
    ~TRunObjects();
    TRunObjects(const TRunObjects&) = delete;
    TRunObjects& operator=(const TRunObjects&) = delete;

    // Teardown, in this order; each is a no-op once done.
    void FreeProject();       // exit page, persistent status
    void FreeVariableStore(); // built-in functions, then variables
    void FreeComponents();    // the component list, then the image cache
    void FreeMedia();         // the media managers, the MIDI player, then the mixer and its output
    void FreeDataSources();   // the engine's event queue, the file manager, tables, fonts, the files
                              // removed at exit
    void RemoveFilesDeletedAtExit();

    TProcessObject<TVrFileManager> Files;         // FileManager
    std::unique_ptr<TEngine> Engine;              // the event queue, ParamMan, SysFuncMan, Project
    std::unique_ptr<TComponentList> Components;   // Bases
    TProcessObject<TBromCollection> Pictures;     // BromMan, the image cache
    TProcessObject<TDBManager> Tables;            // DBManager
    TProcessObject<TPixelFontManager> PixelFonts; // PixelFontMan
    TProcessObject<TFontPixelManager> Glyphs;     // FontPixelMan, after the pixel fonts it reads
    std::unique_ptr<TWavOut> Mixer;               // from InitializeSound
    std::unique_ptr<TMidiPlayV> Midi;             // from InitializeMedia, mixed by Mixer
    TProcessObject<TWmpManager> WmpItems;         // WmpMan, from InitializeMedia
    TProcessObject<TOggManager> OggItems;         // OggMan, from InitializeMedia
    TProcessObject<TMidiManager> MidiItems;       // MidiMan, playing through Midi
    std::vector<std::string> DeletedAtExit;       // host files the title asked to remove at the end
    std::string ShownCursor;                      // the cursor file the pointer shows
};

} // namespace ruko
