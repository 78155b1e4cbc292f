// SPDX-License-Identifier: MIT
#include "itemtable.h"

#include "itemfile.h"
#include "plcreply.h"

#include <cmath>
#include <limits>
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

ItemTable fromFile(const vextools::ItemFile& file, bool usable)
{
    if (!usable) {
        std::string errors;
        for (const std::string& error : file.errors())
            errors += (errors.empty() ? "" : "\n") + error;
        throw std::runtime_error(errors);
    }
    ItemTable table;
    for (const vextools::ItemEntry& entry : file.items()) {
        ItemInfo item;
        item.id = entry.id;
        item.name = entry.name;
        item.dataType = static_cast<uint8_t>(entry.dataType);
        item.valueT = entry.valueT != 0 ? entry.valueT : ItemTable::kDefaultValueT;
        item.value = entry.value;
        item.hasValue = entry.hasValue;
        table.add(item);
    }
    return table;
}

} // namespace

ItemTable ItemTable::load(const std::string& path)
{
    vextools::ItemFile file;
    const bool usable = file.load(path);
    return fromFile(file, usable);
}

ItemTable ItemTable::parse(const std::string& json, const std::string& origin)
{
    vextools::ItemFile file;
    const bool usable = file.parse(json, origin);
    return fromFile(file, usable);
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
