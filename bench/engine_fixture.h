#pragma once
// A variable store, the built-ins and a call manager over pages compiled from scenario text: what
// the engine benchmarks run titles on.
#include "base/error.h"
#include "base/globals.h"
#include "base/processobject.h"
#include "base/text.h"
#include "engine/builtins.h"
#include "engine/callman.h"
#include "engine/scenario.h"
#include "params/functable.h"
#include "params/paramcollection.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ruko::bench {

inline std::map<std::string, std::vector<uint8_t>>
CompilePages(const std::map<std::string, std::string>& sources)
{
    std::vector<TScenarioSource> list;
    for (const auto& [page, text] : sources)
        list.push_back({page, page, text});
    std::vector<TCompiledPage> compiled;
    std::vector<TScenarioError> errors;
    if (!CompileScenarios(list, compiled, errors)) throw std::runtime_error(errors[0].Format());
    std::map<std::string, std::vector<uint8_t>> pages;
    for (TCompiledPage& page : compiled)
        pages[page.PageName] = std::move(page.Bytes);
    return pages;
}

// A variable store, the built-ins and a call manager over compiled pages.
struct TEngineFixture
{
    TProcessObject<TParamCollection> paramMan{ParamMan};
    TProcessObject<TSysFuncMan> sysFuncMan{SysFuncMan};
    TBuiltinServices services;
    TTimerList events;
    std::map<std::string, std::vector<uint8_t>> pages;
    std::unique_ptr<TSystemHost> systemHost;
    std::unique_ptr<TCallMan> calls;

    explicit TEngineFixture(const std::map<std::string, std::string>& sources) : pages(CompilePages(sources))
    {
        TerminateRequested = false;
        FrameDelta = 15;
        paramMan.Create();
        InstallBuiltins(sysFuncMan.Create(), services);
        TCallManHost host;
        host.LoadFile = [this](const std::string& name) { return pages.at(name); };
        host.FileAvailable = [this](const std::string& name) { return pages.count(name) != 0; };
        calls = std::make_unique<TCallMan>(std::move(host), events);
        BindCallManager(services, *calls);
        systemHost = MakeSystemHost(services);
        ParamMan->SetHost(systemHost.get());
    }
    ~TEngineFixture()
    {
        ParamMan->SetHost(nullptr);
        calls.reset();
        systemHost.reset();
        sysFuncMan.Reset();
        paramMan.Reset();
    }
    int32_t Int(const char* name) const { return ParamMan->Find(name)->Value->GetInt(); }
};

} // namespace ruko::bench
