#include "words/fontpixels.h"

#include "base/error.h"
#include "base/text.h"
#include "words/packfonts.h"

#include <algorithm>
#include <cstring>

namespace ruko {

TFontPixelManager* FontPixelMan = nullptr;

namespace {

struct TDefaultFace
{
    const char* NameUtf8;
    const char* IpaFamily;
    const char* Generic; // fontconfig's family when the IPA face is missing
    bool FixedPitch;
};

// "ＭＳ ゴシック" first: it is also the face every missing character falls back to.
constexpr TDefaultFace DefaultFaces[] = {
    {"ＭＳ ゴシック", "IPAGothic", "sans-serif", true},
    {"ＭＳ 明朝", "IPAMincho", "serif", true},
    {"ＭＳ Ｐゴシック", "IPAPGothic", "sans-serif", false},
    {"ＭＳ Ｐ明朝", "IPAPMincho", "serif", false},
};

const std::string& DefaultFaceName(size_t i)
{
    // Never destroyed, like every cache in static storage: an exit() from a library finds it whole.
    static const std::vector<std::string>& names = *new std::vector<std::string>([] {
        std::vector<std::string> out;
        for (const TDefaultFace& face : DefaultFaces)
            out.push_back(Utf8ToCp932(face.NameUtf8));
        return out;
    }());
    return names[i];
}

bool NamesFamily(const TFaceFamily& family, std::string_view face)
{
    return std::any_of(family.Families.begin(), family.Families.end(),
                       [&](const std::string& name) { return SameText(name, face); });
}

// Where a glyph's bitmap sits and the font's bars, from a pixel font or a rendered face alike.
struct TPlacement
{
    int32_t Left, Top, Advance;                                // bitmap left and top from the origin, advance
    int32_t Ascent, UnderlineSize, StrikePosition, StrikeSize; // positions above the base line
};

void SetMetrics(TFontPixel& glyph, const TPlacement& p)
{
    const int32_t width = glyph.Bitmap.Width();
    glyph.LeftBearing = std::max(0, p.Left);
    glyph.TopOffset = std::max(0, int32_t(std::clamp<int64_t>(int64_t(p.Ascent) - p.Top, 0, INT32_MAX)));
    glyph.RightSpace =
        int32_t(std::clamp<int64_t>(int64_t(p.Advance) - width - glyph.LeftBearing, 0, INT32_MAX));
    glyph.CharA = p.Left;
    glyph.CharB = width;
    glyph.CharC = int32_t(std::clamp<int64_t>(int64_t(p.Advance) - p.Left - width, INT32_MIN, INT32_MAX));
    if (glyph.Style & FsUnderline) glyph.UnderlineSize = p.UnderlineSize;
    if (glyph.Style & FsStrikeOut) {
        glyph.StrikePosition =
            int32_t(std::clamp<int64_t>(int64_t(p.Ascent) - p.StrikePosition, INT32_MIN, INT32_MAX));
        glyph.StrikeSize = p.StrikeSize;
    }
}

} // namespace

TFontPixelManager::TFontPixelManager(TPixelFontManager* pixelFonts, bool installedFaces)
    : pixelFonts_(pixelFonts), useInstalled_(installedFaces)
{
}

TFontPixelManager::~TFontPixelManager() = default;

void TFontPixelManager::SetQuality(int32_t quality)
{
    quality_ = std::clamp(quality, 0, 3);
}

const TInstalledFont* TFontPixelManager::FindIn(const std::vector<TInstalledFont>& list,
                                                std::string_view face)
{
    for (const TInstalledFont& font : list)
        if (NamesFamily(font.Family, face)) return &font;
    return nullptr;
}

void TFontPixelManager::EnsureInstalled()
{
    if (enumerated_) return;
    enumerated_ = true;
    if (!useInstalled_) return;
    for (TFaceFamily& family : faces_.EnumerateJapanese())
        installed_.push_back(TInstalledFont{std::move(family), false});
    for (const TFaceFamily& family : commandLineFaces_)
        if (!FindIn(installed_, family.Name)) installed_.push_back(TInstalledFont{family, false});
    for (size_t i = 0; i < std::size(DefaultFaces); ++i) {
        const std::string& name = DefaultFaceName(i);
        if (FindIn(installed_, name)) continue; // a face really installed under the Windows name
        TFaceFamily family;
        if (const TInstalledFont* ipa = FindIn(installed_, DefaultFaces[i].IpaFamily))
            family = ipa->Family;
        else
            family = faces_.BestJapanese(DefaultFaces[i].Generic);
        if (family.Styles[0].Empty()) continue;
        family.Name = name;
        family.Families = {name};
        family.FixedPitch = DefaultFaces[i].FixedPitch;
        installed_.push_back(TInstalledFont{std::move(family), true});
    }
    std::stable_sort(installed_.begin(), installed_.end(),
                     [](const TInstalledFont& a, const TInstalledFont& b) {
                         return CompareText(a.Family.Name, b.Family.Name) < 0;
                     });
    if (keepDefaultOnly_) DropAllButDefaults();
}

const TInstalledFont* TFontPixelManager::FindInstalled(std::string_view face)
{
    EnsureInstalled();
    if (const TInstalledFont* alias = FindIn(userAliases_, face)) return alias;
    return FindIn(installed_, face);
}

int32_t TFontPixelManager::GetCharset(std::string_view face)
{
    return FindInstalled(face) ? 128 : 1;
}

std::vector<std::string> TFontPixelManager::ListFonts(bool fixedOnly)
{
    EnsureInstalled();
    std::vector<std::string> names;
    for (const TInstalledFont& font : installed_)
        if (!fixedOnly || font.Family.FixedPitch) names.push_back(font.Family.Name);
    if (pixelFonts_)
        for (int i = 0; i < pixelFonts_->GetCount(); ++i) {
            const TPixelFontHeader& header = pixelFonts_->GetSection(i).Header;
            if (!header.Listed) continue;
            if (std::none_of(names.begin(), names.end(),
                             [&](const std::string& name) { return SameText(name, header.FaceName); }))
                names.push_back(header.FaceName);
        }
    return names;
}

void TFontPixelManager::KeepDefaultFontsOnly()
{
    keepDefaultOnly_ = true;
    if (enumerated_) DropAllButDefaults();
}

void TFontPixelManager::DropAllButDefaults()
{
    std::erase_if(installed_, [](const TInstalledFont& font) {
        for (size_t i = 0; i < std::size(DefaultFaces); ++i)
            if (SameText(font.Family.Name, DefaultFaceName(i))) return false;
        return true;
    });
}

bool TFontPixelManager::AddFontFile(const std::string& hostPath)
{
    std::vector<TFaceFamily> families = faces_.QueryFile(hostPath);
    if (families.empty()) return false;
    for (TFaceFamily& family : families) {
        if (enumerated_ && !FindIn(installed_, family.Name)) {
            installed_.push_back(TInstalledFont{family, false});
            std::stable_sort(installed_.begin(), installed_.end(),
                             [](const TInstalledFont& a, const TInstalledFont& b) {
                                 return CompareText(a.Family.Name, b.Family.Name) < 0;
                             });
        }
        commandLineFaces_.push_back(std::move(family));
    }
    return true;
}

bool TFontPixelManager::AddAlias(const std::string& asked, const std::string& face)
{
    const TInstalledFont* target = FindInstalled(face);
    if (!target) return false;
    TFaceFamily family = target->Family;
    family.Name = asked;
    family.Families = {asked};
    userAliases_.insert(userAliases_.begin(), TInstalledFont{std::move(family), true});
    return true;
}

TFontPixelRef TFontPixelManager::GetGlyph(uint16_t code, std::string_view face, int32_t style, int32_t size)
{
    std::vector<TMru::iterator>& bucket = buckets_[code & 0xFF];
    for (TMru::iterator it : bucket) {
        const TFontPixel& glyph = **it;
        if (glyph.CharCode == code && glyph.Size == size && glyph.Style == style &&
            glyph.Quality == quality_ && glyph.FontName == face) {
            mru_.splice(mru_.begin(), mru_, it);
            return *it;
        }
    }
    auto glyph = std::make_shared<TFontPixel>();
    glyph->CharCode = code;
    glyph->FontName.assign(face);
    glyph->Size = size;
    glyph->Style = style;
    glyph->Quality = quality_;
    MakeGlyph(*glyph);
    mru_.push_front(glyph);
    bucket.push_back(mru_.begin());
    if (mru_.size() > CacheLimit) {
        const TMru::iterator last = std::prev(mru_.end());
        std::vector<TMru::iterator>& owner = buckets_[(*last)->CharCode & 0xFF];
        owner.erase(std::find(owner.begin(), owner.end(), last));
        mru_.pop_back();
    }
    return glyph;
}

TCharMetrics TFontPixelManager::GetCharMetrics(uint16_t code, std::string_view face, int32_t style,
                                               int32_t size)
{
    const TFontPixelRef glyph = GetGlyph(code, face, style, size);
    return TCharMetrics{glyph->LeftBearing, glyph->Bitmap.Width(), glyph->RightSpace};
}

void TFontPixelManager::MakeGlyph(TFontPixel& glyph)
{
    EnsureInstalled();
    const std::string& face = glyph.FontName;
    if (const TInstalledFont* alias = FindIn(userAliases_, face)) {
        if (FromFamily(glyph, alias->Family)) return;
    } else {
        const TInstalledFont* installed = FindIn(installed_, face);
        if (installed && !installed->Alias) {
            if (FromFamily(glyph, installed->Family)) return;
        } else {
            // A pixel font beats an alias of the same name.
            if (FromPixelFont(glyph, face)) return;
            if (installed && FromFamily(glyph, installed->Family)) return;
        }
    }
    for (const TFaceFamily& family : commandLineFaces_)
        if (FromFamily(glyph, family)) return;
    const std::string& standard = DefaultFaceName(0);
    if (!SameText(face, standard) && FromPixelFont(glyph, standard)) return;
    const TInstalledFont* gothic = FindIn(installed_, standard);
    if (gothic && FromFamily(glyph, gothic->Family)) return;
    const TFaceFile best =
        useInstalled_ ? faces_.BestForChar(Cp932CodeToUnicode(glyph.CharCode)) : TFaceFile();
    if (!best.Empty() && FromFile(glyph, best)) return;
    if (!gothic) RaiseError(Utf8ToCp932("標準フォントがインストールされていません"));
}

bool TFontPixelManager::FromPixelFont(TFontPixel& glyph, std::string_view face)
{
    if (!pixelFonts_) return false;
    TPixelGlyphInfo info;
    if (!pixelFonts_->GetGlyph(face, glyph.Size, glyph.Style, glyph.CharCode, glyph.Bitmap, info)) {
        glyph.Bitmap.SetSize(0, 0, 8);
        return false;
    }
    const TPixelGlyphRecord& r = info.Glyph;
    const TPixelFontHeader& h = *info.Header;
    SetMetrics(glyph, {r.OriginX, r.OriginY, r.AdvanceX, h.Ascent, h.UnderscoreSize, h.StrikePosition,
                       h.StrikeSize});
    return true;
}

bool TFontPixelManager::FromFamily(TFontPixel& glyph, const TFaceFamily& family)
{
    TRenderedGlyph rendered;
    switch (faces_.Render(family, Cp932CodeToUnicode(glyph.CharCode), glyph.Size, glyph.Style, quality_,
                          rendered)) {
    case TRenderResult::Rendered:
        FinishRendered(glyph, rendered);
        return true;
    case TRenderResult::Missing:
        return false;
    case TRenderResult::Failed:
        break;
    }
    return true; // a failed render empties this glyph only
}

bool TFontPixelManager::FromFile(TFontPixel& glyph, const TFaceFile& file)
{
    TRenderedGlyph rendered;
    const bool bold = glyph.Style & FsBold, italic = glyph.Style & FsItalic;
    const TRenderResult result = faces_.RenderFile(file, bold, italic, Cp932CodeToUnicode(glyph.CharCode),
                                                   glyph.Size, quality_, rendered);
    if (result == TRenderResult::Rendered) FinishRendered(glyph, rendered);
    return result != TRenderResult::Missing;
}

void TFontPixelManager::FinishRendered(TFontPixel& glyph, const TRenderedGlyph& rendered)
{
    glyph.Bitmap.SetSize(rendered.Width, rendered.Height, 8);
    for (int32_t y = 0; y < rendered.Height; ++y)
        std::memcpy(glyph.Bitmap.ScanLine(y), rendered.Coverage.data() + size_t(y) * size_t(rendered.Width),
                    size_t(rendered.Width));
    SetMetrics(glyph, {rendered.Left, rendered.Top, rendered.Advance, rendered.Ascent, rendered.UnderlineSize,
                       rendered.StrikePosition, rendered.StrikeSize});
}

} // namespace ruko
