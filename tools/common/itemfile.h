// SPDX-License-Identifier: MIT
// The items file both tools read: a JSON array of {"ID", "Name", "DataType", "ValueT", "Value"}
// objects describing the host's data items. One reader, one set of rules and one wording of every
// error ("FILE:LINE: item N (ID x): why"), so that plcsim and plchost accept the same files.
// A plain value; use from one thread.
#ifndef VEXTOOLS_ITEMFILE_H
#define VEXTOOLS_ITEMFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace vextools {

struct ItemEntry {
    std::uint32_t id = 0;
    std::string name;
    unsigned int dataType = 0; // code in value records: 1 to 9
    unsigned int valueT = 0;   // storage value type of triggered data; 0 when not given
    double value = 0;          // fits dataType when hasValue
    bool hasValue = false;
    int line = 0; // where the entry ends in the file
};

class ItemFile {
public:
    // False when the file cannot be used; errors() then names every fault.
    bool load(const std::string& path);
    bool parse(const std::string& text, const std::string& origin);

    const std::vector<ItemEntry>& items() const { return _items; }
    const std::vector<std::string>& errors() const { return _errors; }

    static bool isDataType(unsigned int code);
    static bool isValueT(unsigned int valueT);
    // "signed 16-bit" and the like for a data type code; "unknown" for anything else.
    static std::string dataTypeName(unsigned int code);
    // Whether `value` can travel in a value record of `code` without being cut or rounded away.
    static bool fits(unsigned int code, double value);

private:
    bool read(class JsonFile& file, const std::string& origin);

    std::vector<ItemEntry> _items;
    std::vector<std::string> _errors;
};

} // namespace vextools

#endif // VEXTOOLS_ITEMFILE_H
