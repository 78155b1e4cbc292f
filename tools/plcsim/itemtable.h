// SPDX-License-Identifier: MIT
// What the simulated PLC knows about the host's data items: the data type code the host declared
// for each ID, the storage value type of triggered items, a name and a nominal value. Loaded once
// from an items file; a plain value, copied freely, used by one thread at a time.
#ifndef ITEMTABLE_H
#define ITEMTABLE_H

#include <cstdint>
#include <map>
#include <string>

namespace vexsim {

struct ItemInfo {
    uint32_t id = 0;
    std::string name;
    uint8_t dataType = 8; // code in actual values, mold set packs and parameters
    unsigned valueT = 9;  // storage value type of the item in triggered data
    double value = 0;     // nominal value: a set point, a peak or a start value
    bool hasValue = false;
};

class ItemTable {
public:
    static constexpr uint8_t kDefaultDataType = 8;
    static constexpr unsigned kDefaultValueT = 9;

    // Reads the items file plchost reads too. Throws std::runtime_error with every fault, one
    // line each, naming the file, the line and the entry.
    static ItemTable load(const std::string& path);
    static ItemTable parse(const std::string& json, const std::string& origin);

    void add(const ItemInfo& item) { _items[item.id] = item; }
    // The item of `id`, or nullptr when the table has none.
    const ItemInfo* find(uint32_t id) const;
    uint8_t dataType(uint32_t id) const;
    unsigned valueT(uint32_t id) const;
    const std::map<uint32_t, ItemInfo>& items() const { return _items; }

private:
    std::map<uint32_t, ItemInfo> _items;
};

// Raw 4 value bytes (as a little-endian u32) of `value` for a data type code of the value
// records: 1 and 9 signed 8-bit, 2 and 3 signed 16-bit, 4 and 5 signed 32-bit, 6 unsigned 32-bit,
// 7 and 8 float; other codes carry no value (0).
uint32_t rawForDataType(uint8_t code, double value);
// The same for a storage value type of triggered data: 1 and 5 signed 8-bit, 2 and 6 signed
// 16-bit, 3, 7 and 14 signed 32-bit, 4 and 13 unsigned 32-bit, 8 and 9 float; others 0.
uint32_t rawForValueT(unsigned valueT, double value);
// The value that `raw` carries for a data type code, the inverse of rawForDataType().
double valueForDataType(uint8_t code, uint32_t raw);

} // namespace vexsim

#endif // ITEMTABLE_H
