#pragma once
// Pixel fonts: ".rft" files a title carries, holding ready 8-bit coverage bitmaps of one face at one
// size and style. Every file is checked whole when it is loaded, so reading a glyph later never
// leaves the file. One process-wide manager, `PixelFontMan`, created and freed by the shell.
#include "io/bigstream.h"
#include "io/hash.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruko {

class TDIBX;

// The header fields the player reads; the metrics come from the stored 32-bit outline-text-metric
// record (ascent of its text metrics, strike-out size and position, underscore size).
struct TPixelFontHeader
{
    std::string FaceName; // CP932
    int32_t CharSize = 0;
    uint8_t Style = 0; // 1 bold, 2 italic
    int32_t GlyphCount = 0;
    int32_t Ascent = 0;
    int32_t StrikeSize = 0;
    int32_t StrikePosition = 0;
    int32_t UnderscoreSize = 0;
    int32_t UnderscorePosition = 0; // kept for the writer; the player does not use it
    bool Listed = false;
};

struct TPixelGlyphRecord
{
    uint16_t Width = 0;
    uint16_t Height = 0;
    int16_t OriginX = 0;
    int16_t OriginY = 0; // from the base line upward
    int16_t AdvanceX = 0;
    int16_t AdvanceY = 0;
    uint32_t Offset = 0; // from the first bitmap
};

// Rows of a glyph bitmap are padded to 4 bytes, top-down.
constexpr int32_t GlyphRowStride(int32_t width)
{
    return (width + 3) & ~3;
}

constexpr uint16_t MissingGlyph = 0xFFFF;
constexpr int32_t MaxPixelGlyphSide = 4096;

// "%s_%d_%d_%d" of face, size, bold bit and italic bit.
std::string PixelFontKey(std::string_view face, int32_t size, int32_t style);

class TPixelFontSection : public THashCollectionItem
{
  public:
    std::string FileName;
    TPixelFontHeader Header;
    std::vector<uint16_t> CodeMap; // 65536 entries, MissingGlyph when absent
    std::vector<TPixelGlyphRecord> Glyphs;
    int64_t BitmapBase = 0;

    // Parses and checks the whole file; raises name + "\r\n" + "フォントファイルが破壊されています"
    // on any damage. The stream stays open for the glyph reads.
    static std::unique_ptr<TPixelFontSection> Read(const std::string& fileName,
                                                   std::unique_ptr<TKwBigStream> stream);

    const TPixelGlyphRecord* FindGlyph(uint16_t code) const;
    // Sizes `bitmap` to w × h, 8-bit, and fills it; false when the bytes cannot be read.
    bool ReadBitmap(const TPixelGlyphRecord& glyph, TDIBX& bitmap);

  private:
    std::unique_ptr<TKwBigStream> stream_;
};

// What GetGlyph answers besides the bitmap: the glyph record and the section's metrics.
struct TPixelGlyphInfo
{
    TPixelGlyphRecord Glyph;
    const TPixelFontHeader* Header = nullptr;
};

class TPixelFontManager
{
  public:
    // A host file. None when the same file (ignoring case) or the same key is loaded already.
    TPixelFontSection* LoadFontFile(const std::string& fileName);
    // Any stream: an archive member through a range stream, or bytes in memory.
    TPixelFontSection* LoadFontStream(const std::string& fileName, std::unique_ptr<TKwBigStream> stream);

    TPixelFontSection* FindSection(std::string_view face, int32_t size, int32_t style) const;
    bool GetGlyph(std::string_view face, int32_t size, int32_t style, uint16_t code, TDIBX& bitmap,
                  TPixelGlyphInfo& info);
    bool GetGlyphMetrics(std::string_view face, int32_t size, int32_t style, uint16_t code,
                         TPixelGlyphInfo& info) const;

    int GetCount() const { return sections_.Count(); }
    TPixelFontSection& GetSection(int index) const { return sections_.ItemAs<TPixelFontSection>(index); }

  private:
    TPixelFontSection* LocateGlyph(std::string_view face, int32_t size, int32_t style, uint16_t code,
                                   TPixelGlyphInfo& info) const;
    THashCollection sections_;
};

// One glyph as the writer takes it: coverage rows of Width bytes each, unpadded.
struct TPixelFontGlyph
{
    uint16_t Code = 0;
    TPixelGlyphRecord Record; // Offset is ignored: the writer lays bitmaps out in this order
    std::vector<uint8_t> Coverage;
};

struct TPixelFontData
{
    TPixelFontHeader Header; // GlyphCount is ignored: the glyph list's length is written
    std::vector<TPixelFontGlyph> Glyphs;
};

// A whole ".rft" file. Bytes the player does not interpret are written as 0.
std::vector<uint8_t> WritePixelFont(const TPixelFontData& font);
// Every glyph of a loaded section back in the writer's form.
TPixelFontData ReadPixelFontData(TPixelFontSection& section);

// The process-wide pixel fonts, owned by the shell's run objects: made before the data sources,
// freed after them.
extern TPixelFontManager* PixelFontMan;

} // namespace ruko
