#pragma once
// Off-screen surfaces and every drawing operation the player uses.
//
// A *colour* is a Windows colour 0x00BBGGRR; a *pixel value* is the raw stored value in a surface's
// own format. Drawing operations take pixel values only: convert a colour once with ColorToPixel.
//
// Formats (PixelFormat): 8 (index, grey or mask byte), 15 (16-bit 5-5-5: red 0x7C00, green 0x03E0,
// blue 0x001F), 16 (16-bit 5-6-5: 0xF800, 0x07E0, 0x001F), 24 (bytes blue, green, red) and 32
// (XRGB: red 0xFF0000, green 0xFF00, blue 0xFF, the top byte kept 0 and ignored by drawing).
// 1- and 4-bit stores exist only for decoding pictures; no drawing operation blends in them
// (1-bit: leftmost pixel in the most significant bit; 4-bit: leftmost pixel in the high nibble).
//
// Rows are stored top-down; Pitch is the positive byte step between rows, a multiple of 4.
//
// Every drawing operation clips against the clip rectangle of the destination, against the source
// surface and against the mask surface: nothing is ever read or written out of bounds. Calls whose
// arguments do not make sense (wrong mask format, zoom not finite or not positive, alpha 0) draw
// nothing.
//
// Opacity: 0..255 is a blend weight w, giving floor(((255 - w) * d + w * s) / 256) per channel
// (a destination pixel already equal to the source is left unchanged); operations that take the
// extended 0..511 range draw additively with weight min(alpha - 256, 255) from 256 on:
// out = min(max, d + floor(w * s / 256)).
#include "base/rect.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace ruko {

// The pixel store of a TDIBX. Palette entries are 0x00RRGGBB (the blue, green, red, reserved byte
// order of a bitmap colour table).
struct TDIBSurface
{
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Format = 32; // 1, 4, 8, 15, 16, 24 or 32
    int32_t Pitch = 0;
    std::vector<uint8_t> Bits;
    std::array<uint32_t, 256> Palette{};
};

// Number of bytes of one row of `width` pixels of `format`, padded to a multiple of 4.
int32_t RowPitch(int32_t width, int32_t format);

class TCustomDIBX
{
  public:
    // Right = 0 means no clip: the clip is the whole surface.
    TRect ClipRect;
    // Colour key as a pixel value of this surface; -1 = none. Drawing that honours a key compares
    // source pixels against the source surface's key.
    int64_t TransparentColor = -1;

    TCustomDIBX() = default;
    TCustomDIBX(const TCustomDIBX&) = delete;
    TCustomDIBX& operator=(const TCustomDIBX&) = delete;
    virtual ~TCustomDIBX() = default;

    // --- geometry and pixel access -------------------------------------------------------------
    virtual bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    virtual int32_t PixelFormat() const = 0;
    virtual int32_t BitCount() const;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual int32_t Pitch() const = 0;
    uint32_t RedMask() const;
    uint32_t GreenMask() const;
    uint32_t BlueMask() const;
    int32_t BlueShift() const;
    int32_t GreenShift() const;
    int32_t RedShift() const;
    TRect BoundsRect() const { return TRect(0, 0, Width(), Height()); }

    // The surface that really holds the pixels.
    virtual TCustomDIBX& Target() { return *this; }

    // Reallocates; the contents are undefined until drawn.
    virtual void SetSize(int32_t width, int32_t height, int32_t format) = 0;
    // Pointer to pixel (x, y) (for 1/4-bit stores: to the byte holding it); nullptr when empty or
    // when (x, y) lies outside the surface.
    virtual uint8_t* Lock(int32_t x, int32_t y) = 0;
    virtual void Unlock() {}
    const uint8_t* Lock(int32_t x, int32_t y) const { return const_cast<TCustomDIBX*>(this)->Lock(x, y); }
    uint8_t* ScanLine(int32_t y) { return Lock(0, y); }
    const uint8_t* ScanLine(int32_t y) const { return Lock(0, y); }

    // Raw pixel values; out-of-range coordinates read 0 and write nothing.
    virtual uint32_t GetPixel(int32_t x, int32_t y) const;
    virtual void SetPixel(int32_t x, int32_t y, uint32_t value);

    // --- clipping ------------------------------------------------------------------------------
    virtual void ResetClipRect() { ClipRect = TRect(); }
    // Extends the clip by `rect` clamped to the surface; with no clip set the clip becomes it.
    virtual void AddClipRect(const TRect& rect);
    // The rectangle drawing is limited to: the clip within the surface.
    TRect EffectiveClip() const;

