#include "engine/savescreen.h"

#include "archive/header.h"
#include "archive/hostpath.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/fileio.h"
#include "base/screensize.h"
#include "base/text.h"
#include "components/baselist.h"
#include "engine/builtins_support.h"
#include "graphics/brom.h"

#include <algorithm>

namespace ruko {

namespace {

// The picture of a base window as it would be drawn now, at its own size, 32-bit.
TDIBX& RedrawnWhole(TRukoBase& base)
{
    base.MarkAllDirty();
    base.PaintBase();
    return static_cast<TDIBX&>(base.GetDrawSurface());
}

// Adds the name to the first list of "install.dat" in the base folder, so an uninstaller
// removes the file with the title.
void ListInInstallRecord(const std::string& baseFolder, const std::string& name)
{
    std::string path = JoinHostPath(baseFolder, "install.dat");
    std::string text;
    if (!ReadHostFile(path, text)) return;
    TRukoInstallSet record;
    try {
        TKwBigMemoryStream stream(std::vector<uint8_t>(text.begin(), text.end()));
        record.LoadFromStream(stream);
    } catch (const ERukoError&) {
        return; // a damaged record stays as it is
    }
    for (const std::string& listed : record.List1)
        if (SameText(listed, name)) return;
    record.List1.push_back(name);
    std::vector<uint8_t> bytes = record.SaveToBytes();
    WriteHostFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace

bool SaveScreen(TBuiltinServices& services, const std::string& name, int32_t width, int32_t height, bool back,
                int32_t keep)
{
    using namespace builtins;
    TVrFileManager* files = services.Files ? services.Files : FileManager;
    if (!files || !Bases || !HostFolderExists(files->BaseFolder()) || !SameText(GameExtension(name), ".brm"))
        return false;
    if (width == 0) width = Bases->Width();
    if (height == 0) height = Bases->Height();
    // A script's size is bounded like a screen's, so a typing slip cannot ask for gigabytes.
    if (width < 1 || height < 1 || width > MaxScreenSize || height > MaxScreenSize) return false;

    TRukoBase& base = back ? Bases->GetBackBase() : Bases->GetActiveBase();
    TDIBX& screen = RedrawnWhole(base);
    const TDIBX* source = &screen;
    TDIBX resampled;
    if (width != screen.Width() || height != screen.Height()) {
        resampled.SetSize(width, height, 32);
        resampled.StretchDraw(TRect(0, 0, width, height), screen,
                              TRect(0, 0, screen.Width(), screen.Height()), false, false, false, 255);
        source = &resampled;
    }
    TBromFrameList image;
    TBromFrame& frame = image.AddFrame();
    frame.Picture = TPicture(width, height, 24);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            frame.Picture.SetPixel(x, y,
                                   frame.Picture.ColorToPixel(source->PixelToColor(source->GetPixel(x, y))));

    if (StartsWithText(name, "mem:") || StartsWithText(name, "save:")) {
        TKwBigMemoryStream stream;
        image.SaveToStream(stream, bcNone, 70);
        std::vector<uint8_t> bytes = stream.TakeBytes();
        PutMemoryMember(*files, name, bytes);
        if (StartsWithText(name, "save:") && services.StoreSaveMember &&
            !services.StoreSaveMember(name, bytes))
            return false;
    } else {
        std::string path = ConfinedHostPath(files->BaseFolder(), name);
        if (path.empty()) return false;
        TKwBigMemoryStream stream;
        image.SaveToStream(stream, bcZlib, 70);
        if (!WriteHostFile(path, stream.TakeBytes())) return false;
        if (keep == 1 && services.DeleteAtExit) services.DeleteAtExit(path);
        if (keep == 2) ListInInstallRecord(files->BaseFolder(), name);
    }
    if (services.ForgetPicture) services.ForgetPicture(name);
    return true;
}

} // namespace ruko
