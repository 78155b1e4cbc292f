// SPDX-License-Identifier: MIT
// The host's item dictionary: which data IDs exist, their names, their data type codes, the
// storage value type by which triggered data is read, and their initial values. Loaded from the
// items file plcsim reads as well and written into the data storage before the source starts. A
// plain value object; use from one thread.
#ifndef PLCHOST_ITEMDICTIONARY_H
#define PLCHOST_ITEMDICTIONARY_H

#include "vexvariant.h"

#include <map>
#include <string>
#include <vector>

namespace Orrery {
class CvexAbstractDataStorage;
}

namespace plchost {

struct Item {
    unsigned int id = 0;
    std::string name;
    unsigned int dataType = 0;
    unsigned int valueType = 0; // 0: no "ValueT" given
    Orrery::CvexVariant value;  // null: no "Value" given
};

class ItemDictionary {
public:
    // False when the file is unreadable or any item is malformed; errors() names each one.
    bool load(const std::string& path);
    const std::vector<std::string>& errors() const { return _errors; }
    // The file last loaded.
    const std::string& path() const { return _path; }

    const std::vector<Item>& items() const { return _items; }
    const Item* find(unsigned int id) const;
    const Item* findByName(const std::string& name) const;
    // The item's name, or "ID <id>" for an ID the dictionary does not know.
    std::string label(unsigned int id) const;

    // Declares every item in `storage` with its value and, where given, its "ValueT" property.
    void fillStorage(Orrery::CvexAbstractDataStorage& storage) const;

private:
    std::vector<Item> _items;
    std::map<unsigned int, size_t> _byID;
    std::map<std::string, size_t> _byName;
    std::vector<std::string> _errors;
    std::string _path;
};

} // namespace plchost

#endif // PLCHOST_ITEMDICTIONARY_H
