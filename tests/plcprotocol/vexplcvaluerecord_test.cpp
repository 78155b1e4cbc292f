// SPDX-License-Identifier: MIT
// The value record the host sends: one row per data type code and kind of value.
#include "vexplcvaluerecord.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

namespace {

using Orrery::CvexByteArray;
using Orrery::CvexPlcValueRecord;
using Orrery::CvexVariant;

TEST(CvexPlcValueRecord, FloatCodesTravelAsSinglePrecisionAndTheOthersAsLittleEndianIntegers)
{
    const struct {
        unsigned char code;
        CvexVariant value;
        const char* bytes; // after the ID 0x01020304
    } rows[] = {
        {7, CvexVariant(12.5), "07 01 00 00 48 41"},
        {8, CvexVariant(2.5), "08 01 00 00 20 40"},
        {8, CvexVariant(3), "08 01 00 00 40 40"},
        {1, CvexVariant(-2), "01 01 FE FF FF FF"},
        {3, CvexVariant(1000), "03 01 E8 03 00 00"},
        {5, CvexVariant(-1000000), "05 01 C0 BD F0 FF"},
        {6, CvexVariant(4000000000u), "06 01 00 28 6B EE"},
        {4, CvexVariant(7.9), "04 01 07 00 00 00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        CvexByteArray out("x", 1); // appends after what is there
        CvexPlcValueRecord::append(out, 0x01020304u, row.code, row.value);
        ASSERT_EQ(out.size(), 1 + CvexPlcValueRecord::Size);
        EXPECT_EQ(vextest::hex(out.constData() + 1, CvexPlcValueRecord::Size),
                  std::string("04 03 02 01 ") + row.bytes);
    }
}

} // namespace
