#pragma once
// Internal to the transitions: the creators of each family and shared helpers.
#include "graphics/wipe.h"

namespace ruko {

// Each returns nullptr for types outside its family.
std::unique_ptr<TCustomWipe> CreatePictureWipe(int32_t type, TCustomDIBX& target,
                                               const TCustomDIBX& toPicture, const TCustomDIBX& fromPicture);
std::unique_ptr<TCustomWipe> CreateMaskWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& toPicture,
                                            const TCustomDIBX& fromPicture);
std::unique_ptr<TCustomWipe> CreateEffectWipe(int32_t type, TCustomDIBX& target, const TCustomDIBX& toPicture,
                                              const TCustomDIBX& fromPicture);

// target = From where mask is 0, To where 255, the blend with weight m between (a pixel equal in
// both pictures stays as it is). Target row y uses mask row y mod mask height; hardEdge takes To
// wherever the mask is non-zero.
void ComposeMask(TCustomDIBX& target, const TCustomDIBX& from, const TCustomDIBX& to, const TCustomDIBX& mask,
                 bool hardEdge);

// 8-bit mask: 255 where the two pictures differ, 0 elsewhere.
std::unique_ptr<TDIBX> DifferenceMask(const TCustomDIBX& from, const TCustomDIBX& to);

// The run-time random generator of the block types: fixed-seeded so that runs repeat.
uint32_t WipeRandom(uint32_t& state, uint32_t range);

} // namespace ruko
