#include "words/packfonts.h"

#include "archive/vrarchive.h"
#include "base/error.h"
#include "base/text.h"
#include "graphics/dibsfc.h"

#include <algorithm>
#include <cstring>

namespace ruko {

TPixelFontManager* PixelFontMan = nullptr;

namespace {

const char Magic[] = "RukoPixelFont"; // with its zero byte: 14 bytes
constexpr int64_t HeaderSize = 322;
constexpr int64_t IndexEntrySize = 18;
constexpr int64_t FaceOffset = 26, FaceSize = 64;
// The 212-byte outline-text-metric record starts at 106; these are its fields the player uses.
constexpr int64_t MetricsOffset = 106, MetricsSize = 212;
constexpr int64_t AscentOffset = 114, StrikeSizeOffset = 286, StrikePositionOffset = 290,
                  UnderscoreSizeOffset = 294, UnderscorePositionOffset = 298;

int32_t GetI32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

uint16_t GetU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void PutI32(std::vector<uint8_t>& out, size_t at, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(uint32_t(value) >> (8 * i));
}

void PutU16(std::vector<uint8_t>& out, size_t at, uint16_t value)
{
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

[[noreturn]] void RaiseBroken(const std::string& fileName)
{
    RaiseError(fileName + "\r\n" + Utf8ToCp932("フォントファイルが破壊されています"));
}

bool ReadExactAt(TKwBigStream& stream, int64_t position, void* buffer, int64_t count)
{
    stream.SetPosition(position);
    return stream.GetPosition() == position && stream.Read(buffer, count) == count;
}

} // namespace

std::string PixelFontKey(std::string_view face, int32_t size, int32_t style)
{
    return FormatText("%.*s_%d_%d_%d", int(face.size()), face.data(), size, style & 1, (style >> 1) & 1);
}

std::unique_ptr<TPixelFontSection> TPixelFontSection::Read(const std::string& fileName,
                                                           std::unique_ptr<TKwBigStream> stream)
{
    if (!stream) RaiseBroken(fileName);
    const int64_t fileSize = stream->GetSize();
    uint8_t header[HeaderSize];
    if (fileSize < HeaderSize || !ReadExactAt(*stream, 0, header, HeaderSize) ||
        std::memcmp(header, Magic, sizeof Magic) != 0)
        RaiseBroken(fileName);

    auto section = std::make_unique<TPixelFontSection>();
    section->FileName = fileName;
    TPixelFontHeader& h = section->Header;
    const uint8_t* face = header + FaceOffset;
    const void* end = std::memchr(face, 0, FaceSize);
    if (!end) RaiseBroken(fileName);
    h.FaceName.assign(reinterpret_cast<const char*>(face), static_cast<const uint8_t*>(end) - face);
    h.CharSize = GetI32(header + 90);
    h.Style = header[94] & 3;
    h.GlyphCount = GetI32(header + 102);
    h.Ascent = GetI32(header + AscentOffset);
    h.StrikeSize = GetI32(header + StrikeSizeOffset);
    h.StrikePosition = GetI32(header + StrikePositionOffset);
    h.UnderscoreSize = GetI32(header + UnderscoreSizeOffset);
    h.UnderscorePosition = GetI32(header + UnderscorePositionOffset);
    h.Listed = header[318] != 0;

    const uint32_t indexLength = uint32_t(GetI32(header + 18));
    if (h.GlyphCount < 0 || h.GlyphCount > 65535 || indexLength > uint64_t(fileSize - HeaderSize))
        RaiseBroken(fileName);
    section->BitmapBase = HeaderSize + int64_t(indexLength);

    std::vector<uint8_t> packed(indexLength);
    if (!ReadExactAt(*stream, HeaderSize, packed.data(), indexLength)) RaiseBroken(fileName);
    const size_t indexSize = size_t(h.GlyphCount) * IndexEntrySize;
    std::vector<uint8_t> index;
    try {
        index = InflateMember(packed.data(), packed.size(), indexSize);
    } catch (const ERukoError&) {
        RaiseBroken(fileName);
    }
    if (index.size() != indexSize) RaiseBroken(fileName);

    const int64_t bitmapBytes = fileSize - section->BitmapBase;
    section->CodeMap.assign(65536, MissingGlyph);
    section->Glyphs.resize(size_t(h.GlyphCount));
    for (int32_t i = 0; i < h.GlyphCount; ++i) {
        const uint8_t* e = index.data() + size_t(i) * IndexEntrySize;
        TPixelGlyphRecord& g = section->Glyphs[size_t(i)];
        g.Width = GetU16(e + 2);
        g.Height = GetU16(e + 4);
        g.OriginX = int16_t(GetU16(e + 6));
        g.OriginY = int16_t(GetU16(e + 8));
        g.AdvanceX = int16_t(GetU16(e + 10));
        g.AdvanceY = int16_t(GetU16(e + 12));
        g.Offset = uint32_t(GetI32(e + 14));
        if (g.Width > MaxPixelGlyphSide || g.Height > MaxPixelGlyphSide ||
            int64_t(g.Offset) + int64_t(g.Height) * GlyphRowStride(g.Width) > bitmapBytes)
            RaiseBroken(fileName);
        section->CodeMap[GetU16(e)] = uint16_t(i);
    }
    section->stream_ = std::move(stream);
    return section;
}

const TPixelGlyphRecord* TPixelFontSection::FindGlyph(uint16_t code) const
{
    const uint16_t number = CodeMap[code];
    return number == MissingGlyph ? nullptr : &Glyphs[number];
}

bool TPixelFontSection::ReadBitmap(const TPixelGlyphRecord& glyph, TDIBX& bitmap)
{
    bitmap.SetSize(glyph.Width, glyph.Height, 8);
    if (glyph.Width == 0 || glyph.Height == 0) return true;
    const int32_t stride = GlyphRowStride(glyph.Width);
    // The surface's own pitch is also a multiple of 4, so rows arrive in place.
    std::vector<uint8_t> rows(size_t(stride) * glyph.Height);
    if (!ReadExactAt(*stream_, BitmapBase + glyph.Offset, rows.data(), int64_t(rows.size()))) return false;
    for (int32_t y = 0; y < glyph.Height; ++y)
        std::memcpy(bitmap.ScanLine(y), rows.data() + size_t(y) * stride, glyph.Width);
    return true;
}

TPixelFontSection* TPixelFontManager::LoadFontFile(const std::string& fileName)
{
    for (int i = 0; i < sections_.Count(); ++i)
        if (SameText(GetSection(i).FileName, fileName)) return nullptr;
    std::unique_ptr<TRangeStream> stream = TRangeStream::OpenFile(fileName);
    if (!stream) RaiseError(FormatText(Utf8ToCp932("%s:ファイルがありません").c_str(), fileName.c_str()));
    return LoadFontStream(fileName, std::move(stream));
}

TPixelFontSection* TPixelFontManager::LoadFontStream(const std::string& fileName,
                                                     std::unique_ptr<TKwBigStream> stream)
{
    for (int i = 0; i < sections_.Count(); ++i)
        if (SameText(GetSection(i).FileName, fileName)) return nullptr;
    std::unique_ptr<TPixelFontSection> section = TPixelFontSection::Read(fileName, std::move(stream));
    const std::string key =
        PixelFontKey(section->Header.FaceName, section->Header.CharSize, section->Header.Style);
    if (sections_.Find(key)) return nullptr;
    section->SetName(key);
    return &static_cast<TPixelFontSection&>(sections_.Append(std::move(section)));
}

TPixelFontSection* TPixelFontManager::FindSection(std::string_view face, int32_t size, int32_t style) const
{
    return static_cast<TPixelFontSection*>(sections_.Find(PixelFontKey(face, size, style)));
}

// The section holding the glyph, with `info` filled; null when there is none.
TPixelFontSection* TPixelFontManager::LocateGlyph(std::string_view face, int32_t size, int32_t style,
                                                  uint16_t code, TPixelGlyphInfo& info) const
{
    TPixelFontSection* section = FindSection(face, size, style);
    if (!section) return nullptr;
    const TPixelGlyphRecord* glyph = section->FindGlyph(code);
    if (!glyph) return nullptr;
    info.Glyph = *glyph;
    info.Header = &section->Header;
    return section;
}

bool TPixelFontManager::GetGlyphMetrics(std::string_view face, int32_t size, int32_t style, uint16_t code,
                                        TPixelGlyphInfo& info) const
{
    return LocateGlyph(face, size, style, code, info) != nullptr;
}

bool TPixelFontManager::GetGlyph(std::string_view face, int32_t size, int32_t style, uint16_t code,
                                 TDIBX& bitmap, TPixelGlyphInfo& info)
{
    TPixelFontSection* section = LocateGlyph(face, size, style, code, info);
    return section && section->ReadBitmap(info.Glyph, bitmap);
}

std::vector<uint8_t> WritePixelFont(const TPixelFontData& font)
{
    const TPixelFontHeader& h = font.Header;
    std::vector<uint8_t> index(font.Glyphs.size() * IndexEntrySize);
    std::vector<uint8_t> bitmaps;
    for (size_t i = 0; i < font.Glyphs.size(); ++i) {
        const TPixelFontGlyph& glyph = font.Glyphs[i];
        const TPixelGlyphRecord& r = glyph.Record;
        const size_t at = i * IndexEntrySize;
        PutU16(index, at, glyph.Code);
        PutU16(index, at + 2, r.Width);
        PutU16(index, at + 4, r.Height);
        PutU16(index, at + 6, uint16_t(r.OriginX));
        PutU16(index, at + 8, uint16_t(r.OriginY));
        PutU16(index, at + 10, uint16_t(r.AdvanceX));
        PutU16(index, at + 12, uint16_t(r.AdvanceY));
        PutI32(index, at + 14, int32_t(bitmaps.size()));
        const size_t stride = size_t(GlyphRowStride(r.Width));
        for (size_t y = 0; y < r.Height; ++y) {
            const size_t row = bitmaps.size();
            bitmaps.resize(row + stride, 0);
            const size_t from = y * r.Width;
            if (from + r.Width <= glyph.Coverage.size())
                std::copy_n(glyph.Coverage.begin() + ptrdiff_t(from), r.Width,
                            bitmaps.begin() + ptrdiff_t(row));
        }
    }
    const std::vector<uint8_t> packed = DeflateMember(index.data(), index.size());

    std::vector<uint8_t> out(size_t(HeaderSize) + packed.size() + bitmaps.size(), 0);
    std::memcpy(out.data(), Magic, sizeof Magic);
    PutI32(out, 18, int32_t(packed.size()));
    std::memcpy(out.data() + FaceOffset, h.FaceName.data(),
                std::min<size_t>(h.FaceName.size(), FaceSize - 1));
    PutI32(out, 90, h.CharSize);
    out[94] = h.Style & 3;
    PutI32(out, 102, int32_t(font.Glyphs.size()));
    // The record's own size, then the text metrics a reader of the record expects beside the ascent.
    PutI32(out, MetricsOffset, int32_t(MetricsSize));
    PutI32(out, MetricsOffset + 4, h.CharSize);
    PutI32(out, AscentOffset, h.Ascent);
    PutI32(out, AscentOffset + 4, h.CharSize - h.Ascent);
    PutI32(out, StrikeSizeOffset, h.StrikeSize);
    PutI32(out, StrikePositionOffset, h.StrikePosition);
    PutI32(out, UnderscoreSizeOffset, h.UnderscoreSize);
    PutI32(out, UnderscorePositionOffset, h.UnderscorePosition);
    out[318] = h.Listed ? 1 : 0;
    std::copy(packed.begin(), packed.end(), out.begin() + HeaderSize);
    std::copy(bitmaps.begin(), bitmaps.end(), out.begin() + HeaderSize + ptrdiff_t(packed.size()));
    return out;
}

TPixelFontData ReadPixelFontData(TPixelFontSection& section)
{
    TPixelFontData font;
    font.Header = section.Header;
    // Index order is kept, so a file written back has the same layout.
    std::vector<uint16_t> codes(section.Glyphs.size(), 0);
    for (uint32_t code = 0; code < 65536; ++code)
        if (section.CodeMap[code] != MissingGlyph) codes[section.CodeMap[code]] = uint16_t(code);
    TDIBX bitmap;
    for (size_t i = 0; i < section.Glyphs.size(); ++i) {
        const TPixelGlyphRecord& record = section.Glyphs[i];
        // An entry shadowed by a later one of the same code cannot be reached; it is dropped.
        if (section.CodeMap[codes[i]] != i) continue;
        TPixelFontGlyph glyph;
        glyph.Code = codes[i];
        glyph.Record = record;
        glyph.Record.Offset = 0;
        if (!section.ReadBitmap(record, bitmap)) RaiseBroken(section.FileName);
        for (int32_t y = 0; y < record.Height; ++y) {
            const uint8_t* row = bitmap.ScanLine(y);
            glyph.Coverage.insert(glyph.Coverage.end(), row, row + record.Width);
        }
        font.Glyphs.push_back(std::move(glyph));
    }
    return font;
}

} // namespace ruko
