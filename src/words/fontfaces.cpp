#include "words/fontfaces.h"

#include "base/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace ruko {

namespace {

// Nothing bigger is ever kept as one glyph; pixel fonts have the same cap.
constexpr int32_t MaxGlyphSide = 4096;
// The shear of a made italic (about 12 degrees), as 16.16.
constexpr FT_Fixed ItalicShear = 0x0366A;

std::array<uint8_t, 256> MakeTable(int quality)
{
    std::array<uint8_t, 256> table{};
    if (quality <= 0) {
        for (int v = 0; v < 256; ++v)
            table[size_t(v)] = v >= 128 ? 255 : 0;
        return table;
    }
    std::vector<int> levels;
    if (quality == 1) {
        levels = {0, 79, 127, 207, 255};
    } else if (quality == 2) {
        levels = {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255};
    } else {
        levels = {0, 18};
        for (int v = 21; v <= 36; v += 3)
            levels.push_back(v);
        for (int v = 55; v <= 100; v += 3)
            levels.push_back(v);
        for (int v = 119; v <= 164; v += 3)
            levels.push_back(v);
        for (int v = 183; v <= 255; v += 3)
            levels.push_back(v);
    }
    const int top = int(levels.size()) - 1;
    for (int v = 0; v < 256; ++v)
        table[size_t(v)] = uint8_t(levels[size_t(std::lround(double(v) * top / 255.0))]);
    return table;
}

// The family names of a pattern in CP932 and the index of the "ja" one (else 0); empty when the
// pattern has no convertible name.
std::vector<std::string> FamilyNames(FcPattern* pattern, size_t& listed)
{
    std::vector<std::string> names;
    listed = 0;
    bool haveJa = false;
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        std::string cp932;
        if (!TryUtf8ToCp932(reinterpret_cast<const char*>(family), cp932)) continue;
        FcChar8* lang = nullptr;
        if (!haveJa && FcPatternGetString(pattern, FC_FAMILYLANG, i, &lang) == FcResultMatch &&
            std::strcmp(reinterpret_cast<const char*>(lang), "ja") == 0) {
            haveJa = true;
            listed = names.size();
        }
        names.push_back(std::move(cp932));
    }
    return names;
}

int StyleOf(FcPattern* pattern)
{
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    return (weight >= FC_WEIGHT_DEMIBOLD ? 1 : 0) | (slant != FC_SLANT_ROMAN ? 2 : 0);
}

TFaceFile FileOf(FcPattern* pattern)
{
    TFaceFile file;
    FcChar8* path = nullptr;
    if (FcPatternGetString(pattern, FC_FILE, 0, &path) != FcResultMatch) return file;
    file.Path = reinterpret_cast<const char*>(path);
    FcPatternGetInteger(pattern, FC_INDEX, 0, &file.Index);
    return file;
}

bool IsOutline(FcPattern* pattern)
{
    FcBool outline = FcTrue;
    FcPatternGetBool(pattern, FC_OUTLINE, 0, &outline);
    return outline;
}

// Groups the patterns of a set into families; the first file of each style wins.
std::vector<TFaceFamily> Group(FcFontSet* set)
{
    std::vector<TFaceFamily> families;
    if (!set) return families;
    for (int i = 0; i < set->nfont; ++i) {
        FcPattern* pattern = set->fonts[i];
        if (!IsOutline(pattern)) continue;
        size_t listed = 0;
        std::vector<std::string> names = FamilyNames(pattern, listed);
        TFaceFile file = FileOf(pattern);
        if (names.empty() || file.Empty()) continue;
        auto found = std::find_if(families.begin(), families.end(),
                                  [&](const TFaceFamily& f) { return SameText(f.Name, names[listed]); });
        if (found == families.end()) {
            families.push_back(TFaceFamily{names[listed], names, false, {}});
            found = families.end() - 1;
        }
        const int style = StyleOf(pattern);
        if (found->Styles[size_t(style)].Empty()) {
            found->Styles[size_t(style)] = file;
            if (style == 0) {
                int spacing = FC_PROPORTIONAL;
                FcPatternGetInteger(pattern, FC_SPACING, 0, &spacing);
                found->FixedPitch = spacing >= FC_DUAL;
            }
        }
    }
    return families;
}

FcObjectSet* FamilyObjects()
{
    return FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_SPACING, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT,
                            FC_OUTLINE, nullptr);
}

// fontconfig's best outline face for a pattern (null when none); the caller destroys it.
FcPattern* BestOutlineMatch(FcPattern* pattern)
{
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    return FcFontMatch(nullptr, pattern, &result);
}

int32_t Round26(FT_Pos value)
{
    return int32_t((value + 32) >> 6);
}

} // namespace

