// SPDX-License-Identifier: MIT
#include "vexmemorydatastorage.h"

#include <cfloat>
#include <climits>
#include <cmath>

namespace Orrery {

namespace {

constexpr unsigned int kUnknownID = 0xFFFFFFFFu;

struct IntegerRange {
    double low;
    double high;
};

// The range of an integer data type code; false for the float codes and unknown codes.
bool integerRange(unsigned char dataType, IntegerRange* range)
{
    switch (dataType) {
    case 1:
    case 9:
        *range = {-128.0, 127.0};
        return true;
    case 2:
    case 3:
        *range = {-32768.0, 32767.0};
        return true;
    case 4:
    case 5:
        *range = {static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)};
        return true;
    case 6:
        *range = {0.0, static_cast<double>(UINT_MAX)};
        return true;
    default:
        return false;
    }
}

// Every int and unsigned int is exact as a double, so one comparison in doubles covers all kinds.
CvexVariant toIntegerCode(unsigned char dataType, const IntegerRange& range, double number)
{
    if (!std::isfinite(number))
        return CvexVariant();
    const double truncated = std::trunc(number);
    if (truncated < range.low || truncated > range.high)
        return CvexVariant();
    if (dataType == 6)
        return CvexVariant(static_cast<unsigned int>(truncated));
    return CvexVariant(static_cast<int>(truncated));
}

CvexVariant toFloatCode(double number)
{
    if (!std::isfinite(number) || std::fabs(number) > static_cast<double>(FLT_MAX))
        return CvexVariant();
    return CvexVariant(static_cast<double>(static_cast<float>(number)));
}

} // namespace

void CvexMemoryDataStorage::addItem(unsigned int dataID, const std::string& name,
                                    unsigned char dataType, const CvexVariant& value)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    Item& item = _items[dataID];
    const auto previous = _idsByName.find(item.name);
    if (previous != _idsByName.end() && previous->second == dataID)
        _idsByName.erase(previous);
    item.name = name;
    item.dataType = dataType;
    item.declared = true;
    if (!name.empty())
        _idsByName[name] = dataID;
    if (value.isNull())
        _values.erase(dataID);
    else
        _values[dataID] = value;
}

void CvexMemoryDataStorage::setItemProperty(unsigned int dataID, const std::string& key,
                                            const CvexVariant& value)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _items[dataID].properties[key] = value;
}

CvexVariant CvexMemoryDataStorage::itemProperty(unsigned int dataID, const std::string& key,
                                                int /*flag*/) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto item = _items.find(dataID);
    if (item == _items.end())
        return CvexVariant();
    const auto property = item->second.properties.find(key);
    return property == item->second.properties.end() ? CvexVariant() : property->second;
}

int CvexMemoryDataStorage::setValue(unsigned int dataID, const CvexVariant& value, int /*flag*/)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _values[dataID] = value;
    return 0;
}

CvexVariant CvexMemoryDataStorage::value(unsigned int dataID) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto found = _values.find(dataID);
    return found == _values.end() ? CvexVariant() : found->second;
}

unsigned int CvexMemoryDataStorage::dataID(const std::string& name) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return idOfName(name);
}

std::vector<unsigned int>
CvexMemoryDataStorage::dataIDs(const std::vector<std::string>& names) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    std::vector<unsigned int> ids;
    ids.reserve(names.size());
    for (const auto& name : names)
        ids.push_back(idOfName(name));
    return ids;
}

CvexDataItem CvexMemoryDataStorage::dataItem(unsigned int dataID) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return itemRecord(dataID);
}

std::vector<CvexDataItem>
CvexMemoryDataStorage::dataItems(const std::vector<unsigned int>& ids) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    std::vector<CvexDataItem> records;
    records.reserve(ids.size());
    for (const unsigned int id : ids)
        records.push_back(itemRecord(id));
    return records;
}

std::vector<unsigned int> CvexMemoryDataStorage::itemIDs() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    std::vector<unsigned int> ids;
    for (const auto& [id, item] : _items) {
        if (item.declared)
            ids.push_back(id);
    }
    return ids;
}

std::string CvexMemoryDataStorage::itemName(unsigned int dataID) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto item = _items.find(dataID);
    return item == _items.end() ? std::string() : item->second.name;
}

CvexVariant CvexMemoryDataStorage::convertValue(unsigned char dataType,
                                                const CvexVariant& value) const
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return CvexVariant();
    if (dataType == 7 || dataType == 8)
        return toFloatCode(number);
    IntegerRange range{};
    if (!integerRange(dataType, &range))
        return CvexVariant();
    return toIntegerCode(dataType, range, number);
}

void CvexMemoryDataStorage::setMoldSetIDList(const std::vector<unsigned int>& ids)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _moldSetIDs = ids;
}

std::vector<unsigned int> CvexMemoryDataStorage::moldSetIDList() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _moldSetIDs;
}

void CvexMemoryDataStorage::clear()
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _items.clear();
    _values.clear();
    _idsByName.clear();
    _moldSetIDs.clear();
}

unsigned int CvexMemoryDataStorage::idOfName(const std::string& name) const
{
    const auto found = _idsByName.find(name);
    return found == _idsByName.end() ? kUnknownID : found->second;
}

CvexDataItem CvexMemoryDataStorage::itemRecord(unsigned int dataID) const
{
    CvexDataItem record;
    record.dataID = dataID;
    const auto item = _items.find(dataID);
    if (item != _items.end())
        record.dataType = item->second.dataType;
    const auto found = _values.find(dataID);
    if (found != _values.end())
        record.value = found->second;
    return record;
}

} // namespace Orrery
