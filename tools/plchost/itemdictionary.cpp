// SPDX-License-Identifier: MIT
#include "itemdictionary.h"

#include "datatypes.h"
#include "jsonfile.h"
#include "vexabstractdatastorage.h"

#include <set>

using Orrery::CvexVariant;

namespace plchost {

namespace {

const std::set<std::string> kItemKeys = {"ID", "Name", "DataType", "ValueT", "Value"};

CvexVariant jsonNumber(const rapidjson::Value& value)
{
    if (value.IsInt())
        return CvexVariant(value.GetInt());
    if (value.IsUint())
        return CvexVariant(value.GetUint());
    if (value.IsNumber())
        return CvexVariant(value.GetDouble());
    return CvexVariant();
}

class ItemReader {
public:
    ItemReader(const rapidjson::Value& object, std::string where, std::vector<std::string>* errors)
        : _object(object), _where(std::move(where)), _errors(errors)
    {
    }

    bool read(Item* item)
    {
        for (auto member = _object.MemberBegin(); member != _object.MemberEnd(); ++member) {
            const std::string key = member->name.GetString();
            if (kItemKeys.count(key) == 0)
                fail("unknown key \"" + key + "\" (expected ID, Name, DataType, ValueT, Value)");
        }
        readUint("ID", true, &item->id);
        readName(&item->name);
        readUint("DataType", true, &item->dataType);
        if (_ok && !DataTypes::isCode(item->dataType))
            fail("\"DataType\" " + std::to_string(item->dataType) +
                 " is not a data type code (1 to 9)");
        readUint("ValueT", false, &item->valueType);
        if (_object.HasMember("ValueT") && _ok && !DataTypes::isValueType(item->valueType))
            fail("\"ValueT\" " + std::to_string(item->valueType) +
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

    void readUint(const char* key, bool required, unsigned int* out)
    {
        const auto member = _object.FindMember(key);
        if (member == _object.MemberEnd()) {
            if (required)
                fail(std::string("\"") + key + "\" is missing");
            return;
        }
        if (!member->value.IsUint()) {
            fail(std::string("\"") + key + "\" must be an unsigned integer, not " +
                 JsonFile::typeName(member->value));
            return;
        }
        *out = member->value.GetUint();
    }

    void readName(std::string* out)
    {
        const auto member = _object.FindMember("Name");
        if (member == _object.MemberEnd()) {
            fail("\"Name\" is missing");
        } else if (!member->value.IsString() || member->value.GetStringLength() == 0) {
            fail("\"Name\" must be a non-empty string, not " + JsonFile::typeName(member->value));
        } else {
            *out = member->value.GetString();
        }
    }

    void readValue(Item* item)
    {
        const auto member = _object.FindMember("Value");
        if (member == _object.MemberEnd() || member->value.IsNull())
            return;
        const CvexVariant number = jsonNumber(member->value);
        if (number.isNull()) {
            fail("\"Value\" must be a number, not " + JsonFile::typeName(member->value));
            return;
        }
        item->value = DataTypes::fitToCode(item->dataType, number);
        if (item->value.isNull())
            fail("\"Value\" " + DataTypes::format(number) + " does not fit data type " +
                 std::to_string(item->dataType) + " (" + DataTypes::codeName(item->dataType) + ")");
    }

    const rapidjson::Value& _object;
    std::string _where;
    std::vector<std::string>* _errors;
    bool _ok = true;
};

} // namespace

bool ItemDictionary::load(const std::string& path)
{
    _items.clear();
    _byID.clear();
    _byName.clear();
    _errors.clear();
    _path = path;
    JsonFile file;
    if (!file.load(path)) {
        _errors.push_back(file.error());
        return false;
    }
    const rapidjson::Value& root = file.document();
    if (!root.IsArray()) {
        _errors.push_back(path + ": the item dictionary must be an array of item objects, not " +
                          JsonFile::typeName(root));
        return false;
    }
    for (rapidjson::SizeType i = 0; i < root.Size(); ++i) {
        std::string where = path + ": item " + std::to_string(i + 1);
        if (!root[i].IsObject()) {
            _errors.push_back(where + ": must be an object, not " + JsonFile::typeName(root[i]));
            continue;
        }
        if (root[i].HasMember("ID") && root[i]["ID"].IsUint())
            where += " (ID " + std::to_string(root[i]["ID"].GetUint()) + ")";
        Item item;
        if (ItemReader(root[i], where, &_errors).read(&item))
            addItem(where, item);
    }
    if (_errors.empty() && _items.empty())
        _errors.push_back(path + ": the item dictionary holds no items");
    return _errors.empty();
}

void ItemDictionary::addItem(const std::string& where, const Item& item)
{
    if (_byID.count(item.id) != 0) {
        _errors.push_back(where + ": ID " + std::to_string(item.id) + " is already used by \"" +
                          _items[_byID[item.id]].name + "\"");
        return;
    }
    if (_byName.count(item.name) != 0) {
        _errors.push_back(where + ": the name \"" + item.name + "\" is already used by ID " +
                          std::to_string(_items[_byName[item.name]].id));
        return;
    }
    _byID[item.id] = _items.size();
    _byName[item.name] = _items.size();
    _items.push_back(item);
}

const Item* ItemDictionary::find(unsigned int id) const
{
    const auto found = _byID.find(id);
    return found == _byID.end() ? nullptr : &_items[found->second];
}

const Item* ItemDictionary::findByName(const std::string& name) const
{
    const auto found = _byName.find(name);
    return found == _byName.end() ? nullptr : &_items[found->second];
}

std::string ItemDictionary::label(unsigned int id) const
{
    const Item* item = find(id);
    return item ? item->name : "ID " + std::to_string(id);
}

void ItemDictionary::fillStorage(Orrery::CvexAbstractDataStorage& storage) const
{
    for (const Item& item : _items) {
        storage.addItem(item.id, item.name, static_cast<unsigned char>(item.dataType), item.value);
        if (item.valueType != 0)
            storage.setItemProperty(item.id, "ValueT", CvexVariant(item.valueType));
    }
}

} // namespace plchost