const std::array<uint8_t, 256>& CoverageTable(int quality)
{
    static const std::array<std::array<uint8_t, 256>, 4> tables{MakeTable(0), MakeTable(1), MakeTable(2),
                                                                MakeTable(3)};
    return tables[size_t(std::clamp(quality, 0, 3))];
}

struct TFontFaces::TImpl
{
    FT_Library library = nullptr;
    bool fcReady = false;
    struct TOpenFace
    {
        FT_Face face = nullptr;
        std::map<int32_t, FT_Size> sizes;
        int32_t activeSize = -1;
    };
    std::map<std::pair<std::string, int>, TOpenFace> faces;
    // Files that failed to open stay failed for the run.
    std::map<std::pair<std::string, int>, bool> broken;

    ~TImpl()
    {
        for (auto& [key, open] : faces)
            if (open.face) FT_Done_Face(open.face); // frees its sizes too
        if (library) FT_Done_FreeType(library);
    }

    bool EnsureFontconfig()
    {
        if (!fcReady) fcReady = FcInit();
        return fcReady;
    }

    TOpenFace* Open(const TFaceFile& file)
    {
        const auto key = std::make_pair(file.Path, file.Index);
        auto found = faces.find(key);
        if (found != faces.end()) return &found->second;
        if (broken.count(key)) return nullptr;
        if (!library && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return nullptr;
        }
        FT_Face face = nullptr;
        if (FT_New_Face(library, file.Path.c_str(), file.Index, &face) != 0 || !FT_IS_SCALABLE(face)) {
            if (face) FT_Done_Face(face);
            broken[key] = true;
            return nullptr;
        }
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        TOpenFace& open = faces[key];
        open.face = face;
        return &open;
    }

    // One size object per pixel size, so alternating sizes never re-run the hinting set-up.
    bool Activate(TOpenFace& open, int32_t size)
    {
        if (open.activeSize == size) return true;
        auto found = open.sizes.find(size);
        if (found == open.sizes.end()) {
            FT_Size ftSize = nullptr;
            if (FT_New_Size(open.face, &ftSize) != 0) return false;
            FT_Activate_Size(ftSize);
            FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, FT_Long(size) << 6, 0, 0};
            if (FT_Request_Size(open.face, &request) != 0) {
                FT_Done_Size(ftSize);
                open.activeSize = -1;
                return false;
            }
            found = open.sizes.emplace(size, ftSize).first;
        } else if (FT_Activate_Size(found->second) != 0) {
            return false;
        }
        open.activeSize = size;
        return true;
    }
};

TFontFaces::TFontFaces() : impl_(std::make_unique<TImpl>()) {}

TFontFaces::~TFontFaces() = default;

std::vector<TFaceFamily> TFontFaces::EnumerateJapanese()
{
    if (!impl_->EnsureFontconfig()) return {};
    FcPattern* pattern = FcPatternCreate();
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcObjectSet* objects = FamilyObjects();
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    std::vector<TFaceFamily> families = Group(set);
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcLangSetDestroy(langs);
    FcPatternDestroy(pattern);
    return families;
}

std::vector<TFaceFamily> TFontFaces::QueryFile(const std::string& hostPath)
{
    if (!impl_->EnsureFontconfig()) return {};
    FcFontSet* set = FcFontSetCreate();
    FcFreeTypeQueryAll(reinterpret_cast<const FcChar8*>(hostPath.c_str()), unsigned(-1), nullptr, nullptr,
                       set);
    std::vector<TFaceFamily> families = Group(set);
    FcFontSetDestroy(set);
    return families;
}

