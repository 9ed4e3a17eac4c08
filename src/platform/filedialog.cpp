#include "platform/filedialog.h"

#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ruko {
namespace {

// Splits at '|' (descriptions and pattern lists alternate).
std::vector<std::string> FilterParts(const std::string& filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size() && !filter.empty()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    return parts;
}

// "*.txt;*.doc" as the tools want it: "*.txt *.doc".
std::string Patterns(std::string patterns)
{
    for (char& c : patterns)
        if (c == ';') c = ' ';
    return patterns;
}

// Runs the tool and collects what it prints; nullopt when it fails or is cancelled.
std::optional<std::string> Capture(const std::string& path, const std::vector<std::string>& args)
{
    int out[2];
    if (pipe(out) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // The toolkits' own warnings are not the player's to show.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", 0, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    int spawned = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        // A path is short; the cap only guards against a tool that never stops talking.
        while ((n = read(out[0], buffer, sizeof buffer)) > 0 && text.size() < (1u << 20))
            text.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    if (spawned != 0) return std::nullopt;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.empty()) return std::nullopt;
    return text;
}

} // namespace

std::vector<std::string> ZenityArguments(TFileDialogKind kind, const std::string& filterUtf8)
{
    std::vector<std::string> args = {"--file-selection"};
    if (kind == TFileDialogKind::Save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    } else if (kind == TFileDialogKind::Folder) {
        args.push_back("--directory");
    }
    if (kind != TFileDialogKind::Folder) {
        std::vector<std::string> parts = FilterParts(filterUtf8);
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            args.push_back("--file-filter=" + parts[i] + " | " + Patterns(parts[i + 1]));
    }
    return args;
}

std::vector<std::string> KdialogArguments(TFileDialogKind kind, const std::string& filterUtf8)
{
    if (kind == TFileDialogKind::Folder) return {"--getexistingdirectory", "."};
    std::string filter;
    std::vector<std::string> parts = FilterParts(filterUtf8);
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        filter += (filter.empty() ? "" : "\n") + Patterns(parts[i + 1]) + "|" + parts[i];
    std::vector<std::string> args = {
        kind == TFileDialogKind::Save ? "--getsavefilename" : "--getopenfilename", "."};
    if (!filter.empty()) args.push_back(filter);
    return args;
}

std::string FindOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t colon = folders.find(':', start);
        if (colon == std::string::npos) colon = folders.size();
        std::string folder = folders.substr(start, colon - start);
        start = colon + 1;
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::string();
}

std::optional<std::string> RunDesktopFileDialog(TFileDialogKind kind, const std::string& filterUtf8)
{
    std::optional<std::string> chosen;
    if (std::string zenity = FindOnPath("zenity"); !zenity.empty()) {
        chosen = Capture(zenity, ZenityArguments(kind, filterUtf8));
    } else if (std::string kdialog = FindOnPath("kdialog"); !kdialog.empty()) {
        chosen = Capture(kdialog, KdialogArguments(kind, filterUtf8));
    } else {
        static bool told = false;
        if (!told) {
            std::fprintf(stderr, "rukoplay: no file dialog on this desktop (install zenity or kdialog); "
                                 "the title sees the dialog cancelled\n");
            told = true;
        }
        return std::nullopt;
    }
    if (chosen && kind == TFileDialogKind::Folder && chosen->back() != '/') *chosen += '/';
    return chosen;
}

} // namespace ruko
