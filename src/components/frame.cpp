#include "components/frame.h"

#include "components/baselist.h"

#include <algorithm>

namespace ruko {

void ComponentsSetScreenSize(int32_t width, int32_t height)
{
    if (Bases) Bases->SetSize(width, height);
}

void ComponentsInputStep(int32_t frameDeltaMs)
{
    if (Bases) Bases->InputStep(frameDeltaMs);
}

TInputFlags ComponentsInputFlags()
{
    TInputFlags flags;
    if (!Bases) return flags;
    const TRukoBase& base = Bases->GetActiveBase();
    flags.LClick = base.LClick;
    flags.RClick = base.RClick;
    // A press captured by a component is not a press of the screen.
    flags.LPush = base.LHeld && (base.Capture & (1 | 4)) == 0;
    flags.RPush = base.RHeld && (base.Capture & (2 | 8)) == 0;
    flags.WheelDown = base.WheelDown;
    flags.WheelUp = base.WheelUp;
    for (int code = 0; code < 256; ++code) {
        flags.KeyPush[code] = Bases->IsKeyHeld(code);
        flags.KeyClick[code] = Bases->WasKeyPressed(code);
        flags.KeyRepeat[code] = Bases->IsKeyRepeat(code);
    }
    return flags;
}

std::string ComponentsCursorName()
{
    return Bases ? Bases->GetActiveBase().CursorName : std::string();
}

void ComponentsUpdateStep()
{
    if (Bases) Bases->Step();
}

std::vector<TRect> ComponentsDrawInto(uint32_t* pixels, int32_t width, int32_t height)
{
    std::vector<TRect> copied;
    if (!Bases || !pixels) return copied;
    Bases->Paint();
    TDIBX& surface = Bases->Surface();
    for (const TRect& dirty : Bases->TakeDirty()) {
        TRect r = IntersectRect(
            dirty, TRect(0, 0, std::min(width, surface.Width()), std::min(height, surface.Height())));
        if (r.IsEmpty() || surface.PixelFormat() != 32) continue;
        for (int32_t y = r.Top; y < r.Bottom; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(surface.ScanLine(y));
            std::copy(row + r.Left, row + r.Right,
                      pixels + static_cast<size_t>(y) * static_cast<size_t>(width) + r.Left);
        }
        copied.push_back(r);
    }
    return copied;
}

void ComponentsMouseDown(bool left, int32_t x, int32_t y)
{
    if (Bases) Bases->MouseDown(left, x, y);
}

void ComponentsMouseUp(int32_t x, int32_t y)
{
    if (Bases) Bases->MouseUp(x, y);
}

void ComponentsMouseMove(int32_t x, int32_t y)
{
    if (Bases) Bases->MouseMoveTo(x, y);
}

void ComponentsWheel(bool up)
{
    if (Bases) Bases->Wheel(up);
}

void ComponentsKey(int code, bool down)
{
    if (!Bases) return;
    Bases->SetKeyState(code, down);
    if (down) Bases->SetKeyPressed(code, true);
}

void ComponentsReleaseInput()
{
    if (!Bases) return;
    Bases->ClearKeys();
    Bases->MouseUp(Bases->GetActiveBase().MouseX, Bases->GetActiveBase().MouseY);
}

} // namespace ruko
