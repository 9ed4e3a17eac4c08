#pragma once
// Frame pacing: a frame about every 15 ms, measured from the previous wake-up so that the time a
// frame takes is made up; an interval of 300 ms or more (a stall, a dragged window, a debugger)
// runs no frame and adds nothing to the game time.
#include <cstdint>
#include <optional>

namespace ruko {

constexpr int FramePeriodMs = 15;
constexpr int StallMs = 300;

class TFramePacer
{
  public:
    void Start(int64_t now)
    {
        last_ = now;
        afterStall_ = false;
    }
    // How long to wait from `now` before the next wake-up: at least 1 ms; 1 ms after a stall.
    int WaitMs(int64_t now) const
    {
        if (afterStall_) return 1;
        int64_t left = FramePeriodMs - (now - last_);
        return left < 1 ? 1 : static_cast<int>(left);
    }
    // A wake-up at `now`: the accepted interval, or nothing when it was a stall.
    std::optional<int> Tick(int64_t now)
    {
        int64_t interval = now - last_;
        last_ = now;
        afterStall_ = interval >= StallMs || interval < 0;
        if (afterStall_) return std::nullopt;
        return static_cast<int>(interval);
    }

  private:
    int64_t last_ = 0;
    bool afterStall_ = false;
};

} // namespace ruko
