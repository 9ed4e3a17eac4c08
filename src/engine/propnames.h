#pragma once
// Component property identifiers (`PR_NAME` = 0 .. `PR_CAPMASKLEVEL` = 170) as the scenario
// source language spells them. Ids outside 0..170 are refused everywhere.
#include "params/functable.h"

#include <string_view>

namespace ruko {

extern const char* const PropertyNames[PropertyCount];

// Id of an identifier such as "PR_LEFT" (exact spelling), -1 when unknown.
int PropertyIdOf(std::string_view name);

} // namespace ruko
