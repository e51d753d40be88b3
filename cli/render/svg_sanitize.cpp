// SPDX-License-Identifier: GPL-3.0-or-later
// Re-writes an SVG document from an allow-list: every element and attribute
// kept is written anew, quoted and escaped, so nothing in the input can end
// the drawing early or smuggle markup into the page around it.
#include "review.h"

#include "calc/utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <vector>

namespace vistrel::cli {

namespace {

// In SVG's own case, which the page must keep.
constexpr std::array<std::string_view, 23> kElements{
    "svg",     "g",      "path",   "rect",  "circle", "ellipse",        "line",           "polyline", "polygon",
    "text",    "tspan",  "title",  "desc",  "defs",   "linearGradient", "radialGradient", "stop",     "clipPath",
    "pattern", "symbol", "marker", "image", "use"};

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The element's name when it may stay, else empty.
std::string_view allowedElement(std::string_view lowered) {
    const auto* it =
        std::find_if(kElements.begin(), kElements.end(), [lowered](std::string_view e) { return lower(e) == lowered; });
    return it == kElements.end() ? std::string_view{} : *it;
}

void appendUtf8(std::string& out, std::uint32_t cp) { utf8::append(out, cp == 0 ? 0xFFFD : cp); }

// XML's own entities and character references; any other '&' stays literal.
std::string decodeEntities(std::string_view s) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}}};
    std::string out;
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (s[k] != '&') {
            out += s[k];
            continue;
        }
        const std::string_view rest = s.substr(k + 1);
        bool done = false;
        for (const auto& [name, c] : kNamed) {
            if (rest.starts_with(name)) {
                out += c;
                k += name.size();
                done = true;
                break;
            }
        }
        const std::size_t semicolon = rest.find(';');
        if (!done && rest.starts_with('#') && semicolon != std::string_view::npos && semicolon > 1 && semicolon < 10) {
            const bool hex = rest[1] == 'x' || rest[1] == 'X';
            const std::string_view digits = rest.substr(hex ? 2 : 1, semicolon - (hex ? 2 : 1));
            std::uint32_t cp = 0;
            bool ok = !digits.empty();
            for (const char d : digits) {
                const int v = std::isdigit(static_cast<unsigned char>(d)) != 0 ? d - '0'
                              : hex && std::isxdigit(static_cast<unsigned char>(d)) != 0
                                  ? std::tolower(static_cast<unsigned char>(d)) - 'a' + 10
                                  : -1;
                ok = ok && v >= 0;
                cp = cp * (hex ? 16U : 10U) + static_cast<std::uint32_t>(std::max(v, 0));
            }
            if (ok) {
                appendUtf8(out, cp);
                k += semicolon + 1;
                done = true;
            }
        }
        if (!done) {
            out += '&';
        }
    }
    return out;
}

// A reference may stay only when it points into the drawing itself.
bool safeReference(const std::string& name, const std::string& value, std::string_view element) {
    std::string squeezed;
    for (const char c : lower(value)) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0 && std::iscntrl(static_cast<unsigned char>(c)) == 0) {
            squeezed += c;
        }
    }
    // CSS can also load through image-set() and friends, which take a bare string.
    for (const std::string_view loads :
         {"\\", "@import", "javascript:", "expression(", "image-set(", "image(", "src("}) {
        if (squeezed.find(loads) != std::string::npos) {
            return false;
        }
    }
    for (std::size_t at = squeezed.find("url("); at != std::string::npos; at = squeezed.find("url(", at + 1)) {
        const std::size_t open = at + 4;
        const bool quoted = open < squeezed.size() && (squeezed[open] == '"' || squeezed[open] == '\'');
        if (open + (quoted ? 1U : 0U) >= squeezed.size() || squeezed[open + (quoted ? 1U : 0U)] != '#') {
            return false;
        }
    }
    if (name == "href" || name == "xlink:href" || name == "src") {
        const bool inDocument = squeezed.starts_with('#');
        const bool embeddedPicture = element == "image" && (squeezed.starts_with("data:image/png;base64,") ||
                                                            squeezed.starts_with("data:image/jpeg;base64,"));
        return inDocument || embeddedPicture;
    }
    return true;
}

bool attributeNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':' || c == '.';
}

struct Tag {
    std::string name;       // lower case
    std::string attributes; // re-written, each with a leading space
    bool closing = false;
    bool selfClosing = false;
};

