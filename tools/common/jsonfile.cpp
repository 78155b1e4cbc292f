// SPDX-License-Identifier: MIT
#include "jsonfile.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vextools {

namespace {

// One more byte than the limit is read, so that a larger file (or /dev/zero) is known as such
// without holding more of it.
bool readBounded(const std::string& path, std::string* text, std::string* why)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        *why = "cannot read the file: it is a directory";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *why = std::string("cannot read the file: ") + std::strerror(errno);
        return false;
    }
    text->resize(JsonFile::kMaxBytes + 1);
    in.read(text->data(), static_cast<std::streamsize>(text->size()));
    if (in.bad()) {
        *why = "cannot read the file: read error";
        return false;
    }
    text->resize(static_cast<std::size_t>(in.gcount()));
    if (text->size() > JsonFile::kMaxBytes) {
        *why = "the file is larger than the limit of " + std::to_string(JsonFile::kMaxBytes >> 20) +
               " MiB";
        return false;
    }
    return true;
}

// A stream type of its own makes the reader work on it in place, so that a handler sees how far
// the text has been read.
struct TextStream : rapidjson::StringStream {
    explicit TextStream(const char* text) : rapidjson::StringStream(text) {}
};

// Builds the document and notes where each element of the root array ends.
class TrackingDocument : public rapidjson::Document {
public:
    bool read(const char* text, std::vector<std::size_t>* elementEnds)
    {
        TextStream stream(text);
        _stream = &stream;
        _ends = elementEnds;
        auto generate = [this, &stream](rapidjson::Document&) {
            rapidjson::Reader reader;
            _result = reader.Parse<rapidjson::kParseIterativeFlag>(stream, *this);
            return !_result.IsError();
        };
        Populate(generate);
        return !_result.IsError();
    }
    const rapidjson::ParseResult& result() const { return _result; }

    bool Null() { return scalar(rapidjson::Document::Null()); }
    bool Bool(bool b) { return scalar(rapidjson::Document::Bool(b)); }
    bool Int(int i) { return scalar(rapidjson::Document::Int(i)); }
    bool Uint(unsigned i) { return scalar(rapidjson::Document::Uint(i)); }
    bool Int64(int64_t i) { return scalar(rapidjson::Document::Int64(i)); }
    bool Uint64(uint64_t i) { return scalar(rapidjson::Document::Uint64(i)); }
    bool Double(double d) { return scalar(rapidjson::Document::Double(d)); }
    bool String(const char* s, rapidjson::SizeType n, bool copy)
    {
        return scalar(rapidjson::Document::String(s, n, copy));
    }
    bool StartObject() { return open(rapidjson::Document::StartObject()); }
    bool StartArray() { return open(rapidjson::Document::StartArray()); }
    bool EndObject(rapidjson::SizeType n) { return close(rapidjson::Document::EndObject(n)); }
    bool EndArray(rapidjson::SizeType n) { return close(rapidjson::Document::EndArray(n)); }

private:
    bool open(bool ok)
    {
        ++_depth;
        return ok;
    }
    bool close(bool ok)
    {
        --_depth;
        return scalar(ok);
    }
    bool scalar(bool ok)
    {
        if (_depth == 1)
            _ends->push_back(static_cast<std::size_t>(_stream->src_ - _stream->head_));
        return ok;
    }

    const TextStream* _stream = nullptr;
    std::vector<std::size_t>* _ends = nullptr;
    int _depth = 0;
    rapidjson::ParseResult _result;
};

} // namespace

bool JsonFile::load(const std::string& path)
{
    std::string text;
    std::string why;
    if (!readBounded(path, &text, &why)) {
        _error = path + ": " + why;
        return false;
    }
    return parse(text, path);
}

bool JsonFile::parse(const std::string& whole, const std::string& origin)
{
    _error.clear();
    _elementLines.clear();
    // The text ends at its first NUL byte, as the library reads it.
    const std::string text(whole.c_str()); // NOLINT(readability-redundant-string-cstr)
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        _error = origin + ":1:1: the file starts with a UTF-8 byte-order mark, which is not "
                          "allowed (save it as UTF-8 without BOM)";
        return false;
    }
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        _error = origin + ": the file is empty (a JSON array was expected)";
        return false;
    }
    TrackingDocument tree;
    std::vector<std::size_t> ends;
    if (!tree.read(text.c_str(), &ends)) {
        std::size_t line = 0;
        std::size_t column = 0;
        lineAndColumn(text, tree.result().Offset(), &line, &column);
        _error = origin + ":" + std::to_string(line) + ":" + std::to_string(column) +
                 ": JSON syntax error: " + rapidjson::GetParseError_En(tree.result().Code());
        return false;
    }
    _document.Swap(tree);
    std::size_t line = 1;
    std::size_t counted = 0;
    for (const std::size_t end : ends) {
        line += static_cast<std::size_t>(std::count(text.begin() + static_cast<long>(counted),
                                                    text.begin() + static_cast<long>(end), '\n'));
        counted = end;
        _elementLines.push_back(static_cast<int>(line));
    }
    return true;
}

int JsonFile::elementLine(std::size_t index) const
{
    return index < _elementLines.size() ? _elementLines[index] : 0;
}

void JsonFile::lineAndColumn(const std::string& text, std::size_t offset, std::size_t* line,
                             std::size_t* column)
{
    *line = 1;
    *column = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++*line;
            *column = 1;
        } else if ((c & 0xC0) != 0x80) {
            // Characters, not the continuation bytes of a UTF-8 sequence.
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
        break;
    }
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

} // namespace vextools