    // --- colours -------------------------------------------------------------------------------
    // Negative colours give -1; 8-bit (and 1/4-bit) surfaces return the colour unchanged; 24-bit
    // values are 0x00RRGGBB like 32-bit ones.
    virtual int64_t ColorToPixel(int64_t color) const;
    // The colour 0x00BBGGRR of a pixel value (8-bit: through the palette).
    uint32_t PixelToColor(uint32_t value) const;

    // --- fills ---------------------------------------------------------------------------------
    virtual void Fill(uint32_t value);
    virtual void FillRect(const TRect& rect, uint32_t value);
    virtual void FillRectAlpha(const TRect& rect, uint32_t value, int32_t alpha);
    virtual void FillRectAdd(const TRect& rect, uint32_t value);
    virtual void FillRectSub(const TRect& rect, uint32_t value);
    void FrameRect(const TRect& rect, int32_t width, uint32_t value);
    void FrameRectAlpha(const TRect& rect, int32_t width, uint32_t value, int32_t alpha);
    void FrameRectAdd(const TRect& rect, int32_t width, uint32_t value);

    // Whole-surface copy of a surface of the same size (other sizes: drawn at (0, 0)).
    virtual void Assign(const TCustomDIBX& source);

    // --- rectangle copies ----------------------------------------------------------------------
    // (x, y) receives the top-left corner of srcRect; flips mirror the source within srcRect.
    // `mask` is an 8-bit surface read at the source pixel's coordinates; mask 0 skips the pixel.
    virtual void Draw(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                      bool flipH, bool flipV);
    virtual void DrawMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                          bool flipV, const TCustomDIBX& mask);
    virtual void DrawAlpha(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                           bool flipH, bool flipV, int32_t alpha);
    virtual void DrawAlphaMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                               bool flipH, bool flipV, const TCustomDIBX& mask, int32_t alpha);
    // Always honours the source key. On 8-bit surfaces the raw values are added (mask build-up).
    virtual void DrawAdd(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                         bool flipV, int32_t alpha);
    virtual void DrawAddMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                             bool flipH, bool flipV, const TCustomDIBX& mask, int32_t alpha);
    // Paints the solid `value` through the 8-bit `mask` (srcRect is a rectangle of the mask).
    virtual void DrawMaskColor(int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& srcRect,
                               bool flipH, bool flipV, uint32_t value, int32_t alpha);

    // --- scaled and rotated copies -------------------------------------------------------------
    // alpha <= 254 blends, 255 copies.
    virtual void StretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                             bool useKey, bool flipH, bool flipV, int32_t alpha);
    virtual void StretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                 const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha);
    virtual void StretchDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                bool useKey, bool flipH, bool flipV, int32_t alpha);
    virtual void StretchDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                    const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha);
    // The pivot (relative to srcRect) lands on (x, y); angle in radians; alpha 1..254 blends,
    // 255 copies, 256..511 adds.
    virtual void RotateDraw(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                            const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle, bool useKey,
                            bool flipH, bool flipV, int32_t alpha);
    virtual void RotateDrawMask(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                                const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle,
                                const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha);

    // --- glyphs and palettes -------------------------------------------------------------------
    // 1-bit source `factor` times larger than the drawn area; 0 bits are ink.
    virtual void DrawMonoGlyph(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                               uint32_t value, bool flipH, bool flipV, int32_t alpha, int32_t factor);
    // 4-bit source of 2-bit classes: 0 keeps the destination, 1..3 take value1..value3.
    virtual void DrawGlyph4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                            uint32_t value1, uint32_t value2, uint32_t value3, bool flipH, bool flipV,
                            int32_t alpha, int32_t factor);
    // 4-bit source through 16 pixel values; the source key (a 4-bit value) is skipped.
    virtual void DrawPalette4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                              bool flipH, bool flipV, int32_t alpha, const uint32_t* table);
    // 8-bit source through 256 pixel values, added with weight alpha; values below minIndex skipped.
    virtual void DrawPalette(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect,
                             int32_t minIndex, bool flipH, bool flipV, int32_t alpha, const uint32_t* table);
    virtual void StretchDrawPalette(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                                    int32_t minIndex, bool flipH, bool flipV, int32_t alpha,
                                    const uint32_t* table);

    // --- tiling --------------------------------------------------------------------------------
    // Repeat srcRect over destRect, starting (offsetX, offsetY) into the pattern (wrapped), with
    // gaps between tiles; each tile is drawn with the matching single operation.
    void TileDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect, int32_t offsetX,
                  int32_t offsetY, int32_t gapX, int32_t gapY, bool useKey, bool flipH, bool flipV);
    void TileDrawAlpha(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                       int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY, bool useKey, bool flipH,
                       bool flipV, int32_t alpha);
    void TileDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect, int32_t offsetX,
                     int32_t offsetY, int32_t gapX, int32_t gapY, bool flipH, bool flipV, int32_t alpha);
    void TileDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect, int32_t offsetX,
                      int32_t offsetY, int32_t gapX, int32_t gapY, const TCustomDIBX& mask, bool flipH,
                      bool flipV);
    void TileDrawAlphaMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                           int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY,
                           const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha);
    void TileDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                         int32_t offsetX, int32_t offsetY, int32_t gapX, int32_t gapY,
                         const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha);
    // Tiles of tileWidth x tileHeight, each the stretched srcRect.
    void TileStretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                         int32_t tileWidth, int32_t tileHeight, int32_t offsetX, int32_t offsetY,
                         int32_t gapX, int32_t gapY, bool useKey, bool flipH, bool flipV, int32_t alpha);
    void TileStretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                             int32_t tileWidth, int32_t tileHeight, int32_t offsetX, int32_t offsetY,
                             int32_t gapX, int32_t gapY, const TCustomDIBX& mask, bool flipH, bool flipV,
                             int32_t alpha);
    // Fills rect with the whole `pattern` at 1:1, scrolled by the offsets.
    virtual void TileFill(const TRect& rect, const TCustomDIBX& pattern, int32_t offsetX, int32_t offsetY,
                          bool flipH, bool flipV);
    // As TileFill with the pattern zoomed; alpha as for RotateDraw.
    virtual void TileFillZoom(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                              int32_t offsetX, int32_t offsetY, bool useKey, bool flipH, bool flipV,
                              int32_t alpha);
    virtual void TileFillZoomMask(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                                  int32_t offsetX, int32_t offsetY, const TCustomDIBX& mask, bool flipH,
                                  bool flipV, int32_t alpha);
    // The four bands of a frame `width` wide, filled with TileFill.
    void FramePattern(const TRect& rect, int32_t width, const TCustomDIBX& pattern, int32_t offsetX,
                      int32_t offsetY);

    // --- palette (8-bit and smaller stores) ----------------------------------------------------
    virtual void GetPalette(uint32_t* table) const;
    virtual void SetPalette(const uint32_t* table);
};

