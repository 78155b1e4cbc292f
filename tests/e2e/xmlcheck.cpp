// SPDX-License-Identifier: MIT
#include "xmlcheck.h"

#include <regex>

namespace vextest {

namespace {

// A start, end or empty-element tag with double-quoted attributes, a comment, or the prolog.
const std::regex kMarkup(R"(<(/?)([A-Za-z_][\w:.-]*)((?:\s+[\w:.-]+\s*=\s*"[^"<]*")*)\s*(/?)>)"
                         R"(|<!--[\s\S]*?-->|<\?xml[^>]*\?>)");
const std::regex kAttribute(R"re(([\w:.-]+)\s*=\s*"([^"]*)")re");
const std::regex kBadEntity(R"(&(?!(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9A-Fa-f]+);))");

} // namespace

XmlDocument readXml(const std::string& text)
{
    XmlDocument document;
    std::vector<std::string> open;
    int roots = 0;
    size_t at = 0; // where the text after the last markup starts
    auto fail = [&](const std::string& why) {
        document.error = why + " (after byte " + std::to_string(at) + ")";
        return document;
    };
    for (std::sregex_iterator it(text.begin(), text.end(), kMarkup), end;; ++it) {
        const size_t position = it == end ? text.size() : static_cast<size_t>(it->position());
        const std::string between = text.substr(at, position - at);
        if (between.find('<') != std::string::npos)
            return fail("a '<' that starts no well-formed tag");
        if (std::regex_search(between, kBadEntity))
            return fail("an unknown or unterminated entity");
        if (open.empty() && between.find_first_not_of(" \t\r\n") != std::string::npos)
            return fail("text outside the root element");
        if (it == end)
            break;
        const std::smatch& tag = *it;
        at = position + static_cast<size_t>(tag.length());
        if (!tag[2].matched)
            continue; // comment or prolog
        const std::string name = tag[2];
        if (tag[1].length() > 0) {
            if (open.empty() || open.back() != name)
                return fail("</" + name + "> does not close the open element");
            open.pop_back();
            continue;
        }
        XmlElement element{name, {}};
        const std::string attributes = tag[3];
        for (std::sregex_iterator a(attributes.begin(), attributes.end(), kAttribute), none;
             a != none; ++a) {
            if (!element.attributes.emplace((*a)[1], (*a)[2]).second)
                return fail("attribute " + (*a)[1].str() + " appears twice");
            if (std::regex_search((*a)[2].str(), kBadEntity))
                return fail("an unknown entity in attribute " + (*a)[1].str());
        }
        roots += open.empty() ? 1 : 0;
        if (tag[4].length() == 0)
            open.push_back(name);
        document.elements.push_back(element);
    }
    if (!open.empty())
        return fail("<" + open.back() + "> is never closed");
    if (roots != 1)
        return fail("the document has " + std::to_string(roots) + " root elements");
    return document;
}

} // namespace vextest
