// SPDX-License-Identifier: MIT
// A JSON file read whole, at most kMaxBytes of it, and parsed iteratively, so that neither a huge
// file nor deep nesting can exhaust memory or the stack. The text ends at the first NUL byte, as
// the library reads it. Failures read "FILE:LINE:COLUMN: why". Owns its document; one thread.
#ifndef VEXTOOLS_JSONFILE_H
#define VEXTOOLS_JSONFILE_H

#include <rapidjson/document.h>

#include <cstddef>
#include <string>
#include <vector>

namespace vextools {

class JsonFile {
public:
    static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;

    JsonFile() = default;
    JsonFile(const JsonFile&) = delete;
    JsonFile& operator=(const JsonFile&) = delete;

    // False when the file cannot be read, is too large or is not one JSON text; error() says why.
    bool load(const std::string& path);
    // The same for a text in memory; `origin` names it in messages.
    bool parse(const std::string& text, const std::string& origin);

    const rapidjson::Document& document() const { return _document; }
    const std::string& error() const { return _error; }
    // 1-based line on which the root array's element `index` ends; 0 when unknown.
    int elementLine(std::size_t index) const;

    static void lineAndColumn(const std::string& text, std::size_t offset, std::size_t* line,
                              std::size_t* column);
    // A JSON value in words, for messages: "a string", "the number 3", ...
    static std::string typeName(const rapidjson::Value& value);

private:
    std::string _error;
    rapidjson::Document _document;
    std::vector<int> _elementLines;
};

} // namespace vextools

#endif // VEXTOOLS_JSONFILE_H
