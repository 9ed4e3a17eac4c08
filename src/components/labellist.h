#pragma once
// Short one-line texts (button captions, list items) drawn from the glyph cache. A TKwLabelList
// holds the settings its captions share and owns them; each TKwLabelDIB renders its text once
// into a colour picture and an 8-bit mask and draws those onto the list's surface until its text,
// the settings or the surface's pixel format change.
//
// Settings are stored as the owner gives them; drawing uses FontHeight clamped to 1..512 (a
// height ≤ 0 draws nothing) and Border and Shadow clamped to 0..32, so no stored value can ask
// for a huge picture.
#include "graphics/dibsfc.h"
#include "io/bigstream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TKwLabelList;

class TKwLabelDIB
{
  public:
    explicit TKwLabelDIB(TKwLabelList& owner) : Owner(owner) {}

    TKwLabelList& Owner;
    TDIBX Picture;
    TDIBX Mask;
    std::string Text;
    bool Dirty = true;
    int32_t Height = 0;
    int32_t Width = 0;
    std::vector<int32_t> Advances; // one per character

    void SetText(const std::string& text);
    void Render();
    void Draw(int32_t x, int32_t y);

  private:
    int32_t renderedFormat_ = 0;
};

class TKwLabelList
{
  public:
    // Widths beyond this are cut: a caption is never wider than a component may be.
    static constexpr int32_t MaxCaptionWidth = 32768;
    static constexpr int32_t MaxFontHeight = 512;
    static constexpr int32_t MaxDecoration = 32;
    static constexpr size_t ReservedSize = 212;

    TKwLabelList();

    int32_t Quality = 3;
    TCustomDIBX* Surface = nullptr; // set by the owner before drawing
    int32_t Border = 0;
    int32_t Alpha = 255;
    int32_t FontHeight = 12;
    std::string FontName; // "ＭＳ Ｐゴシック"
    int32_t FontColor = 0xFFFFFF;
    int32_t BorderColor = 0;
    uint8_t FontStyle = 0;
    int32_t Shadow = 0;
    int32_t ShadowColor = 0;
    // Bytes of the record nothing reads; kept so a loaded record is written back unchanged.
    std::array<uint8_t, ReservedSize> Reserved{};

    TKwLabelDIB& Add();
    // None outside 0 .. Count() − 1.
    TKwLabelDIB* Item(int64_t i);
    int32_t Count() const { return int32_t(items_.size()); }
    void Measure();
    void MarkDirty();
    int32_t MaxWidth() const;
    void Clear();
    void SetFontHeight(int32_t height);

    // The settings the drawing uses.
    int32_t DrawnFontHeight() const;
    int32_t DrawnBorder() const;
    int32_t DrawnShadow() const;

    void SaveToStream(TKwBigStream& s) const;
    // `version` is that of the save record holding the caption record. The list is unchanged
    // when the record is damaged.
    void LoadFromStream(TKwBigStream& s, int32_t version);

  private:
    std::vector<std::unique_ptr<TKwLabelDIB>> items_;
};

// Each character of a caption text: a byte, or a lead byte and its trail as lead × 256 + trail.
std::vector<uint16_t> CaptionCodes(const std::string& text);

} // namespace ruko