// A surface whose pixels live in memory. A new TDIBX is 1x1 of format 15.
class TDIBX : public TCustomDIBX
{
  public:
    TDIBX();
    TDIBX(int32_t width, int32_t height, int32_t format);

    int32_t PixelFormat() const override { return Store->Format; }
    int32_t Width() const override { return Store->Width; }
    int32_t Height() const override { return Store->Height; }
    int32_t Pitch() const override { return Store->Pitch; }
    void SetSize(int32_t width, int32_t height, int32_t format) override;
    uint8_t* Lock(int32_t x, int32_t y) override;
    void GetPalette(uint32_t* table) const override;
    void SetPalette(const uint32_t* table) override;

    // Converts the pixels to 15, 16 or 32 bits (24 from 32 and back as well); no-op when unchanged.
    void SetPixelFormat(int32_t format);
    // Size 0x0 (an 8x8 store stays allocated).
    void Clear();
    // Makes this surface share `other`'s pixel store until either is written through Unshare.
    void ShareStore(const TDIBX& other);
    // Gives this surface a private copy of a shared store.
    void Unshare();
    const TDIBSurface& Surface() const { return *Store; }

  private:
    std::shared_ptr<TDIBSurface> Store;
};

// A proxy that owns no pixels: every drawing call goes to Target() with each destination row
// shifted horizontally by its row offset (destination row r uses Offsets[r - Origin]; rows
// outside the offset table are not drawn).
class TDIBXWave : public TCustomDIBX
{
  public:
    explicit TDIBXWave(TCustomDIBX& target);

    std::vector<int32_t> Offsets;
    int32_t Origin = 0;

