#pragma once
// Pixel fonts made from an installed face or a font file with the player's own glyph maker, so a
// title can carry exactly the glyphs the player would draw.
#include "words/packfonts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ruko {

struct TFontMakerRequest
{
    std::string Face;     // CP932; an installed face (or an alias), or a family of FontFile
    std::string FontFile; // host path of a TrueType/OpenType file; its first face when Face is empty
    int32_t Size = 0;
    int32_t Style = 0; // 1 bold, 2 italic
    int32_t Quality = 3;
    bool Listed = true;
    bool AllCodes = false;       // every CP932 character the face has
    std::vector<uint16_t> Codes; // else these, in order (repeats once)
};

// Characters the face lacks are left out. Raises an error when the face cannot be found.
TPixelFontData MakePixelFont(const TFontMakerRequest& request);

} // namespace ruko