TFaceFamily TFontFaces::BestJapanese(const std::string& genericFamily)
{
    TFaceFamily family;
    if (!impl_->EnsureFontconfig()) return family;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(genericFamily.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPattern* match = BestOutlineMatch(pattern);
    if (match) {
        family.Styles[0] = FileOf(match);
        size_t listed = 0;
        family.Families = FamilyNames(match, listed);
        if (!family.Families.empty()) family.Name = family.Families[listed];
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return family;
}

TFaceFile TFontFaces::BestForChar(char32_t unicode)
{
    TFaceFile file;
    if (!impl_->EnsureFontconfig() || unicode == 0) return file;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* chars = FcCharSetCreate();
    FcCharSetAddChar(chars, FcChar32(unicode));
    FcPatternAddCharSet(pattern, FC_CHARSET, chars);
    FcPattern* match = BestOutlineMatch(pattern);
    if (match) {
        FcCharSet* has = nullptr;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch &&
            FcCharSetHasChar(has, unicode))
            file = FileOf(match);
        FcPatternDestroy(match);
    }
    FcCharSetDestroy(chars);
    FcPatternDestroy(pattern);
    return file;
}

bool TFontFaces::HasChar(const TFaceFile& file, char32_t unicode)
{
    TImpl::TOpenFace* open = impl_->Open(file);
    return open && unicode != 0 && FT_Get_Char_Index(open->face, unicode) != 0;
}

TRenderResult TFontFaces::Render(const TFaceFamily& family, char32_t unicode, int32_t size, int32_t style,
                                 int32_t quality, TRenderedGlyph& out)
{
    style &= 3;
    // The family's own face for the style, else the nearest one with the missing part made.
    for (int from : {style, style & 1, style & 2, 0}) {
        const TFaceFile& file = family.Styles[size_t(from)];
        if (file.Empty()) continue;
        return RenderFile(file, (style & 1) && !(from & 1), (style & 2) && !(from & 2), unicode, size,
                          quality, out);
    }
    return TRenderResult::Failed;
}

TRenderResult TFontFaces::RenderFile(const TFaceFile& file, bool synthBold, bool synthItalic,
                                     char32_t unicode, int32_t size, int32_t quality, TRenderedGlyph& out)
{
    out = TRenderedGlyph();
    TImpl::TOpenFace* open = impl_->Open(file);
    if (!open) return TRenderResult::Failed;
    FT_Face face = open->face;
    const FT_UInt index = unicode ? FT_Get_Char_Index(face, unicode) : 0;
    if (index == 0) return TRenderResult::Missing;
    if (size <= 0 || !impl_->Activate(*open, size)) return TRenderResult::Failed;

    const FT_Size_Metrics& metrics = face->size->metrics;
    out.Ascent = Round26(metrics.ascender);
    out.UnderlineSize = std::max(1, Round26(FT_MulFix(face->underline_thickness, metrics.y_scale)));
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        out.StrikeSize = std::max(1, Round26(FT_MulFix(os2->yStrikeoutSize, metrics.y_scale)));
        out.StrikePosition = Round26(FT_MulFix(os2->yStrikeoutPosition, metrics.y_scale));
    } else {
        out.StrikeSize = out.UnderlineSize;
        out.StrikePosition = out.Ascent / 3;
    }

    // Every Quality loads the same outline, so a glyph has one black box at every level.
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP) != 0 || face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return TRenderResult::Failed;
    FT_GlyphSlot slot = face->glyph;
    FT_Outline& outline = slot->outline;
    FT_Pos advance = slot->advance.x;
    if (synthBold) {
        const FT_Pos strength = std::max<FT_Pos>(FT_MulFix(face->units_per_EM, metrics.y_scale) / 24, 1);
        FT_Outline_EmboldenXY(&outline, strength, strength);
        advance += strength;
    }
    if (synthItalic) {
        FT_Matrix shear{0x10000, ItalicShear, 0, 0x10000};
        FT_Outline_Transform(&outline, &shear);
    }
    out.Advance = Round26(advance);

    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    const FT_Pos left = box.xMin >> 6, bottom = box.yMin >> 6;
    const FT_Pos right = (box.xMax + 63) >> 6, top = (box.yMax + 63) >> 6;
    if (right - left > MaxGlyphSide || top - bottom > MaxGlyphSide) return TRenderResult::Failed;
    out.Left = int32_t(left);
    out.Top = int32_t(top);
    if (right <= left || top <= bottom || outline.n_points == 0) {
        out.Left = 0;
        out.Top = 0;
        return TRenderResult::Rendered; // a blank
    }
    const int32_t width = int32_t(right - left), height = int32_t(top - bottom);
    FT_Outline_Translate(&outline, -left * 64, -bottom * 64);

    const bool mono = quality <= 0;
    const int32_t pitch = mono ? (width + 7) / 8 : width;
    std::vector<uint8_t> raster(size_t(pitch) * size_t(height), 0);
    FT_Bitmap bitmap;
    FT_Bitmap_Init(&bitmap);
    bitmap.rows = unsigned(height);
    bitmap.width = unsigned(width);
    bitmap.pitch = pitch; // positive: the first row is the top one
    bitmap.buffer = raster.data();
    bitmap.pixel_mode = mono ? FT_PIXEL_MODE_MONO : FT_PIXEL_MODE_GRAY;
    bitmap.num_grays = 256;
    if (FT_Outline_Get_Bitmap(impl_->library, &outline, &bitmap) != 0) return TRenderResult::Failed;

    out.Width = width;
    out.Height = height;
    out.Coverage.resize(size_t(width) * size_t(height));
    uint8_t* to = out.Coverage.data();
    if (mono) {
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = raster.data() + size_t(y) * size_t(pitch);
            for (int32_t x = 0; x < width; ++x)
                *to++ = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        }
    } else {
        const std::array<uint8_t, 256>& table = CoverageTable(quality);
        for (uint8_t v : raster)
            *to++ = table[v];
    }
    return TRenderResult::Rendered;
}

} // namespace ruko
