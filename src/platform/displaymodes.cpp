#include "platform/displaymodes.h"

namespace ruko {

TModeChoice ChooseDisplayMode(const std::vector<TDisplayMode>& offered, int screenWidth, int screenHeight,
                              int preferredWidth, int preferredHeight, int desktopBits)
{
    TModeChoice choice;
    auto preferred = [&](const TDisplayMode& m) {
        return m.Width == preferredWidth && m.Height == preferredHeight;
    };
    for (const TDisplayMode& mode : offered) {
        if (mode.Width < screenWidth || mode.Height < screenHeight || mode.Bits < 16) continue;
        choice.Modes.push_back(mode);
        int index = static_cast<int>(choice.Modes.size()) - 1;
        if (choice.ModeIndex < 0) {
            choice.ModeIndex = index;
            continue;
        }
        const TDisplayMode& chosen = choice.Modes[choice.ModeIndex];
        if (!preferred(mode)) continue;
        bool better = !preferred(chosen) || (mode.Bits == desktopBits &&
                                             (chosen.Bits != desktopBits || mode.Refresh < chosen.Refresh));
        if (better) choice.ModeIndex = index;
    }
    return choice;
}

} // namespace ruko
