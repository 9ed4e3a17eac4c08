#pragma once
// The image cache shared by all components: pictures by game file name, converted once to the
// screen's format. A name followed by "?m" asks for a mask built from the transparent colour, by
// "?t" for pictures trimmed to their visible pixels ("?m?t" both).
#include "graphics/dibsfc.h"
#include "graphics/picture.h"
#include "io/hash.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ruko {

class TBromFrameList;

// Where the cache reads files: the shell wires these to the file manager, tests to memory.
// `Load` raises "%s:ファイルがありません" for a missing file.
struct TBromFileSource
{
    std::function<bool(const std::string& name)> Exists;
    std::function<std::vector<uint8_t>(const std::string& name)> Load;
};

// One frame of a cached picture.
struct TBromItemFrame
{
    std::unique_ptr<TDIBX> Surface;   // the screen's format; TransparentColor is its key
    std::unique_ptr<TDIBX> Mask;      // 8-bit, or none
    int64_t TransColorValue = -1;     // colour 0x00BBGGRR of the key, −1 none
    int32_t Delay = 1;                // never 0
    int32_t OffsetX = 0, OffsetY = 0; // where a trimmed picture sits in the untrimmed frame
    std::array<std::vector<TRect>, 2> RectLists;
};

class TBromCollection;

class TBromItem : public THashCollectionItem
{
  public:
    explicit TBromItem(std::string name) : THashCollectionItem(std::move(name)) {}

    int32_t Width = 0; // of frame 0 before trimming
    int32_t Height = 0;
    int64_t TotalDelay = 0;
    std::vector<TBromItemFrame> Frames;

    int UserCount() const { return int(users_.size()); }
    // Drops `user`; the last release hands the item back to its cache.
    void Release(const void* user);

  private:
    friend class TBromCollection;
    std::vector<const void*> users_;
    bool loaded_ = false;

    int64_t SurfaceBytes() const;

    // Loads from the file the name gives; a missing file gives an invisible 8 × 8 picture, a
    // damaged one raises and leaves the frames as they were.
    void Load(const TBromCollection& owner);
};

class TBromCollection : public THashCollection
{
  public:
    TBromCollection(TBromFileSource source, int32_t identCode, int32_t screenBits = 32);

    int32_t IdentCode;
    int32_t ScreenBits;
    // Items without users kept for reuse; the oldest beyond this many are freed.
    size_t MaxReleased = 64;
    // The cached surfaces of all items together never take more: released items go first, and a
    // picture that still does not fit is refused.
    int64_t MaxBytes = int64_t(1) << 30;

    // The item for name (+ "?m" when makeMask, then "?t" when trim), loaded on first use;
    // registers `user`.
    TBromItem& Acquire(const void* user, const std::string& name, bool makeMask, bool trim);
    void Release(TBromItem& item, const void* user) { item.Release(user); }
    // Frees released items of the name and its variants so the next Acquire reads the file again.
    void Forget(const std::string& name);
    // True when the picture file can be read (the name without the "?m" / "?t" suffixes).
    bool Exists(const std::string& name) const { return source_.Exists && source_.Exists(name); }
    // Reads every item again whose file still exists.
    void ReloadAll(bool recreateSurfaces);
    // Nothing to release: our surfaces hold no device resources.
    void ReleaseSurfaces() {}
    // The image dithering option ("@CGDither"); a change reloads the cache.
    uint8_t Option() const { return option_; }
    void SetOption(uint8_t flag);

    int ReleasedCount() const { return int(released_.size()); }
    int64_t Bytes() const { return bytes_; }

  private:
    friend class TBromItem;
    TBromFileSource source_;
    uint8_t option_ = 0;
    std::vector<TBromItem*> released_; // oldest first
    int64_t bytes_ = 0;                // of the surfaces of all items

    void Released(TBromItem& item);
    // Makes room for `bytes` more, freeing released items oldest first; raises when it cannot.
    void Reserve(const TBromItem& item, int64_t bytes);
    void Free(TBromItem* item);
};

// Draws a cached frame with the 0..511 opacity rule: with a mask ≤ 254 blends through it, 255
// copies through it, 256..511 adds; without one the same with the surface's key.
void DrawCached(const TBromItemFrame& frame, TCustomDIBX& dest, int32_t x, int32_t y, int32_t alpha,
                bool flipH, bool flipV, const TRect& srcRect);
// Repeats srcRect over destRect, starting (offsetX, offsetY) into the pattern.
void DrawCachedTiled(const TBromItemFrame& frame, TCustomDIBX& dest, const TRect& destRect, int32_t offsetX,
                     int32_t offsetY, int32_t alpha, bool flipH, bool flipV, const TRect& srcRect);

// The process-wide cache: created at start-up over the file manager before the project, freed
// after the component lists.
extern TBromCollection* BromMan;

// The first frame of a picture read through `cache`, for a transition's rule; nullptr when there
// is no such file. A damaged file raises.
std::unique_ptr<TCustomDIBX> CachedRulePicture(TBromCollection& cache, const std::string& name);

// Converts a frame's picture to a surface of `format` (24-bit and 32-bit pictures straight into
// 32-bit surfaces, others through their colours).
void CopyPictureToSurface(const TPicture& picture, TDIBX& surface);

} // namespace ruko
