#pragma once
// Physical keys to the Windows virtual-key numbers that scripts read.

namespace ruko {

// Titles were written for Japanese keyboards, so keys map by position to what a Japanese 106/109
// keyboard sends (the key right of L is VK_OEM_PLUS, the one right of P is VK_OEM_3 "@").
// Left and right modifiers give the generic VK_SHIFT / VK_CONTROL / VK_MENU. Unknown keys give 0.
int VirtualKeyFromScancode(int sdlScancode);

} // namespace ruko
