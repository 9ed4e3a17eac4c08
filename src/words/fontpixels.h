#pragma once
// The glyph cache every text of the player is drawn from. A glyph comes from an installed face
// (fontconfig and FreeType) or from a pixel font; faces the titles ask for by their Windows names
// ("ＭＳ ゴシック" and its three siblings) are aliases of the IPA fonts. A character a face lacks
// tries the faces given on the command line, then "ＭＳ ゴシック", then fontconfig's best face for
// it, and is otherwise an empty glyph. One process-wide instance, `FontPixelMan`.
#include "base/rect.h"
#include "graphics/dibsfc.h"
#include "words/fontfaces.h"

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TPixelFontManager;

// Style bits of a glyph.
constexpr int32_t FsBold = 1, FsItalic = 2, FsUnderline = 4, FsStrikeOut = 8;

struct TFontPixel
{
    uint16_t CharCode = 0;
    std::string FontName;
    int32_t Size = 0;
    int32_t Style = 0;
    int32_t Quality = 0;
    TDIBX Bitmap;            // 8-bit coverage, 0 × 0 for a blank
    int32_t LeftBearing = 0; // >= 0
    int32_t TopOffset = 0;   // >= 0, from the top of the cell
    int32_t UnderlineSize = 0;
    int32_t StrikePosition = 0; // from the top of the cell
    int32_t StrikeSize = 0;
    int32_t RightSpace = 0;
    // The character's A, B and C widths at this size, for centring in a wider cell.
    int32_t CharA = 0, CharB = 0, CharC = 0;

    TFontPixel() { Bitmap.SetSize(0, 0, 8); }
};

// Glyphs are shared: a caller may keep one after the cache has let it go.
using TFontPixelRef = std::shared_ptr<const TFontPixel>;

struct TCharMetrics
{
    int32_t LeftBearing = 0;
    int32_t Width = 0;
    int32_t RightSpace = 0;
};

// An installed face as the lists and lookups see it.
struct TInstalledFont
{
    TFaceFamily Family;
    bool Alias = false; // one of the Windows names, drawn with another face
};

class TFontPixelManager
{
  public:
    static constexpr size_t CacheLimit = 256;

    // `pixelFonts` may be null (no pixel fonts). Installed faces are enumerated at first need;
    // without `installedFaces` there are none, and fontconfig is never asked (pixel fonts only).
    explicit TFontPixelManager(TPixelFontManager* pixelFonts, bool installedFaces = true);
    ~TFontPixelManager();

    // 0..3; values outside are clamped so a stray setting never turns smoothing off for the run.
    void SetQuality(int32_t quality);
    int32_t Quality() const { return quality_; }

    TFontPixelRef GetGlyph(uint16_t code, std::string_view face, int32_t style, int32_t size);
    TCharMetrics GetCharMetrics(uint16_t code, std::string_view face, int32_t style, int32_t size);

    // Any family name of an installed face or alias, ignoring case; never a best match.
    const TInstalledFont* FindInstalled(std::string_view face);
    // 128 (Shift-JIS) for installed faces, 1 otherwise.
    int32_t GetCharset(std::string_view face);
    // Installed faces sorted by name (ASCII case folded), with `fixedOnly` the fixed-pitch ones,
    // then the listed pixel-font faces not yet named.
    std::vector<std::string> ListFonts(bool fixedOnly);
    // Keeps "ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ ゴシック" and "ＭＳ 明朝" only.
    void KeepDefaultFontsOnly();

    // A TrueType/OpenType file (--font): its faces join the installed list and head the fallback
    // chain. False when it holds no usable face.
    bool AddFontFile(const std::string& hostPath);
    // Draws the face `asked` with the installed face `face` (--font-alias). False when `face` is
    // not installed.
    bool AddAlias(const std::string& asked, const std::string& face);

    // Composes a glyph into the cell of a colour surface (15, 16 or 32 bits; other formats keep
    // their colours) and an 8-bit coverage mask beside it. Colours are pixel values of `colour`.
    // Every write is clipped to both surfaces.
    static void DrawGlyph(const TFontPixel& glyph, TCustomDIBX& colour, TCustomDIBX& mask, bool opaque,
                          const TRect& cell, uint32_t textColour, uint32_t borderColour,
                          uint32_t shadowColour, int32_t border, int32_t shadow, bool leftOpen,
                          bool rightOpen);

    size_t CachedCount() const { return mru_.size(); }
    TFontFaces& Faces() { return faces_; }

  private:
    void EnsureInstalled();
    void DropAllButDefaults();
    void MakeGlyph(TFontPixel& glyph);
    bool FromPixelFont(TFontPixel& glyph, std::string_view face);
    bool FromFamily(TFontPixel& glyph, const TFaceFamily& family);
    bool FromFile(TFontPixel& glyph, const TFaceFile& file);
    void FinishRendered(TFontPixel& glyph, const TRenderedGlyph& rendered);
    static const TInstalledFont* FindIn(const std::vector<TInstalledFont>& list, std::string_view face);

    TPixelFontManager* pixelFonts_;
    TFontFaces faces_;
    int32_t quality_ = 3;
    bool useInstalled_;
    bool enumerated_ = false;
    bool keepDefaultOnly_ = false;
    std::vector<TInstalledFont> installed_; // sorted by name
    std::vector<TInstalledFont> userAliases_;
    std::vector<TFaceFamily> commandLineFaces_;

    using TMru = std::list<std::shared_ptr<TFontPixel>>;
    TMru mru_; // front: most recently used
    std::array<std::vector<TMru::iterator>, 256> buckets_;
};

// The process-wide glyph cache, owned by the shell's run objects: made after `PixelFontMan` and
// freed before it.
extern TFontPixelManager* FontPixelMan;

} // namespace ruko
