#pragma once
// File and folder dialogs of the desktop: zenity or kdialog, whichever is installed, run as a
// child process while the player waits.
#include <optional>
#include <string>
#include <vector>

namespace ruko {

enum class TFileDialogKind
{
    Open,
    Save,
    Folder
};

// The tool's command line for a dialog. `filterUtf8` is a title's filter list,
// "Description|*.txt;*.doc|Description|*.*" (empty: every file).
std::vector<std::string> ZenityArguments(TFileDialogKind kind, const std::string& filterUtf8);
std::vector<std::string> KdialogArguments(TFileDialogKind kind, const std::string& filterUtf8);

// The host path the user chose (a folder with a trailing '/'); nullopt when cancelled. Without
// either tool every dialog answers cancelled, and the first one says why on stderr.
std::optional<std::string> RunDesktopFileDialog(TFileDialogKind kind, const std::string& filterUtf8);

// The first executable of that name on $PATH; "" when there is none.
std::string FindOnPath(const std::string& program);

} // namespace ruko
