// SPDX-License-Identifier: MIT
#ifndef VEXABSTRACTDATASTORAGE_H
#define VEXABSTRACTDATASTORAGE_H

#include "vexglobal.h"
#include "vexnocopyable.h"
#include "vexvariant.h"

#include <string>
#include <vector>

namespace Orrery {

// One item of the data storage as the storage reports it.
struct CvexDataItem {
    unsigned int dataID = 0;
    unsigned char dataType = 0;
    CvexVariant value;
};

// The host's data storage: values by data ID, with a name, a one-byte data type code and named
// properties per item. Obtained from CvexDBStorageFactory, which owns it. Every operation may be
// called from several threads at once.
class VEX_DATASTORAGE_EXPORT CvexAbstractDataStorage : public CvexNoCopyable {
public:
    virtual ~CvexAbstractDataStorage();

    // Declares (or redeclares) an item.
    virtual void addItem(unsigned int dataID, const std::string& name, unsigned char dataType,
                         const CvexVariant& value = CvexVariant()) = 0;
    virtual void setItemProperty(unsigned int dataID, const std::string& key,
                                 const CvexVariant& value) = 0;
    // The property, or a null variant when the item has none of that key.
    virtual CvexVariant itemProperty(unsigned int dataID, const std::string& key,
                                     int flag = 0) const = 0;

    // Stores `value` as it is given, also for an ID that was never declared; returns 0.
    virtual int setValue(unsigned int dataID, const CvexVariant& value, int flag = 1) = 0;
    // The current value; null when the ID has none.
    virtual CvexVariant value(unsigned int dataID) const = 0;

    // 0xFFFFFFFF for an unknown name.
    virtual unsigned int dataID(const std::string& name) const = 0;
    virtual std::vector<unsigned int> dataIDs(const std::vector<std::string>& names) const = 0;
    // An unknown ID gives a record with that ID, type code 0 and a null value.
    virtual CvexDataItem dataItem(unsigned int dataID) const = 0;
    // One record per requested ID, in the order asked.
    virtual std::vector<CvexDataItem> dataItems(const std::vector<unsigned int>& ids) const = 0;
    // Every declared ID, ascending.
    virtual std::vector<unsigned int> itemIDs() const = 0;
    // The name given to addItem; empty for an undeclared ID.
    virtual std::string itemName(unsigned int dataID) const = 0;

    // Converts a value to the range and kind of a data type code: 1 and 9 signed 8-bit, 2 and 3
    // signed 16-bit, 4 and 5 signed 32-bit (Int), 6 unsigned 32-bit (UInt), 7 and 8 a float held
    // as Double. Null input, code 0 or above 9, or a value out of range gives null; a double
    // converted to an integer code is truncated toward zero.
    virtual CvexVariant convertValue(unsigned char dataType, const CvexVariant& value) const = 0;

    virtual void setMoldSetIDList(const std::vector<unsigned int>& ids) = 0;
    virtual std::vector<unsigned int> moldSetIDList() const = 0;

    // Forgets every item, property, value and the mold set list.
    virtual void clear() = 0;
};

} // namespace Orrery

#endif // VEXABSTRACTDATASTORAGE_H
