#include "archive/vrfiles.h"

#include "base/text.h"

namespace ruko {

namespace {

bool StartsWithParent(std::string_view path)
{
    return path.size() >= 3 && path[0] == '.' && path[1] == '.' && path[2] == '\\';
}

// The components of a base folder, each ending with "\": a UNC server part or a drive as the
// first, then one per folder.
std::vector<std::string> SplitBase(std::string_view base)
{
    std::string text = UpperCaseText(base);
    if (!EndsWithSeparator(text)) text += '\\';
    std::vector<std::string> components;
    size_t pos = 0;
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '\\') {
        size_t slash = FindChar(text, '\\', 2);
        pos = slash == std::string::npos ? text.size() : slash + 1;
        components.push_back(text.substr(0, pos));
    } else if (text.size() >= 2 && text[1] == ':') {
        pos = std::min<size_t>(3, text.size());
        components.push_back(text.substr(0, pos));
    }
    while (pos < text.size()) {
        size_t slash = FindChar(text, '\\', pos);
        size_t end = slash == std::string::npos ? text.size() : slash + 1;
        components.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return components;
}

} // namespace

std::string ExpandRelativePath(std::string_view path, std::string_view base)
{
    if (path.size() <= 1 || path[0] == '\\' || path[1] == ':') return std::string(path);
    if (!StartsWithParent(path)) return std::string(base) + std::string(path);
    std::vector<std::string> components = SplitBase(base);
    while (!components.empty() && StartsWithParent(path)) {
        components.pop_back();
        path.remove_prefix(3);
    }
    std::string result;
    for (const std::string& component : components)
        result += component;
    return result + std::string(path);
}

} // namespace ruko
