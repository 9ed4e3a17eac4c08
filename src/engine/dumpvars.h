#pragma once
// The end-of-run variable dump: every global variable as one JSON object {"name": value}.
// Integers and reals are numbers, flags true/false, strings UTF-8 text, arrays nested lists
// (row-major, the last subscript varying fastest).
#include <string>

namespace ruko {

class TParamCollection;

std::string VariablesAsJson(const TParamCollection& store);
bool WriteVariablesJson(const TParamCollection& store, const std::string& hostPath);

} // namespace ruko
