// SPDX-License-Identifier: MIT
// The two value numberings a host meets: the data type codes that travel in value records
// (actual values, mold set packs, parameters) and the storage value types ("ValueT") by which
// triggered data is read. Pure functions, callable from any thread.
#ifndef PLCHOST_DATATYPES_H
#define PLCHOST_DATATYPES_H

#include "vexvariant.h"

#include <string>

namespace plchost {

class DataTypes {
public:
    DataTypes() = delete;

    static bool isCode(unsigned int code);
    // "signed 16-bit" and the like; "unknown" for anything else.
    static std::string codeName(unsigned int code);
    // `value` in the kind the code holds (Int, UInt or Double); null when it does not fit.
    static Orrery::CvexVariant fitToCode(unsigned int code, const Orrery::CvexVariant& value);

    static bool isValueType(unsigned int valueType);
    static std::string valueTypeName(unsigned int valueType);

    // A number as written on a command line or in a dictionary: "-3", "4000000000", "2.5".
    // Null when the text is not a number.
    static Orrery::CvexVariant parseNumber(const std::string& text);
    // Shortest readable form of a stored value; "-" for a null one.
    static std::string format(const Orrery::CvexVariant& value);
};

} // namespace plchost

#endif // PLCHOST_DATATYPES_H
