#pragma once
// The font step of start-up: the pixel-font and glyph-cache managers, the title's root ".rft"
// files offered as each source is registered, and the fonts of the command line.
#include "shell/hooks.h"

namespace ruko {

struct TRunObjects;
class TVrFileManager;
class TVrFileCollection;

// Creates `PixelFontMan` and `FontPixelMan` in the run's objects (which free them), loads --font files and
// sets --font-alias; notes on stderr what cannot be used.
void StartFonts(TRunObjects& run, const TStartContext& context);
// The file manager's archive-added notification: an archive's root ".rft" members, or (null) the
// base folder's own ".rft" files, read in place. A damaged font is skipped with its message on
// stderr.
void OfferTitleFonts(TVrFileManager& files, TVrFileCollection* archive);
// The installed-font names of "@Fonts" and "@FixedFonts".
std::vector<std::string> InstalledFontNames(bool fixedOnly);

} // namespace ruko
