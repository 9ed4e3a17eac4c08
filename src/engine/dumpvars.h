#pragma once
// The end-of-run variable dump: every global variable as one JSON object {"name": value}.
// Integers and reals are numbers, flags true/false, strings UTF-8 text, arrays nested lists
// (row-major, the last subscript varying fastest).
#include <string>

namespace ruko {

class TCustomParam;
class TParamCollection;

// A CP932 text as a JSON string of UTF-8.
std::string JsonString(const std::string& cp932);
// One value: a number (non-finite reals: null), true/false, a string or nested lists.
std::string ValueJson(const TCustomParam& value);

std::string VariablesAsJson(const TParamCollection& store);
bool WriteVariablesJson(const TParamCollection& store, const std::string& hostPath);

} // namespace ruko
