// SPDX-License-Identifier: MIT
#include "datatypes.h"

#include "itemfile.h"
#include "vexdbstoragefactory.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

using Orrery::CvexVariant;

namespace plchost {

bool DataTypes::isCode(unsigned int code)
{
    return vextools::ItemFile::isDataType(code);
}

std::string DataTypes::codeName(unsigned int code)
{
    return vextools::ItemFile::dataTypeName(code);
}

CvexVariant DataTypes::fitToCode(unsigned int code, const CvexVariant& value)
{
    if (!isCode(code))
        return CvexVariant();
    // The storage would cut 2.5 down to 2 for a whole-number code; typed by a person, it is a
    // mistake to report rather than a value to send.
    const bool floatCode = code == 7 || code == 8;
    const double number = value.toDouble();
    if (!floatCode && value.type() == CvexVariant::Double && std::trunc(number) != number)
        return CvexVariant();
    return Orrery::CvexDBStorageFactory::instance()->get(2)->convertValue(
        static_cast<unsigned char>(code), value);
}

bool DataTypes::isValueType(unsigned int valueType)
{
    return vextools::ItemFile::isValueT(valueType);
}

std::string DataTypes::valueTypeName(unsigned int valueType)
{
    switch (valueType) {
    case 1:
    case 5:
        return "signed 8-bit";
    case 2:
    case 6:
        return "signed 16-bit";
    case 3:
    case 7:
    case 14:
        return "signed 32-bit";
    case 4:
    case 13:
        return "unsigned 32-bit";
    case 8:
    case 9:
        return "32-bit float";
    default:
        return "unknown";
    }
}

CvexVariant DataTypes::parseNumber(const std::string& text)
{
    if (text.empty())
        return CvexVariant();
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long whole = std::strtoll(begin, &end, 10);
    if (errno == 0 && end && *end == '\0') {
        if (whole >= std::numeric_limits<int>::min() && whole <= std::numeric_limits<int>::max())
            return CvexVariant(static_cast<int>(whole));
        if (whole > 0 && whole <= std::numeric_limits<unsigned int>::max())
            return CvexVariant(static_cast<unsigned int>(whole));
        return CvexVariant(static_cast<double>(whole));
    }
    errno = 0;
    const double real = std::strtod(begin, &end);
    if (errno != 0 || !end || *end != '\0' || !std::isfinite(real))
        return CvexVariant();
    return CvexVariant(real);
}

std::string DataTypes::format(const CvexVariant& value)
{
    std::ostringstream out;
    switch (value.type()) {
    case CvexVariant::Null:
        return "-";
    case CvexVariant::Int:
        out << value.toInt();
        break;
    case CvexVariant::UInt:
        out << value.toUInt();
        break;
    case CvexVariant::Double:
        out.precision(6);
        out << value.toDouble();
        break;
    }
    return out.str();
}

} // namespace plchost
