// SPDX-License-Identifier: MIT
// A strict, small XML reader for the tests: enough to tell whether a written SVG is well-formed
// (one root, tags nested and closed, attributes quoted and single, entities known) and to list
// its elements with their attributes.
#ifndef XMLCHECK_H
#define XMLCHECK_H

#include <map>
#include <string>
#include <vector>

namespace vextest {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes; // values as written, entities not resolved
};

struct XmlDocument {
    std::string error; // empty when the text is well-formed
    std::vector<XmlElement> elements;
    std::vector<const XmlElement*> named(const std::string& name) const
    {
        std::vector<const XmlElement*> found;
        for (const XmlElement& element : elements) {
            if (element.name == name)
                found.push_back(&element);
        }
        return found;
    }
};

XmlDocument readXml(const std::string& text);

} // namespace vextest

#endif // XMLCHECK_H
