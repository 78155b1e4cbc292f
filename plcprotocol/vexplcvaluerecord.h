// SPDX-License-Identifier: MIT
#ifndef VEXPLCVALUERECORD_H
#define VEXPLCVALUERECORD_H

#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexvariant.h"

namespace Orrery {

// The 10-byte value record the host sends to the PLC (parameter writes, mold set packs): u32 ID,
// u8 data type code, u8 state 1, 4-byte value. Stateless; any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcValueRecord {
public:
    static constexpr int Size = 10;

    // Codes 7 and 8 travel as the bits of a 32-bit float; every other code as the variant's
    // integer, little-endian, two's complement for a signed value.
    static void append(CvexByteArray& out, unsigned int id, unsigned char dataType,
                       const CvexVariant& value);
};

} // namespace Orrery

#endif // VEXPLCVALUERECORD_H
