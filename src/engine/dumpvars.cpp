#include "engine/dumpvars.h"

#include "base/fileio.h"
#include "base/numtext.h"
#include "base/text.h"
#include "params/paramcollection.h"

#include <cmath>
#include <cstdio>

namespace ruko {

std::string JsonString(const std::string& cp932)
{
    std::string utf8 = Cp932ToUtf8(cp932);
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

std::string Element(const TCustomParam& value, int32_t i)
{
    switch (value.GetVarType()) {
    case ptFloat: {
        Extended x = value.GetFloatAt(i);
        if (!std::isfinite(static_cast<double>(x))) return "null"; // JSON has no infinities
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17Lg", x);
        return buffer;
    }
    case ptFlag:
        return value.GetFlagAt(i) ? "true" : "false";
    case ptStr:
        return JsonString(value.GetStrAt(i));
    default:
        return IntToStr(value.GetIntAt(i));
    }
}

// Elements [first, first + product of extents from `dim` on) as nested lists.
std::string Nested(const TCustomParam& value, const std::vector<int32_t>& dims, size_t dim, int64_t first)
{
    if (dim == dims.size()) return Element(value, static_cast<int32_t>(first));
    int64_t stride = 1;
    for (size_t d = dim + 1; d < dims.size(); ++d)
        stride *= dims[d];
    std::string out = "[";
    for (int32_t i = 0; i < dims[dim]; ++i)
        out += (i ? ", " : "") + Nested(value, dims, dim + 1, first + i * stride);
    return out + "]";
}

} // namespace

std::string ValueJson(const TCustomParam& value)
{
    // A value converted into a plain variable carries the extents {1}: it is still a scalar.
    if (value.GetCount() == 1 && (value.Dims.empty() || value.Dims == std::vector<int32_t>{1}))
        return Element(value, 0);
    if (!value.Dims.empty()) return Nested(value, value.Dims, 0, 0);
    if (value.GetCount() == 1) return Element(value, 0);
    std::vector<int32_t> dims{value.GetCount()};
    return Nested(value, dims, 0, 0);
}

std::string VariablesAsJson(const TParamCollection& store)
{
    std::string out = "{";
    bool first = true;
    for (size_t i = 0; i < store.Count(); ++i) {
        const TParamCollectionItem& item = store.Item(i);
        // Globals only: not system variables, temporaries, call-owned or local ones.
        if (item.IsSystem() || item.ScopeId >= 0 || item.Local || item.Name().starts_with("____") ||
            item.Name().starts_with("\x01") || item.Value->GetVarType() == ptVar)
            continue;
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += JsonString(item.Name()) + ": " + ValueJson(*item.Value);
    }
    return out + (first ? "}\n" : "\n}\n");
}

bool WriteVariablesJson(const TParamCollection& store, const std::string& hostPath)
{
    return WriteHostFileAtomic(hostPath, VariablesAsJson(store));
}

} // namespace ruko
