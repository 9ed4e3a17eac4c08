// rukotool compile / dump: scenario sources to pages and back.
#include "command.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/text.h"
#include "engine/page.h"
#include "engine/scenario.h"
#include "io/bigstream.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace ruko::tool {

namespace {

namespace fs = std::filesystem;

// "intro.rss" → "intro.rsb": the page name scripts use.
std::string PageNameOf(const fs::path& source)
{
    return source.stem().string() + ".rsb";
}

int Compile(const std::vector<std::string>& args)
{
    std::vector<std::string> inputs;
    std::string outDir;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (++i >= args.size()) throw EUsage{"-o needs a folder"};
            outDir = args[i];
        } else {
            inputs.push_back(args[i]);
        }
    }
    if (inputs.empty() || outDir.empty()) throw EUsage{"expected SRC... -o DIR"};
    std::vector<TScenarioSource> sources;
    for (const std::string& input : inputs) {
        TScenarioSource source;
        source.FileName = input;
        source.PageName = PageNameOf(input);
        if (!ReadHostFile(input, source.Text)) RaiseError(Utf8ToCp932(input + ":ファイルがありません"));
        sources.push_back(std::move(source));
    }
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    if (!CompileScenarios(sources, pages, errors)) {
        for (const TScenarioError& error : errors)
            std::fprintf(stderr, "%s\n", error.Format().c_str());
        std::fprintf(stderr, "rukotool compile: %zu error(s); nothing written\n", errors.size());
        return 1;
    }
    fs::create_directories(outDir);
    for (const TCompiledPage& page : pages) {
        fs::path out = fs::path(outDir) / Cp932ToUtf8(page.PageName);
        if (!WriteHostFileAtomic(
                out.string(),
                std::string_view(reinterpret_cast<const char*>(page.Bytes.data()), page.Bytes.size())))
            RaiseError(Utf8ToCp932(out.string() + ":書き込めません"));
    }
    return 0;
}

int Dump(const std::vector<std::string>& args)
{
    if (args.size() != 1) throw EUsage{"expected one page file"};
    const fs::path path = args[0];
    std::map<std::string, std::unique_ptr<TPage>> others;
    auto load = [](const fs::path& file, const std::string& name) {
        std::string bytes;
        if (!ReadHostFile(file.string(), bytes)) return std::unique_ptr<TPage>();
        auto page = std::make_unique<TPage>();
        page->LoadFromBytes(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return page;
    };
    std::unique_ptr<TPage> page = load(path, Utf8ToCp932(path.filename().string()));
    if (!page) RaiseError(Utf8ToCp932(path.string() + ":ファイルがありません"));
    // Targets in pages beside this one print as labels.
    auto find = [&](const std::string& name) -> const TPage* {
        auto it = others.find(name);
        if (it == others.end()) {
            std::unique_ptr<TPage> other;
            try {
                other = load(path.parent_path() / Cp932ToUtf8(name), name);
            } catch (const ERukoError&) {
            }
            it = others.emplace(name, std::move(other)).first;
        }
        return it->second.get();
    };
    std::string text = DumpPage(*page, find);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

const TToolCommandRegistrar compileCommand({"compile", "compile SRC... -o DIR",
                                            "compile scenario sources (UTF-8) into .rsb pages", Compile});
const TToolCommandRegistrar dumpCommand({"dump", "dump PAGE.rsb", "print a page as scenario source", Dump});

} // namespace

} // namespace ruko::tool
