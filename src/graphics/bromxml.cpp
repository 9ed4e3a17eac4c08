#include "graphics/bromxml.h"

#include "base/error.h"
#include "base/text.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>

namespace ruko {

namespace {

[[noreturn]] void RaiseUnsupportedFile()
{
    RaiseError(Utf8ToCp932("未対応のファイル形式です"));
}

// Replaces the five named entities and numeric references. Numeric references name Unicode
// characters; they are stored as their CP932 bytes.
std::string Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        size_t end = text.find(';', i);
        if (end == std::string_view::npos) RaiseUnsupportedFile();
        std::string_view entity = text.substr(i + 1, end - i - 1);
        if (entity == "amp")
            out += '&';
        else if (entity == "quot")
            out += '"';
        else if (entity == "lt")
            out += '<';
        else if (entity == "gt")
            out += '>';
        else if (entity == "apos")
            out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            bool hex = entity[1] == 'x' || entity[1] == 'X';
            std::string_view digits = entity.substr(hex ? 2 : 1);
            uint32_t code = 0;
            auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (ec != std::errc() || ptr != digits.data() + digits.size() || code > 0x10FFFF)
                RaiseUnsupportedFile();
            std::string utf8;
            if (code < 0x80) // including 0: our writer keeps a zero byte of a name this way
                utf8 += char(code);
            else if (code < 0x800) {
                utf8 += char(0xC0 | (code >> 6));
                utf8 += char(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                utf8 += char(0xE0 | (code >> 12));
                utf8 += char(0x80 | ((code >> 6) & 0x3F));
                utf8 += char(0x80 | (code & 0x3F));
            } else {
                utf8 += char(0xF0 | (code >> 18));
                utf8 += char(0x80 | ((code >> 12) & 0x3F));
                utf8 += char(0x80 | ((code >> 6) & 0x3F));
                utf8 += char(0x80 | (code & 0x3F));
            }
            out += Utf8ToCp932(utf8);
        } else
            RaiseUnsupportedFile();
        i = end + 1;
    }
    return out;
}

// Picture documents are three levels deep; a deeper tree is not one of ours, and recursing
// into it without a limit could exhaust the stack.
constexpr int MaxDepth = 32;

void Convert(const pugi::xml_node& node, TKwXmlElement& element, int depth)
{
    if (depth > MaxDepth) RaiseUnsupportedFile();
    element.Name = node.name();
    for (const pugi::xml_attribute& attribute : node.attributes())
        element.Attributes.emplace_back(attribute.name(), Unescape(attribute.value()));
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_element) {
            auto converted = std::make_unique<TKwXmlElement>();
            converted->Parent = &element;
            Convert(child, *converted, depth + 1);
            element.Children.push_back(std::move(converted));
        } else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            element.Text += child.type() == pugi::node_pcdata ? Unescape(child.value()) : child.value();
        }
    }
}

void Write(const TKwXmlElement& element, const std::string& indent, std::string& out)
{
    out += indent + "<" + element.Name;
    for (const auto& [name, value] : element.Attributes)
        out += " " + name + "=\"" + EscapeXmlText(value) + "\"";
    if (element.Children.empty() && element.Text.empty()) {
        out += " />\r\n";
        return;
    }
    out += ">";
    // Text content is written inline: an element with text (the colour table) must not collapse
    // into an empty element, or the reader loses it.
    out += EscapeXmlText(element.Text);
    if (!element.Children.empty()) {
        out += "\r\n";
        for (const auto& child : element.Children)
            Write(*child, indent + "  ", out);
        out += indent;
    }
    out += "</" + element.Name + ">\r\n";
}

} // namespace

