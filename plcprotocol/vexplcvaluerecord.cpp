// SPDX-License-Identifier: MIT
#include "vexplcvaluerecord.h"

#include "vexplcbytes_p.h"

#include <cstdint>

namespace Orrery {

namespace {
constexpr unsigned char ValidState = 1;

bool isFloatCode(unsigned char dataType)
{
    return dataType == 7 || dataType == 8;
}

std::uint32_t valueBits(unsigned char dataType, const CvexVariant& value)
{
    if (isFloatCode(dataType))
        return PlcBytes::floatBits(static_cast<float>(value.toDouble()));
    if (value.type() == CvexVariant::UInt)
        return value.toUInt();
    return static_cast<std::uint32_t>(value.toInt());
}
} // namespace

void CvexPlcValueRecord::append(CvexByteArray& out, unsigned int id, unsigned char dataType,
                                const CvexVariant& value)
{
    PlcBytes::putU32(out, id);
    out.append(static_cast<char>(dataType));
    out.append(static_cast<char>(ValidState));
    PlcBytes::putU32(out, valueBits(dataType, value));
}

} // namespace Orrery
