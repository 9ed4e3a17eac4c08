#include "shell/titlefonts.h"

#include "archive/hostpath.h"
#include "archive/vrfiles.h"
#include "base/error.h"
#include "base/text.h"
#include "shell/runobjects.h"
#include "words/fontpixels.h"
#include "words/packfonts.h"

#include <cstdio>

namespace ruko {

namespace {

bool IsFontName(std::string_view name)
{
    return SameText(GameExtension(name), ".rft");
}

void Offer(const std::string& name, std::unique_ptr<TKwBigStream> stream)
{
    try {
        PixelFontMan->LoadFontStream(name, std::move(stream));
    } catch (const ERukoError& error) {
        std::fprintf(stderr, "rukoplay: %s\n", Cp932ToUtf8(error.what()).c_str());
    }
}

// Fonts of two archives may share a member name: each is named after its archive's file too.
std::string ArchiveLabel(const TVrFileCollection& archive)
{
    if (archive.FileName.empty()) return std::string();
    const size_t slash = archive.FileName.find_last_of('/');
    return Utf8ToCp932(archive.FileName.substr(slash == std::string::npos ? 0 : slash + 1)) + "\\";
}

} // namespace

void StartFonts(TRunObjects& run, const TStartContext& context)
{
    run.PixelFonts.Create();
    run.Glyphs.Create(PixelFontMan);
    if (context.Options.FontDefaultOnly) FontPixelMan->KeepDefaultFontsOnly();
    for (const std::string& path : context.FontFiles) {
        if (IsFontName(path)) {
            std::unique_ptr<TRangeStream> stream = TRangeStream::OpenFile(path);
            if (stream)
                Offer(Utf8ToCp932(path), std::move(stream));
            else
                std::fprintf(stderr, "rukoplay: --font %s: cannot be read\n", path.c_str());
        } else if (!FontPixelMan->AddFontFile(path)) {
            std::fprintf(stderr, "rukoplay: --font %s: no usable face in it\n", path.c_str());
        }
    }
    for (const auto& [asked, face] : context.FontAliases)
        if (!FontPixelMan->AddAlias(Utf8ToCp932(asked), Utf8ToCp932(face)))
            std::fprintf(stderr, "rukoplay: --font-alias %s=%s: no installed face %s\n", asked.c_str(),
                         face.c_str(), face.c_str());
}

void OfferTitleFonts(TVrFileManager& files, TVrFileCollection* archive)
{
    if (!PixelFontMan) return;
    if (archive) {
        std::vector<std::string> names;
        archive->ListFolder("", names);
        for (const std::string& name : names)
            if (IsFontName(name)) Offer(ArchiveLabel(*archive) + name, archive->OpenRange(name));
        return;
    }
    if (files.BaseFolder().empty()) return;
    for (const std::string& entry : ListHostFiles(files.BaseFolder())) {
        std::string name;
        if (!TryUtf8ToCp932(entry, name) || !IsFontName(name)) continue;
        Offer(name, TRangeStream::OpenFile(JoinHostPath(files.BaseFolder(), entry)));
    }
}

std::vector<std::string> InstalledFontNames(bool fixedOnly)
{
    return FontPixelMan ? FontPixelMan->ListFonts(fixedOnly) : std::vector<std::string>();
}

} // namespace ruko
