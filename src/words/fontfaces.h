#pragma once
// Installed faces as fontconfig knows them, and glyphs rendered from them with FreeType. This is
// the only code that talks to either library.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

// One face of a font file.
struct TFaceFile
{
    std::string Path; // host path
    int Index = 0;
    bool Empty() const { return Path.empty(); }
};

// The files of one family by style (0 regular, 1 bold, 2 italic, 3 bold italic); a style without
// a file of its own is made from the nearest one by emboldening and shearing.
struct TFaceFamily
{
    std::string Name;                  // the listed name (CP932): the "ja" family name, else the first
    std::vector<std::string> Families; // every family name (CP932)
    bool FixedPitch = false;
    std::array<TFaceFile, 4> Styles;
};

// A rendered glyph: coverage rows top-down (Width bytes each), its placement and metrics, all in
// pixels of the requested size.
struct TRenderedGlyph
{
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Coverage;
    int32_t Left = 0;    // bitmap left of the origin (A width)
    int32_t Top = 0;     // bitmap top above the base line
    int32_t Advance = 0; // rounded advance
    int32_t Ascent = 0;
    int32_t UnderlineSize = 0;
    int32_t StrikePosition = 0; // above the base line
    int32_t StrikeSize = 0;
};

enum class TRenderResult
{
    Rendered,
    Missing, // the face has no glyph for the character
    Failed,  // the face or the glyph could not be loaded or rendered
};

// Coverage value of each 8-bit FreeType coverage at a smoothing level (0: one bit; 1..3: 5, 17
// and 65 levels mapped through the player's tables).
const std::array<uint8_t, 256>& CoverageTable(int quality);

class TFontFaces
{
  public:
    TFontFaces();
    ~TFontFaces();
    TFontFaces(const TFontFaces&) = delete;
    TFontFaces& operator=(const TFontFaces&) = delete;

    // Outline faces whose languages include "ja", grouped by listed name; unconvertible names are
    // skipped.
    std::vector<TFaceFamily> EnumerateJapanese();
    // Every face of one font file, whatever its languages (faces given on the command line).
    std::vector<TFaceFamily> QueryFile(const std::string& hostPath);
    // fontconfig's best face for a family pattern ("sans-serif", "serif") in Japanese.
    TFaceFamily BestJapanese(const std::string& genericFamily);
    // fontconfig's best face that has the character; empty when none does.
    TFaceFile BestForChar(char32_t unicode);

    // Renders `unicode` from `family` at `size` pixels (height of the em box, real dimensions)
    // with style bits 1 bold, 2 italic.
    TRenderResult Render(const TFaceFamily& family, char32_t unicode, int32_t size, int32_t style,
                         int32_t quality, TRenderedGlyph& out);
    TRenderResult RenderFile(const TFaceFile& file, bool synthBold, bool synthItalic, char32_t unicode,
                             int32_t size, int32_t quality, TRenderedGlyph& out);
    // True when the face has a glyph for the character.
    bool HasChar(const TFaceFile& file, char32_t unicode);

  private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace ruko