// Parses the tag starting at s[at] == '<'; returns the index after '>'.
std::size_t parseTag(std::string_view s, std::size_t at, Tag& tag) {
    std::size_t k = at + 1;
    tag.closing = k < s.size() && s[k] == '/';
    if (tag.closing) {
        ++k;
    }
    const std::size_t nameStart = k;
    while (k < s.size() && attributeNameChar(s[k])) {
        ++k;
    }
    tag.name = lower(s.substr(nameStart, k - nameStart));
    while (k < s.size() && s[k] != '>') {
        if (s[k] == '/') {
            tag.selfClosing = true;
            ++k;
            continue;
        }
        if (!attributeNameChar(s[k])) {
            ++k;
            continue;
        }
        tag.selfClosing = false;
        const std::size_t attrStart = k;
        while (k < s.size() && attributeNameChar(s[k])) {
            ++k;
        }
        const std::string name(s.substr(attrStart, k - attrStart));
        while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k])) != 0) {
            ++k;
        }
        std::string raw;
        if (k < s.size() && s[k] == '=') {
            ++k;
            while (k < s.size() && std::isspace(static_cast<unsigned char>(s[k])) != 0) {
                ++k;
            }
            if (k < s.size() && (s[k] == '"' || s[k] == '\'')) {
                const char quote = s[k];
                const std::size_t end = s.find(quote, k + 1);
                const std::size_t stop = end == std::string_view::npos ? s.size() : end;
                raw = std::string(s.substr(k + 1, stop - k - 1));
                k = std::min(s.size(), stop + 1);
            } else {
                const std::size_t valueStart = k;
                while (k < s.size() && s[k] != '>' && std::isspace(static_cast<unsigned char>(s[k])) == 0) {
                    ++k;
                }
                raw = std::string(s.substr(valueStart, k - valueStart));
            }
        }
        const std::string lowered = lower(name);
        const std::string value = decodeEntities(raw);
        // Inline in a page the namespaces are implied; leaving them out keeps the page free of addresses.
        const bool kept = !lowered.starts_with("on") && !lowered.starts_with("xmlns");
        if (kept && safeReference(lowered, value, tag.name)) {
            tag.attributes.append(" ").append(name).append("=\"").append(escapeHtml(value)).append("\"");
        }
    }
    return std::min(s.size(), k + 1);
}

std::size_t findNoCase(std::string_view s, std::string_view needle, std::size_t from) {
    const std::string hay = lower(s.substr(std::min(from, s.size())));
    const std::size_t at = hay.find(needle);
    return at == std::string::npos ? std::string_view::npos : at + from;
}

} // namespace

std::string sanitizedSvg(std::string_view svg) {
    std::size_t k = findNoCase(svg, "<svg", 0);
    if (k == std::string_view::npos) {
        return {};
    }
    std::string out;
    std::vector<std::string_view> open;
    std::size_t skipDepth = 0; // inside an element that is dropped with its content
    while (k < svg.size()) {
        if (svg[k] != '<') {
            const std::size_t end = std::min(svg.find('<', k), svg.size());
            if (skipDepth == 0 && !open.empty()) {
                out += escapeHtml(decodeEntities(svg.substr(k, end - k)));
            }
            k = end;
            continue;
        }
        const std::string_view rest = svg.substr(k);
        if (rest.starts_with("<!--")) {
            const std::size_t end = svg.find("-->", k + 4);
            k = end == std::string_view::npos ? svg.size() : end + 3;
            continue;
        }
        if (rest.starts_with("<!") || rest.starts_with("<?")) {
            const std::size_t end = rest.starts_with("<![CDATA[") ? svg.find("]]>", k) : svg.find('>', k);
            k = end == std::string_view::npos ? svg.size() : end + (rest.starts_with("<![CDATA[") ? 3 : 1);
            continue;
        }
        Tag tag;
        const std::size_t after = parseTag(svg, k, tag);
        // Raw text of a script or style ends only at its own closing tag.
        if (!tag.closing && !tag.selfClosing && (tag.name == "script" || tag.name == "style")) {
            const std::size_t end = findNoCase(svg, "</" + tag.name, after);
            k = end == std::string_view::npos ? svg.size() : svg.find('>', end);
            k = k == std::string_view::npos ? svg.size() : k + 1;
            continue;
        }
        k = after;
        if (skipDepth > 0) {
            if (tag.closing) {
                --skipDepth;
            } else if (!tag.selfClosing) {
                ++skipDepth;
            }
            continue;
        }
        const std::string_view name = allowedElement(tag.name);
        if (tag.closing) {
            if (!open.empty() && open.back() == name) {
                out.append("</").append(name).append(">");
                open.pop_back();
                if (open.empty()) {
                    break; // the drawing is complete
                }
            }
            continue;
        }
        if (name.empty() || (open.empty() && name != "svg")) {
            skipDepth = tag.selfClosing ? 0 : 1;
            continue;
        }
        out.append("<").append(name).append(tag.attributes).append(tag.selfClosing ? "/>" : ">");
        if (!tag.selfClosing) {
            open.push_back(name);
        }
    }
    while (!open.empty()) {
        out.append("</").append(open.back()).append(">");
        open.pop_back();
    }
    return out;
}

} // namespace vistrel::cli
