// SPDX-License-Identifier: MIT
// A JSON file read whole and parsed the way the library reads its common file (default flags,
// text ending at the first NUL byte), with failures told as "FILE:LINE:COLUMN: why".
// Owns its document; use from one thread.
#ifndef PLCHOST_JSONFILE_H
#define PLCHOST_JSONFILE_H

#include <rapidjson/document.h>

#include <string>

namespace plchost {

class JsonFile {
public:
    JsonFile() = default;
    JsonFile(const JsonFile&) = delete;
    JsonFile& operator=(const JsonFile&) = delete;

    // False when the file cannot be read or is not one JSON text; error() then says why.
    bool load(const std::string& path);

    const rapidjson::Document& document() const { return _document; }
    const std::string& error() const { return _error; }
    const std::string& path() const { return _path; }

    // 1-based line and column of a byte offset into the text that was loaded.
    static void lineAndColumn(const std::string& text, size_t offset, size_t* line, size_t* column);
    // A JSON type in words, for messages: "a string", "an array", ...
    static std::string typeName(const rapidjson::Value& value);

private:
    std::string _path;
    std::string _error;
    rapidjson::Document _document;
};

} // namespace plchost

#endif // PLCHOST_JSONFILE_H
