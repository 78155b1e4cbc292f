// SPDX-License-Identifier: MIT
#include "jsonfile.h"

#include <rapidjson/error/en.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace plchost {

namespace {

bool readWhole(const std::string& path, std::string* text, std::string* why)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        *why = "it is a directory";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *why = std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        *why = "read error";
        return false;
    }
    *text = content.str();
    return true;
}

} // namespace

bool JsonFile::load(const std::string& path)
{
    _path = path;
    _error.clear();
    std::string text;
    std::string why;
    if (!readWhole(path, &text, &why)) {
        _error = path + ": cannot read the file: " + why;
        return false;
    }
    // The library stops at the first NUL byte; so does this reader.
    text = std::string(text.c_str());
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        _error = path + ":1:1: the file starts with a UTF-8 byte-order mark, which is not "
                        "allowed (save it as UTF-8 without BOM)";
        return false;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        _error = path + ": the file is empty (a JSON array was expected)";
        return false;
    }
    _document.Parse<rapidjson::kParseDefaultFlags>(text.c_str());
    if (_document.HasParseError()) {
        size_t line = 0;
        size_t column = 0;
        lineAndColumn(text, _document.GetErrorOffset(), &line, &column);
        _error = path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                 ": JSON syntax error: " + rapidjson::GetParseError_En(_document.GetParseError());
        return false;
    }
    return true;
}

void JsonFile::lineAndColumn(const std::string& text, size_t offset, size_t* line, size_t* column)
{
    *line = 1;
    *column = 1;
    const size_t end = offset < text.size() ? offset : text.size();
    for (size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++*line;
            *column = 1;
        } else if ((c & 0xC0) != 0x80) {
            // Count characters, not the continuation bytes of a UTF-8 sequence.
            ++*column;
        }
    }
}

std::string JsonFile::typeName(const rapidjson::Value& value)
{
    switch (value.GetType()) {
    case rapidjson::kNullType:
        return "null";
    case rapidjson::kFalseType:
    case rapidjson::kTrueType:
        return "a boolean";
    case rapidjson::kObjectType:
        return "an object";
    case rapidjson::kArrayType:
        return "an array";
    case rapidjson::kStringType:
        return "a string";
    case rapidjson::kNumberType:
        if (value.IsUint())
            return "the number " + std::to_string(value.GetUint());
        if (value.IsInt())
            return "the number " + std::to_string(value.GetInt());
        if (value.IsDouble()) {
            std::ostringstream out;
            out << "the number " << value.GetDouble();
            return out.str();
        }
        return "a number too large for 32 bits";
    }
    return "a value";
}

} // namespace plchost
