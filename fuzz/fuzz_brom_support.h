#pragma once
// Shared checks of the layered-picture fuzz targets: whatever loads must survive masks and
// trimming, and what we write from it must load back to the same pictures.
#include "base/error.h"
#include "graphics/brom.h"
#include "io/bigstream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ruko::fuzz {

// Option bits of the first input byte.
struct TLoadOptions
{
    bool FirstFrameOnly, KeepLayers, Convert;
    int32_t IdentCode;
    int TargetBits;

    explicit TLoadOptions(uint8_t bits)
        : FirstFrameOnly(bits & 1), KeepLayers(bits & 2), Convert(bits & 4),
          IdentCode(bits & 8 ? 0x2545F491 : 0), TargetBits(bits & 16 ? 16 : 0)
    {
    }
};

// TPicture::operator== row by row: large pictures would otherwise dominate the run time.
inline bool SamePicture(const TPicture& a, const TPicture& b)
{
    if (a.Bits() < 8) return a == b;
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Bits() != b.Bits() || a.Palette != b.Palette)
        return false;
    size_t rowBytes = size_t(PackedRowBytes(a.Width(), a.Bits()));
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), rowBytes) != 0) return false;
    return true;
}

inline bool SamePlane(const std::optional<TPicture>& a, const std::optional<TPicture>& b)
{
    return a.has_value() == b.has_value() && (!a || SamePicture(*a, *b));
}

inline void ExerciseLoaded(TBromFrameList& list, const TLoadOptions& options)
{
    // A list of no frames has nothing to write (the writer refuses it).
    if (!options.Convert && list.Count() > 0) {
        // The writer's file must load back to the same composed pictures.
        for (TBromCompression type : {bcZlib, bcNone}) {
            TKwBigMemoryStream saved;
            list.SaveToStream(saved, type, 70);
            TBromFrameList again(list.IdentCode);
            saved.SetPosition(0);
            again.LoadFromStream(saved, false, options.KeepLayers, false);
            if (again.Count() != list.Count()) std::abort();
            for (int i = 0; i < list.Count(); ++i) {
                const TBromFrame& a = list.Frames(i);
                const TBromFrame& b = again.Frames(i);
                if (!SamePicture(a.Picture, b.Picture) || !SamePlane(a.AlphaPlane, b.AlphaPlane) ||
                    a.TransColor != b.TransColor)
                    std::abort();
            }
        }
    }
    for (int i = 0; i < list.Count(); ++i) {
        TBromFrame& frame = list.Frames(i);
        frame.MakeMask(options.KeepLayers);
        frame.Trim();
    }
}

// Loads `bytes` with the options; a refused file is the expected outcome of most inputs.
inline void LoadAndExercise(std::vector<uint8_t> bytes, const TLoadOptions& options)
{
    TBromFrameList list(options.IdentCode);
    list.TargetBits = options.TargetBits;
    try {
        TKwBigMemoryStream stream(std::move(bytes));
        list.LoadFromStream(stream, options.FirstFrameOnly, options.KeepLayers, options.Convert);
    } catch (const ERukoError&) {
        return;
    }
    ExerciseLoaded(list, options);
}

} // namespace ruko::fuzz
