// SPDX-License-Identifier: MIT
#include "itemdictionary.h"

#include "datatypes.h"
#include "itemfile.h"
#include "vexabstractdatastorage.h"

using Orrery::CvexVariant;

namespace plchost {

bool ItemDictionary::load(const std::string& path)
{
    _items.clear();
    _byID.clear();
    _byName.clear();
    _path = path;
    vextools::ItemFile file;
    const bool loaded = file.load(path);
    _errors = file.errors();
    if (!loaded)
        return false;
    for (const vextools::ItemEntry& entry : file.items()) {
        Item item;
        item.id = entry.id;
        item.name = entry.name;
        item.dataType = entry.dataType;
        item.valueType = entry.valueT;
        if (entry.hasValue)
            item.value = DataTypes::fitToCode(entry.dataType, CvexVariant(entry.value));
        _byID[item.id] = _items.size();
        _byName[item.name] = _items.size();
        _items.push_back(item);
    }
    return true;
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
