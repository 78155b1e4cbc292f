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

std::string checkText(const std::string& text, bool insideRoot)
{
    if (text.find('<') != std::string::npos)
        return "a '<' that starts no well-formed tag";
    if (std::regex_search(text, kBadEntity))
        return "an unknown or unterminated entity";
    if (!insideRoot && text.find_first_not_of(" \t\r\n") != std::string::npos)
        return "text outside the root element";
    return std::string();
}

} // namespace

std::vector<const XmlElement*> XmlDocument::named(const std::string& name) const
{
    std::vector<const XmlElement*> found;
    for (const XmlElement& element : elements) {
        if (element.name == name)
            found.push_back(&element);
    }
    return found;
}

XmlDocument readXml(const std::string& text)
{
    XmlDocument document;
    std::vector<std::string> open;
    int roots = 0;
    size_t at = 0;
    auto fail = [&](const std::string& why, size_t where) {
        document.error = why + " (at byte " + std::to_string(where) + ")";
        return document;
    };
    for (std::sregex_iterator it(text.begin(), text.end(), kMarkup), end; it != end; ++it) {
        const std::smatch& tag = *it;
        const size_t position = static_cast<size_t>(tag.position());
        const std::string problem = checkText(text.substr(at, position - at), !open.empty());
        if (!problem.empty())
            return fail(problem, at);
        at = position + static_cast<size_t>(tag.length());
        if (!tag[2].matched)
            continue; // comment or prolog
        const std::string name = tag[2];
        if (tag[1].length() > 0) {
            if (open.empty() || open.back() != name)
                return fail("</" + name + "> does not close the open element", position);
            open.pop_back();
            continue;
        }
        XmlElement element{name, {}};
        const std::string attributes = tag[3];
        for (std::sregex_iterator a(attributes.begin(), attributes.end(), kAttribute);
             a != std::sregex_iterator(); ++a) {
            if (!element.attributes.emplace((*a)[1], (*a)[2]).second)
                return fail("attribute " + (*a)[1].str() + " appears twice", position);
            if (std::regex_search((*a)[2].str(), kBadEntity))
                return fail("an unknown entity in attribute " + (*a)[1].str(), position);
        }
        roots += open.empty() ? 1 : 0;
        if (tag[4].length() == 0)
            open.push_back(name);
        document.elements.push_back(element);
    }
    const std::string problem = checkText(text.substr(at), !open.empty());
    if (!problem.empty())
        return fail(problem, at);
    if (!open.empty())
        return fail("<" + open.back() + "> is never closed", text.size());
    if (roots != 1)
        return fail("the document has " + std::to_string(roots) + " root elements", 0);
    return document;
}

} // namespace vextest
