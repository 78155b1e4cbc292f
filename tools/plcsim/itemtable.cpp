// SPDX-License-Identifier: MIT
#include "itemtable.h"

#include "plcreply.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace vexsim {

namespace {

enum class Width { None, Int8, Int16, Int32, UInt32, Float };

template <typename T> T clampedRound(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::round(value);
    const double low = static_cast<double>(std::numeric_limits<T>::min());
    const double high = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(rounded < low ? low : (rounded > high ? high : rounded));
}

uint32_t encode(Width width, double value)
{
    switch (width) {
    case Width::Int8:
        return static_cast<uint8_t>(clampedRound<int8_t>(value));
    case Width::Int16:
        return static_cast<uint16_t>(clampedRound<int16_t>(value));
    case Width::Int32:
        return static_cast<uint32_t>(clampedRound<int32_t>(value));
    case Width::UInt32:
        return clampedRound<uint32_t>(value);
    case Width::Float:
        return floatBits(static_cast<float>(value));
    case Width::None:
        break;
    }
    return 0;
}

Width dataTypeWidth(uint8_t code)
{
    switch (code) {
    case 1:
    case 9:
        return Width::Int8;
    case 2:
    case 3:
        return Width::Int16;
    case 4:
    case 5:
        return Width::Int32;
    case 6:
        return Width::UInt32;
    case 7:
    case 8:
        return Width::Float;
    default:
        return Width::None;
    }
}

Width valueTWidth(unsigned valueT)
{
    switch (valueT) {
    case 1:
    case 5:
        return Width::Int8;
    case 2:
    case 6:
        return Width::Int16;
    case 3:
    case 7:
    case 14:
        return Width::Int32;
    case 4:
    case 13:
        return Width::UInt32;
    case 8:
    case 9:
        return Width::Float;
    default:
        return Width::None;
    }
}

// Items are counted from 1, as a person counts them in the file.
std::string entryError(const std::string& origin, rapidjson::SizeType index,
                       const std::string& what)
{
    std::ostringstream text;
    text << origin << ": item " << index + 1 << ": " << what;
    return text.str();
}

std::string jsonKind(const rapidjson::Value& value)
{
    if (value.IsNull())
        return "null";
    if (value.IsBool())
        return "a boolean";
    if (value.IsObject())
        return "an object";
    if (value.IsArray())
        return "an array";
    if (value.IsString())
        return "a string";
    return value.IsInt64() && value.GetInt64() < 0 ? "a negative number" : "a number";
}

ItemInfo parseEntry(const rapidjson::Value& entry, rapidjson::SizeType index,
                    const std::string& origin)
{
    if (!entry.IsObject())
        throw std::runtime_error(
            entryError(origin, index, "must be an object, not " + jsonKind(entry)));
    const auto id = entry.FindMember("ID");
    if (id == entry.MemberEnd())
        throw std::runtime_error(entryError(origin, index, "\"ID\" is missing"));
    if (!id->value.IsUint())
        throw std::runtime_error(entryError(
            origin, index, "\"ID\" must be an unsigned integer, not " + jsonKind(id->value)));
    ItemInfo item;
    item.id = id->value.GetUint();
    const std::string where = "(ID " + std::to_string(item.id) + ") ";
    const auto name = entry.FindMember("Name");
    if (name != entry.MemberEnd()) {
        if (!name->value.IsString())
            throw std::runtime_error(entryError(
                origin, index, where + "\"Name\" must be a string, not " + jsonKind(name->value)));
        item.name = name->value.GetString();
    }
    const auto dataType = entry.FindMember("DataType");
    if (dataType != entry.MemberEnd()) {
        if (!dataType->value.IsUint() || dataType->value.GetUint() > 255)
            throw std::runtime_error(
                entryError(origin, index, where + "\"DataType\" is not 0..255"));
        item.dataType = static_cast<uint8_t>(dataType->value.GetUint());
    }
    const auto valueT = entry.FindMember("ValueT");
    if (valueT != entry.MemberEnd()) {
        if (!valueT->value.IsUint())
            throw std::runtime_error(entryError(origin, index,
                                                where +
                                                    "\"ValueT\" must be an unsigned "
                                                    "integer, not " +
                                                    jsonKind(valueT->value)));
        item.valueT = valueT->value.GetUint();
    }
    const auto value = entry.FindMember("Value");
    if (value != entry.MemberEnd() && !value->value.IsNull()) {
        if (value->value.IsNumber()) {
            item.value = value->value.GetDouble();
            item.hasValue = true;
        } else if (value->value.IsBool()) {
            item.value = value->value.GetBool() ? 1 : 0;
            item.hasValue = true;
        } else {
            throw std::runtime_error(
                entryError(origin, index,
                           where + "\"Value\" must be a number, not " + jsonKind(value->value)));
        }
    }
    return item;
}

// 1-based line and column of a byte offset, counting characters rather than UTF-8 bytes.
std::string lineAndColumn(const std::string& text, size_t offset)
{
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

} // namespace

ItemTable ItemTable::load(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw std::runtime_error(path + ": cannot read the items file: it is a directory");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error(path + ": cannot read the items file: " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    return parse(content.str(), path);
}

ItemTable ItemTable::parse(const std::string& json, const std::string& origin)
{
    if (json.find_first_not_of(" \t\r\n") == std::string::npos)
        throw std::runtime_error(origin + ": the items file is empty (a JSON array was expected)");
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError()) {
        throw std::runtime_error(
            origin + ":" + lineAndColumn(json, document.GetErrorOffset()) +
            ": JSON syntax error: " + rapidjson::GetParseError_En(document.GetParseError()));
    }
    if (!document.IsArray())
        throw std::runtime_error(origin + ": expected an array of item objects, not " +
                                 jsonKind(document));
    ItemTable table;
    for (rapidjson::SizeType i = 0; i < document.Size(); ++i)
        table.add(parseEntry(document[i], i, origin));
    return table;
}

const ItemInfo* ItemTable::find(uint32_t id) const
{
    const auto it = _items.find(id);
    return it == _items.end() ? nullptr : &it->second;
}

uint8_t ItemTable::dataType(uint32_t id) const
{
    const ItemInfo* item = find(id);
    return item ? item->dataType : kDefaultDataType;
}

unsigned ItemTable::valueT(uint32_t id) const
{
    const ItemInfo* item = find(id);
    return item ? item->valueT : kDefaultValueT;
}

uint32_t rawForDataType(uint8_t code, double value)
{
    return encode(dataTypeWidth(code), value);
}

uint32_t rawForValueT(unsigned valueT, double value)
{
    return encode(valueTWidth(valueT), value);
}

double valueForDataType(uint8_t code, uint32_t raw)
{
    switch (dataTypeWidth(code)) {
    case Width::Int8:
        return static_cast<int8_t>(raw & 0xFF);
    case Width::Int16:
        return static_cast<int16_t>(raw & 0xFFFF);
    case Width::Int32:
        return static_cast<int32_t>(raw);
    case Width::UInt32:
        return raw;
    case Width::Float:
        return floatFromBits(raw);
    case Width::None:
        break;
    }
    return 0;
}

} // namespace vexsim
