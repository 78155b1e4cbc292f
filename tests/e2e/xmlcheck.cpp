// SPDX-License-Identifier: MIT
#include "xmlcheck.h"

#include <cctype>

namespace vextest {

namespace {

class XmlReader {
public:
    explicit XmlReader(const std::string& text) : _text(text) {}

    XmlDocument read()
    {
        skipProlog();
        while (_document.error.empty() && _at < _text.size()) {
            if (_text.compare(_at, 4, "<!--") == 0)
                skipPast("-->");
            else if (_text[_at] == '<')
                tag();
            else
                characters();
        }
        if (_document.error.empty() && !_open.empty())
            fail("<" + _open.back() + "> is never closed");
        if (_document.error.empty() && _roots != 1)
            fail("the document has " + std::to_string(_roots) + " root elements");
        return _document;
    }

private:
    void fail(const std::string& why)
    {
        if (_document.error.empty())
            _document.error = why + " (at byte " + std::to_string(_at) + ")";
    }

    void skipProlog()
    {
        if (_text.compare(0, 5, "<?xml") == 0)
            skipPast("?>");
    }

    void skipPast(const std::string& end)
    {
        const size_t found = _text.find(end, _at);
        if (found == std::string::npos) {
            fail("unterminated " + end);
            _at = _text.size();
            return;
        }
        _at = found + end.size();
    }

    static bool nameChar(char c)
    {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
               c == '.';
    }

    std::string name()
    {
        const size_t start = _at;
        while (_at < _text.size() && nameChar(_text[_at]))
            ++_at;
        if (_at == start)
            fail("a name is missing");
        return _text.substr(start, _at - start);
    }

    void spaces()
    {
        while (_at < _text.size() && std::isspace(static_cast<unsigned char>(_text[_at])))
            ++_at;
    }

    void checkEntities(const std::string& text)
    {
        for (size_t i = text.find('&'); i != std::string::npos; i = text.find('&', i + 1)) {
            const size_t end = text.find(';', i);
            const std::string entity = end == std::string::npos ? "" : text.substr(i, end - i + 1);
            if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
                entity != "&apos;" && entity.compare(0, 2, "&#") != 0)
                fail("unknown or unterminated entity");
        }
    }

    void tag()
    {
        ++_at;
        if (_at < _text.size() && _text[_at] == '/') {
            ++_at;
            const std::string closing = name();
            spaces();
            if (_open.empty() || _open.back() != closing)
                fail("</" + closing + "> does not close the open element");
            else
                _open.pop_back();
            expect('>');
            return;
        }
        XmlElement element;
        element.name = name();
        if (_open.empty())
            ++_roots;
        for (;;) {
            spaces();
            if (_at >= _text.size()) {
                fail("unterminated tag <" + element.name);
                return;
            }
            if (_text[_at] == '/' || _text[_at] == '>')
                break;
            attribute(element);
            if (!_document.error.empty())
                return;
        }
        const bool selfClosing = _text[_at] == '/';
        _at += selfClosing ? 1 : 0;
        expect('>');
        if (!selfClosing)
            _open.push_back(element.name);
        _document.elements.push_back(element);
    }

    void attribute(XmlElement& element)
    {
        const std::string key = name();
        spaces();
        expect('=');
        spaces();
        if (_at >= _text.size() || (_text[_at] != '"' && _text[_at] != '\'')) {
            fail("attribute " + key + " is not quoted");
            return;
        }
        const char quote = _text[_at++];
        const size_t end = _text.find(quote, _at);
        if (end == std::string::npos) {
            fail("attribute " + key + " is not terminated");
            return;
        }
        const std::string value = _text.substr(_at, end - _at);
        if (value.find('<') != std::string::npos)
            fail("attribute " + key + " holds '<'");
        checkEntities(value);
        if (element.attributes.count(key) != 0)
            fail("attribute " + key + " appears twice");
        element.attributes[key] = value;
        _at = end + 1;
    }

    void characters()
    {
        const size_t end = _text.find('<', _at);
        const std::string text =
            _text.substr(_at, end == std::string::npos ? std::string::npos : end - _at);
        const bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos;
        if (_open.empty() && !blank)
            fail("text outside the root element");
        checkEntities(text);
        _at = end == std::string::npos ? _text.size() : end;
    }

    void expect(char c)
    {
        if (_at >= _text.size() || _text[_at] != c)
            fail(std::string("'") + c + "' expected");
        else
            ++_at;
    }

    const std::string& _text;
    size_t _at = 0;
    int _roots = 0;
    std::vector<std::string> _open;
    XmlDocument _document;
};

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
    return XmlReader(text).read();
}

} // namespace vextest