std::string EscapeXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        // A double-byte character is copied whole; a lead byte before a byte that cannot trail
        // (a quote, '<', '&', a control byte) stands alone, so the markup stays intact.
        if (CharLength(text, i) == 2 && static_cast<unsigned char>(text[i + 1]) >= 0x40) {
            out.append(text.substr(i, 2));
            ++i;
            continue;
        }
        switch (byte) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            // Control bytes (names may hold any bytes) would be dropped or turned into blanks by
            // the parser: write them as character references, which read back as the same byte.
            if (byte < 0x20)
                out += "&#" + std::to_string(byte) + ";";
            else
                out += text[i];
            break;
        }
    }
    return out;
}

std::string TKwXmlElement::Attribute(std::string_view name, std::string_view fallback) const
{
    for (const auto& [key, value] : Attributes)
        if (SameText(key, name)) return value;
    return std::string(fallback);
}

bool TKwXmlElement::HasAttribute(std::string_view name) const
{
    for (const auto& attribute : Attributes)
        if (SameText(attribute.first, name)) return true;
    return false;
}

int64_t TKwXmlElement::IntAttribute(std::string_view name, int64_t fallback) const
{
    if (!HasAttribute(name)) return fallback;
    std::string value = Attribute(name);
    const char* begin = value.data();
    const char* end = begin + value.size();
    while (begin < end && *begin == ' ')
        ++begin;
    int64_t result = 0;
    auto [ptr, ec] = std::from_chars(begin, end, result);
    if (ec != std::errc() || ptr == begin) return fallback;
    return result;
}

bool TKwXmlElement::BoolAttribute(std::string_view name, bool fallback) const
{
    return HasAttribute(name) ? Attribute(name) == "1" : fallback;
}

void TKwXmlElement::SetAttribute(std::string_view name, std::string_view value)
{
    for (auto& attribute : Attributes)
        if (SameText(attribute.first, name)) {
            attribute.second = value;
            return;
        }
    Attributes.emplace_back(std::string(name), std::string(value));
}

void TKwXmlElement::SetAttribute(std::string_view name, int64_t value)
{
    SetAttribute(name, std::to_string(value));
}

TKwXmlElement& TKwXmlElement::AddChild(std::string name)
{
    auto child = std::make_unique<TKwXmlElement>(std::move(name));
    child->Parent = this;
    Children.push_back(std::move(child));
    return *Children.back();
}

const TKwXmlElement* TKwXmlElement::FindChild(std::string_view name, size_t index) const
{
    for (const auto& child : Children)
        if (SameText(child->Name, name) && index-- == 0) return child.get();
    return nullptr;
}

const TKwXmlElement& TKwXmlElement::Child(std::string_view name) const
{
    const TKwXmlElement* child = FindChild(name);
    if (!child) RaiseError(FormatText(Utf8ToCp932("<%s>がありません").c_str(), std::string(name).c_str()));
    return *child;
}

void TKwXml::Parse(std::string_view document)
{
    pugi::xml_document parsed;
    // Escapes are resolved by us so that numeric references become CP932, not UTF-8.
    unsigned options = (pugi::parse_default | pugi::parse_declaration) & ~pugi::parse_escapes;
    pugi::xml_parse_result result =
        parsed.load_buffer(document.data(), document.size(), options, pugi::encoding_utf8);
    if (!result) RaiseUnsupportedFile();
    pugi::xml_node declaration = parsed.first_child();
    if (declaration.type() != pugi::node_declaration ||
        std::strcmp(declaration.attribute("version").value(), "1.0"))
        RaiseError(Utf8ToCp932("未対応のXML形式です"));
    std::string_view encoding = declaration.attribute("encoding").value();
    if (!SameText(encoding, "shift_jis") && !SameText(encoding, "shift-jis"))
        RaiseError(Utf8ToCp932("未対応の文字セットです"));
    pugi::xml_node root = parsed.document_element();
    if (!root) RaiseUnsupportedFile();
    auto element = std::make_unique<TKwXmlElement>();
    Convert(root, *element, 0);
    Root = std::move(element);
}

std::string TKwXml::Serialize() const
{
    std::string out = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n";
    if (Root) Write(*Root, "", out);
    return out;
}

} // namespace ruko
