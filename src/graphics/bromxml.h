#pragma once
// The small XML element tree of the layered image container: elements with a name, attributes,
// children and text, read from and written as Shift-JIS documents. Names and values stay CP932
// bytes; attribute names compare case-insensitively.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruko {

class TKwXmlElement
{
  public:
    TKwXmlElement() = default;
    explicit TKwXmlElement(std::string name) : Name(std::move(name)) {}

    std::string Name;
    std::vector<std::pair<std::string, std::string>> Attributes;
    std::vector<std::unique_ptr<TKwXmlElement>> Children;
    std::string Text;
    TKwXmlElement* Parent = nullptr;

    // The value of an attribute, or `fallback` when it is absent.
    std::string Attribute(std::string_view name, std::string_view fallback = "") const;
    bool HasAttribute(std::string_view name) const;
    // Decimal integer attribute; absent or not a number gives `fallback`.
    int64_t IntAttribute(std::string_view name, int64_t fallback) const;
    // "1" is true, anything else false; absent gives `fallback`.
    bool BoolAttribute(std::string_view name, bool fallback) const;
    void SetAttribute(std::string_view name, std::string_view value);
    void SetAttribute(std::string_view name, int64_t value);

    TKwXmlElement& AddChild(std::string name);
    // The index-th child of that name (case-insensitive), or nullptr.
    const TKwXmlElement* FindChild(std::string_view name, size_t index = 0) const;
    // As FindChild, raising "<%s>がありません" when it is missing.
    const TKwXmlElement& Child(std::string_view name) const;
};

class TKwXml
{
  public:
    std::unique_ptr<TKwXmlElement> Root;

    // Accepts version "1.0" and the encodings shift_jis / shift-jis only; raises
    // "未対応のXML形式です", "未対応の文字セットです" or "未対応のファイル形式です".
    void Parse(std::string_view document);
    // The declaration line and the element tree, lines ending in CR LF.
    std::string Serialize() const;
};

// Text with &, ", < and > escaped.
std::string EscapeXmlText(std::string_view text);

} // namespace ruko
