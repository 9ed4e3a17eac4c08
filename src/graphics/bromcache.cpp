#include "graphics/bromcache.h"

#include "base/error.h"
#include "base/text.h"
#include "graphics/brom.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace ruko {

TBromCollection* BromMan = nullptr;

namespace {

// The file name without the cache's "?m" / "?t" suffixes, and which of them it had.
std::string BaseName(const std::string& name, bool& makeMask, bool& trim)
{
    std::string base = name;
    makeMask = trim = false;
    for (;;) {
        if (base.size() >= 2 && base[base.size() - 2] == '?' && (base.back() == 'm' || base.back() == 'M')) {
            makeMask = true;
            base.resize(base.size() - 2);
        } else if (base.size() >= 2 && base[base.size() - 2] == '?' &&
                   (base.back() == 't' || base.back() == 'T')) {
            trim = true;
            base.resize(base.size() - 2);
        } else
            return base;
    }
}

std::unique_ptr<TDIBX> MaskFromPlane(const TPicture& plane)
{
    auto mask = std::make_unique<TDIBX>(plane.Width(), plane.Height(), 8);
    for (int y = 0; y < plane.Height(); ++y)
        std::memcpy(mask->ScanLine(y), plane.Row(y), size_t(plane.Width()));
    return mask;
}

} // namespace

void CopyPictureToSurface(const TPicture& picture, TDIBX& surface)
{
    int width = picture.Width(), height = picture.Height();
    if (surface.PixelFormat() == 32 && (picture.Bits() == 24 || picture.Bits() == 32)) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = picture.Row(y);
            uint32_t* target = reinterpret_cast<uint32_t*>(surface.ScanLine(y));
            if (picture.Bits() == 24)
                for (int x = 0; x < width; ++x, source += 3)
                    target[x] = source[0] | (source[1] << 8) | (uint32_t(source[2]) << 16);
            else
                for (int x = 0; x < width; ++x, source += 4)
                    target[x] = (source[0] | (source[1] << 8) | (uint32_t(source[2]) << 16));
        }
        return;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int64_t value = surface.ColorToPixel(picture.PixelToColor(picture.GetPixel(x, y)));
            surface.SetPixel(x, y, uint32_t(value));
        }
}

void TBromItem::Release(const void* user)
{
    auto found = std::find(users_.begin(), users_.end(), user);
    if (found == users_.end()) return;
    users_.erase(found);
    if (users_.empty())
        if (auto* owner = static_cast<TBromCollection*>(Collection())) owner->Released(*this);
}

int64_t TBromItem::SurfaceBytes() const
{
    int64_t bytes = 0;
    for (const TBromItemFrame& frame : Frames) {
        if (frame.Surface) bytes += int64_t(frame.Surface->Pitch()) * frame.Surface->Height();
        if (frame.Mask) bytes += int64_t(frame.Mask->Pitch()) * frame.Mask->Height();
    }
    return bytes;
}

void TBromItem::Load(const TBromCollection& owner)
{
    bool makeMask, trim;
    std::string file = BaseName(Name(), makeMask, trim);
    int32_t format = owner.ScreenBits > 0 ? owner.ScreenBits : 32;
    std::vector<TBromItemFrame> frames;
    int32_t width = 8, height = 8;
    int64_t total = 0;
    if (!owner.source_.Exists || !owner.source_.Exists(file)) {
        TBromItemFrame frame;
        frame.Surface = std::make_unique<TDIBX>(8, 8, format);
        frame.Surface->Fill(0);
        frame.Surface->TransparentColor = 0;
        if (makeMask) {
            frame.Mask = std::make_unique<TDIBX>(8, 8, 8);
            frame.Mask->Fill(0);
        }
        total = 1;
        frames.push_back(std::move(frame));
    } else {
        TBromFrameList list(owner.IdentCode);
        if (owner.option_) list.TargetBits = format;
        try {
            list.LoadFromData(file, owner.source_.Load(file));
        } catch (const ERukoError& error) {
            // Name the picture: the same texts come from every damaged file.
            RaiseError(file + ":" + error.what());
        }
        if (makeMask) list.MakeMasks(false);
        for (int i = 0; i < list.Count(); ++i) {
            TBromFrame& source = list.Frames(i);
            if (i == 0) {
                width = source.Picture.Width();
                height = source.Picture.Height();
            }
            TBromItemFrame frame;
            if (trim) std::tie(frame.OffsetX, frame.OffsetY) = source.Trim();
            frame.Surface = std::make_unique<TDIBX>(source.Picture.Width(), source.Picture.Height(), format);
            CopyPictureToSurface(source.Picture, *frame.Surface);
            frame.TransColorValue = source.TransColorValue;
            frame.Surface->TransparentColor = frame.Surface->ColorToPixel(source.TransColorValue);
            if (source.AlphaPlane) frame.Mask = MaskFromPlane(*source.AlphaPlane);
            frame.RectLists = source.RectLists;
            frame.Delay = source.Delay == 0 ? 1 : source.Delay;
            total += frame.Delay;
            frames.push_back(std::move(frame));
        }
    }
    Frames = std::move(frames);
    Width = width;
    Height = height;
    TotalDelay = total;
    loaded_ = true;
}

TBromCollection::TBromCollection(TBromFileSource source, int32_t identCode, int32_t screenBits)
    : IdentCode(identCode), ScreenBits(screenBits), source_(std::move(source))
{
}

