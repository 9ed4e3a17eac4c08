#include "shell/runobjects.h"

#include <cstdio>

#include "archive/vrfiles.h"
#include "engine/objcommands.h"
#include "engine/runtime.h"
#include "graphics/bromcache.h"

namespace ruko {

TRunObjects::TRunObjects() : Files(FileManager), Pictures(BromMan) {}

TRunObjects::~TRunObjects()
{
    FreeProject();
    FreeVariableStore();
    FreeComponents();
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

void TRunObjects::FreeDataSources()
{
    // The engine's last part, its event queue, outlives the component list that posts into it.
    Engine.reset();
    Files.Reset();
    RemoveFilesDeletedAtExit();
}

void TRunObjects::RemoveFilesDeletedAtExit()
{
    for (const std::string& path : DeletedAtExit)
        std::remove(path.c_str());
    DeletedAtExit.clear();
}

} // namespace ruko
