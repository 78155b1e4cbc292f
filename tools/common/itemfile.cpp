// SPDX-License-Identifier: MIT
#include "itemfile.h"

#include "jsonfile.h"

#include <cfloat>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

namespace vextools {

namespace {

const std::set<std::string> kItemKeys = {"ID", "Name", "DataType", "ValueT", "Value"};

std::string numberText(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// Reads one entry; every fault goes to `errors` with the entry's place in front.
class EntryReader {
public:
    EntryReader(const rapidjson::Value& object, std::string where, std::vector<std::string>* errors)
        : _object(object), _where(std::move(where)), _errors(errors)
    {
    }

    bool read(ItemEntry* item)
    {
        for (auto member = _object.MemberBegin(); member != _object.MemberEnd(); ++member) {
            const std::string key = member->name.GetString();
            if (kItemKeys.count(key) == 0)
                fail("unknown key \"" + key + "\" (expected ID, Name, DataType, ValueT, Value)");
        }
        readUint("ID", true, &item->id);
        readName(&item->name);
        readUint("DataType", true, &item->dataType);
        if (_ok && !ItemFile::isDataType(item->dataType))
            fail("\"DataType\" " + std::to_string(item->dataType) +
                 " is not a data type code (1 to 9)");
        readUint("ValueT", false, &item->valueT);
        if (_ok && _object.HasMember("ValueT") && !ItemFile::isValueT(item->valueT))
            fail("\"ValueT\" " + std::to_string(item->valueT) +
                 " is not a storage value type (1 to 9, 13 or 14)");
        if (_ok)
            readValue(item);
        return _ok;
    }

private:
    void fail(const std::string& why)
    {
        _errors->push_back(_where + ": " + why);
        _ok = false;
    }

    template <typename Unsigned> void readUint(const char* key, bool required, Unsigned* out)
    {
        const auto member = _object.FindMember(key);
        if (member == _object.MemberEnd()) {
            if (required)
                fail(std::string("\"") + key + "\" is missing");
        } else if (!member->value.IsUint()) {
            fail(std::string("\"") + key + "\" must be an unsigned integer, not " +
                 JsonFile::typeName(member->value));
        } else {
            *out = member->value.GetUint();
        }
    }

    void readName(std::string* out)
    {
        const auto member = _object.FindMember("Name");
        if (member == _object.MemberEnd())
            fail("\"Name\" is missing");
        else if (!member->value.IsString() || member->value.GetStringLength() == 0)
            fail("\"Name\" must be a non-empty string, not " + JsonFile::typeName(member->value));
        else
            *out = member->value.GetString();
    }

    void readValue(ItemEntry* item)
    {
        const auto member = _object.FindMember("Value");
        if (member == _object.MemberEnd() || member->value.IsNull())
            return;
        if (!member->value.IsNumber()) {
            fail("\"Value\" must be a number, not " + JsonFile::typeName(member->value));
            return;
        }
        item->value = member->value.GetDouble();
        item->hasValue = true;
        if (!ItemFile::fits(item->dataType, item->value))
            fail("\"Value\" " + numberText(item->value) + " does not fit data type " +
                 std::to_string(item->dataType) + " (" + ItemFile::dataTypeName(item->dataType) +
                 ")");
    }

    const rapidjson::Value& _object;
    std::string _where;
    std::vector<std::string>* _errors;
    bool _ok = true;
};

std::string entryPlace(const std::string& origin, int line, rapidjson::SizeType index,
                       const rapidjson::Value& entry)
{
    std::string where = origin + (line > 0 ? ":" + std::to_string(line) : std::string()) +
                        ": item " + std::to_string(index + 1);
    if (entry.IsObject() && entry.HasMember("ID") && entry["ID"].IsUint())
        where += " (ID " + std::to_string(entry["ID"].GetUint()) + ")";
    return where;
}

} // namespace

bool ItemFile::load(const std::string& path)
{
    JsonFile file;
    if (!file.load(path)) {
        _items.clear();
        _errors = {file.error()};
        return false;
    }
    return read(file, path);
}

bool ItemFile::parse(const std::string& text, const std::string& origin)
{
    JsonFile file;
    if (!file.parse(text, origin)) {
        _items.clear();
        _errors = {file.error()};
        return false;
    }
    return read(file, origin);
}

bool ItemFile::read(JsonFile& file, const std::string& origin)
{
    _items.clear();
    _errors.clear();
    const rapidjson::Value& root = file.document();
    if (!root.IsArray()) {
        _errors.push_back(origin + ": the items file must be an array of item objects, not " +
                          JsonFile::typeName(root));
        return false;
    }
    std::map<std::uint32_t, std::string> names;
    std::map<std::string, std::uint32_t> ids;
    for (rapidjson::SizeType i = 0; i < root.Size(); ++i) {
        const int line = file.elementLine(i);
        const std::string where = entryPlace(origin, line, i, root[i]);
        if (!root[i].IsObject()) {
            _errors.push_back(where + ": must be an object, not " + JsonFile::typeName(root[i]));
            continue;
        }
        ItemEntry item;
        item.line = line;
        if (!EntryReader(root[i], where, &_errors).read(&item))
            continue;
        if (names.count(item.id) != 0)
            _errors.push_back(where + ": ID " + std::to_string(item.id) + " is already used by \"" +
                              names[item.id] + "\"");
        else if (ids.count(item.name) != 0)
            _errors.push_back(where + ": the name \"" + item.name + "\" is already used by ID " +
                              std::to_string(ids[item.name]));
        else
            _items.push_back(item);
        names.emplace(item.id, item.name);
        ids.emplace(item.name, item.id);
    }
    if (_errors.empty() && _items.empty())
        _errors.push_back(origin + ": the items file holds no items");
    return _errors.empty();
}

bool ItemFile::isDataType(unsigned int code)
{
    return code >= 1 && code <= 9;
}

bool ItemFile::isValueT(unsigned int valueT)
{
    return (valueT >= 1 && valueT <= 9) || valueT == 13 || valueT == 14;
}

std::string ItemFile::dataTypeName(unsigned int code)
{
    switch (code) {
    case 1:
    case 9:
        return "signed 8-bit";
    case 2:
    case 3:
        return "signed 16-bit";
    case 4:
    case 5:
        return "signed 32-bit";
    case 6:
        return "unsigned 32-bit";
    case 7:
    case 8:
        return "32-bit float";
    default:
        return "unknown";
    }
}

bool ItemFile::fits(unsigned int code, double value)
{
    if (!std::isfinite(value))
        return false;
    if (code == 7 || code == 8)
        return std::fabs(value) <= FLT_MAX;
    if (std::trunc(value) != value)
        return false;
    switch (code) {
    case 1:
    case 9:
        return value >= -128 && value <= 127;
    case 2:
    case 3:
        return value >= -32768 && value <= 32767;
    case 4:
    case 5:
        return value >= -2147483648.0 && value <= 2147483647.0;
    case 6:
        return value >= 0 && value <= 4294967295.0;
    default:
        return false;
    }
}

} // namespace vextools