    int32_t PixelFormat() const override { return WaveTarget->PixelFormat(); }
    int32_t BitCount() const override { return WaveTarget->BitCount(); }
    int32_t Width() const override { return WaveWidth; }
    int32_t Height() const override { return WaveHeight; }
    int32_t Pitch() const override { return WaveTarget->Pitch(); }
    TCustomDIBX& Target() override { return *WaveTarget; }
    // Sets the size and the length of the offset table; the format is the target's.
    void SetSize(int32_t width, int32_t height, int32_t format) override;
    uint8_t* Lock(int32_t, int32_t) override { return nullptr; }
    uint32_t GetPixel(int32_t x, int32_t y) const override;
    void SetPixel(int32_t x, int32_t y, uint32_t value) override;
    int64_t ColorToPixel(int64_t color) const override { return WaveTarget->ColorToPixel(color); }

    void Fill(uint32_t value) override;
    void FillRect(const TRect& rect, uint32_t value) override;
    void FillRectAlpha(const TRect& rect, uint32_t value, int32_t alpha) override;
    void FillRectAdd(const TRect& rect, uint32_t value) override;
    void FillRectSub(const TRect& rect, uint32_t value) override;
    void Assign(const TCustomDIBX& source) override;
    void Draw(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey, bool flipH,
              bool flipV) override;
    void DrawMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                  bool flipV, const TCustomDIBX& mask) override;
    void DrawAlpha(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                   bool flipH, bool flipV, int32_t alpha) override;
    void DrawAlphaMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                       bool flipV, const TCustomDIBX& mask, int32_t alpha) override;
    void DrawAdd(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                 bool flipV, int32_t alpha) override;
    void DrawAddMask(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                     bool flipV, const TCustomDIBX& mask, int32_t alpha) override;
    void DrawMaskColor(int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& srcRect, bool flipH,
                       bool flipV, uint32_t value, int32_t alpha) override;
    void DrawPalette(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, int32_t minIndex,
                     bool flipH, bool flipV, int32_t alpha, const uint32_t* table) override;
    void DrawPalette4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, bool flipH,
                      bool flipV, int32_t alpha, const uint32_t* table) override;
    void StretchDraw(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                     bool flipH, bool flipV, int32_t alpha) override;
    void StretchDrawMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                         const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha) override;
    void StretchDrawAdd(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect, bool useKey,
                        bool flipH, bool flipV, int32_t alpha) override;
    void StretchDrawAddMask(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                            const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha) override;
    void StretchDrawPalette(const TRect& destRect, const TCustomDIBX& source, const TRect& srcRect,
                            int32_t minIndex, bool flipH, bool flipV, int32_t alpha,
                            const uint32_t* table) override;
    void RotateDraw(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                    const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle, bool useKey,
                    bool flipH, bool flipV, int32_t alpha) override;
    void RotateDrawMask(int32_t x, int32_t y, double zoomX, double zoomY, const TCustomDIBX& source,
                        const TRect& srcRect, int32_t pivotX, int32_t pivotY, double angle,
                        const TCustomDIBX& mask, bool flipH, bool flipV, int32_t alpha) override;
    void DrawMonoGlyph(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, uint32_t value,
                       bool flipH, bool flipV, int32_t alpha, int32_t factor) override;
    void DrawGlyph4(int32_t x, int32_t y, const TCustomDIBX& source, const TRect& srcRect, uint32_t value1,
                    uint32_t value2, uint32_t value3, bool flipH, bool flipV, int32_t alpha,
                    int32_t factor) override;
    void TileFill(const TRect& rect, const TCustomDIBX& pattern, int32_t offsetX, int32_t offsetY, bool flipH,
                  bool flipV) override;
    void TileFillZoom(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                      int32_t offsetX, int32_t offsetY, bool useKey, bool flipH, bool flipV,
                      int32_t alpha) override;
    void TileFillZoomMask(const TRect& rect, const TCustomDIBX& pattern, double zoomX, double zoomY,
                          int32_t offsetX, int32_t offsetY, const TCustomDIBX& mask, bool flipH, bool flipV,
                          int32_t alpha) override;

  private:
    TCustomDIBX* WaveTarget;
    int32_t WaveWidth = 0;
    int32_t WaveHeight = 0;

    // Calls draw(offset) once for each run of rows in [top, bottom) sharing one offset, with the
    // target's clip narrowed to those rows and to this surface's clip.
    template <class DrawBand> void ForEachBand(int64_t top, int64_t bottom, DrawBand&& draw);
};

// The destination rectangle RotateDraw touches for these arguments (unclipped); empty when a zoom
// is not finite or not positive.
TRect RotatedBounds(int32_t x, int32_t y, double zoomX, double zoomY, const TRect& srcRect, int32_t pivotX,
                    int32_t pivotY, double angle, bool flipH, bool flipV);

} // namespace ruko
