#pragma once
// Component property identifiers (`PR_NAME` = 0 .. `PR_CAPMASKLEVEL` = 170) as the scenario
// source language spells them, read from the property table. Ids outside 0..170 are refused
// everywhere.
#include "params/proptable.h"

namespace ruko {

struct TPropertyNames
{
    const char* operator[](int id) const { return PropertyTable[id].Name; }
};
inline constexpr TPropertyNames PropertyNames{};

} // namespace ruko