TBromItem& TBromCollection::Acquire(const void* user, const std::string& name, bool makeMask, bool trim)
{
    std::string key = name + (makeMask ? "?m" : "") + (trim ? "?t" : "");
    auto* item = static_cast<TBromItem*>(Find(key));
    if (!item) {
        auto created = std::make_unique<TBromItem>(key);
        created->Load(*this); // raises for a damaged file before anything is added
        int64_t bytes = created->SurfaceBytes();
        Reserve(*created, bytes);
        bytes_ += bytes;
        item = &static_cast<TBromItem&>(Append(std::move(created)));
    }
    released_.erase(std::remove(released_.begin(), released_.end(), item), released_.end());
    if (std::find(item->users_.begin(), item->users_.end(), user) == item->users_.end())
        item->users_.push_back(user);
    return *item;
}

void TBromCollection::Released(TBromItem& item)
{
    released_.push_back(&item);
    while (released_.size() > MaxReleased) {
        TBromItem* oldest = released_.front();
        released_.erase(released_.begin());
        Free(oldest);
    }
}

void TBromCollection::Free(TBromItem* item)
{
    released_.erase(std::remove(released_.begin(), released_.end(), item), released_.end());
    bytes_ -= item->SurfaceBytes();
    Delete(item->Index());
}

void TBromCollection::Reserve(const TBromItem& item, int64_t bytes)
{
    while (bytes_ + bytes > MaxBytes && !released_.empty())
        Free(released_.front());
    if (bytes_ + bytes > MaxBytes) RaiseError(item.Name() + Utf8ToCp932(":画像が大きすぎます"));
}

void TBromCollection::Forget(const std::string& name)
{
    for (const char* suffix : {"", "?m", "?t", "?m?t"}) {
        std::string key = name + suffix;
        for (TBromItem* item : std::vector<TBromItem*>(released_))
            if (SameName(item->Name(), key)) Free(item);
    }
}

void TBromCollection::ReloadAll(bool)
{
    // A picture that was damaged since it was cached keeps what it showed; the others are
    // still reloaded, and the first failure is reported afterwards.
    std::optional<ERukoError> failure;
    for (int i = 0; i < Count(); ++i) {
        auto& item = ItemAs<TBromItem>(i);
        bool makeMask, trim;
        std::string file = BaseName(item.Name(), makeMask, trim);
        if (source_.Exists && source_.Exists(file)) {
            try {
                int64_t before = item.SurfaceBytes();
                item.Load(*this);
                bytes_ += item.SurfaceBytes() - before;
            } catch (const ERukoError& error) {
                if (!failure) failure = error;
            }
        }
    }
    if (failure) throw *failure;
}

void TBromCollection::SetOption(uint8_t flag)
{
    if (flag == option_) return;
    option_ = flag;
    ReloadAll(false);
}

std::unique_ptr<TCustomDIBX> CachedRulePicture(TBromCollection& cache, const std::string& name)
{
    // The cache would answer a missing file with an invisible picture, which reads as a black rule.
    if (!cache.Exists(name)) return nullptr;
    static const char user = 0;
    TBromItem& item = cache.Acquire(&user, name, false, false);
    std::unique_ptr<TDIBX> rule;
    if (!item.Frames.empty()) {
        rule = std::make_unique<TDIBX>();
        // Shares the pixels: they outlive the item once it is released and later freed.
        rule->ShareStore(*item.Frames.front().Surface);
    }
    cache.Release(item, &user);
    return rule;
}

void DrawCached(const TBromItemFrame& frame, TCustomDIBX& dest, int32_t x, int32_t y, int32_t alpha,
                bool flipH, bool flipV, const TRect& srcRect)
{
    const TDIBX& surface = *frame.Surface;
    bool useKey = surface.TransparentColor != -1;
    if (frame.Mask) {
        if (alpha <= 254)
            dest.DrawAlphaMask(x, y, surface, srcRect, flipH, flipV, *frame.Mask, alpha);
        else if (alpha == 255)
            dest.DrawMask(x, y, surface, srcRect, flipH, flipV, *frame.Mask);
        else
            dest.DrawAddMask(x, y, surface, srcRect, flipH, flipV, *frame.Mask, std::min(alpha, 511) - 256);
    } else {
        if (alpha <= 254)
            dest.DrawAlpha(x, y, surface, srcRect, useKey, flipH, flipV, alpha);
        else if (alpha == 255)
            dest.Draw(x, y, surface, srcRect, useKey, flipH, flipV);
        else
            dest.DrawAdd(x, y, surface, srcRect, flipH, flipV, std::min(alpha, 511) - 256);
    }
}

void DrawCachedTiled(const TBromItemFrame& frame, TCustomDIBX& dest, const TRect& destRect, int32_t offsetX,
                     int32_t offsetY, int32_t alpha, bool flipH, bool flipV, const TRect& srcRect)
{
    const TDIBX& surface = *frame.Surface;
    bool useKey = surface.TransparentColor != -1;
    if (frame.Mask) {
        if (alpha <= 254)
            dest.TileDrawAlphaMask(destRect, surface, srcRect, offsetX, offsetY, 0, 0, *frame.Mask, flipH,
                                   flipV, alpha);
        else if (alpha == 255)
            dest.TileDrawMask(destRect, surface, srcRect, offsetX, offsetY, 0, 0, *frame.Mask, flipH, flipV);
        else
            dest.TileDrawAddMask(destRect, surface, srcRect, offsetX, offsetY, 0, 0, *frame.Mask, flipH,
                                 flipV, std::min(alpha, 511) - 256);
    } else {
        if (alpha <= 254)
            dest.TileDrawAlpha(destRect, surface, srcRect, offsetX, offsetY, 0, 0, useKey, flipH, flipV,
                               alpha);
        else if (alpha == 255)
            dest.TileDraw(destRect, surface, srcRect, offsetX, offsetY, 0, 0, useKey, flipH, flipV);
        else
            dest.TileDrawAdd(destRect, surface, srcRect, offsetX, offsetY, 0, 0, flipH, flipV,
                             std::min(alpha, 511) - 256);
    }
}

} // namespace ruko
