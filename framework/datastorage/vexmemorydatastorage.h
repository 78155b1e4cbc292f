// SPDX-License-Identifier: MIT
//
// Not part of the public API: the data storage that the factory hands out.
#ifndef VEXMEMORYDATASTORAGE_H
#define VEXMEMORYDATASTORAGE_H

#include "vexabstractdatastorage.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace Orrery {

// Keeps items, values and properties in memory. Every operation takes the one lock of the
// storage, so it may be used from any thread.
class CvexMemoryDataStorage : public CvexAbstractDataStorage {
public:
    void addItem(unsigned int dataID, const std::string& name, unsigned char dataType,
                 const CvexVariant& value = CvexVariant()) override;
    void setItemProperty(unsigned int dataID, const std::string& key,
                         const CvexVariant& value) override;
    CvexVariant itemProperty(unsigned int dataID, const std::string& key,
                             int flag = 0) const override;
    int setValue(unsigned int dataID, const CvexVariant& value, int flag = 1) override;
    CvexVariant value(unsigned int dataID) const override;
    unsigned int dataID(const std::string& name) const override;
    std::vector<unsigned int> dataIDs(const std::vector<std::string>& names) const override;
    CvexDataItem dataItem(unsigned int dataID) const override;
    std::vector<CvexDataItem> dataItems(const std::vector<unsigned int>& ids) const override;
    std::vector<unsigned int> itemIDs() const override;
    std::string itemName(unsigned int dataID) const override;
    CvexVariant convertValue(unsigned char dataType, const CvexVariant& value) const override;
    void setMoldSetIDList(const std::vector<unsigned int>& ids) override;
    std::vector<unsigned int> moldSetIDList() const override;
    void clear() override;

private:
    struct Item {
        std::string name;
        unsigned char dataType = 0;
        bool declared = false;
        std::map<std::string, CvexVariant> properties;
    };

    unsigned int idOfName(const std::string& name) const;
    CvexDataItem itemRecord(unsigned int dataID) const;

    mutable std::mutex _mutex;
    std::map<unsigned int, Item> _items;
    std::map<unsigned int, CvexVariant> _values;
    std::map<std::string, unsigned int> _idsByName;
    std::vector<unsigned int> _moldSetIDs;
};

} // namespace Orrery

#endif // VEXMEMORYDATASTORAGE_H
