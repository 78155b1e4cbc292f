// SPDX-License-Identifier: MIT
#include "vexvariant.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

using Orrery::CvexVariant;

namespace {

std::string heldBytes(const CvexVariant& value, int size)
{
    return vextest::hex(static_cast<const char*>(value.constData()), size);
}

} // namespace

TEST(CvexVariantBytes, ConstDataPointsAtTheHeldValue)
{
    EXPECT_EQ(heldBytes(CvexVariant(0x01020304), 4), "04 03 02 01");
    EXPECT_EQ(heldBytes(CvexVariant(0xA1B2C3D4u), 4), "D4 C3 B2 A1");
    EXPECT_EQ(heldBytes(CvexVariant(1.0), 8), "00 00 00 00 00 00 F0 3F");
    EXPECT_EQ(heldBytes(CvexVariant(), 8), "00 00 00 00 00 00 00 00");
}

TEST(CvexVariant, ValuesOfDifferentKindsAreNotEqual)
{
    EXPECT_EQ(CvexVariant(7), CvexVariant(7));
    EXPECT_NE(CvexVariant(7), CvexVariant(7u));
    EXPECT_NE(CvexVariant(7), CvexVariant(7.0));
    EXPECT_EQ(CvexVariant(), CvexVariant());
}

struct VariantRow {
    CvexVariant value;
    bool intOk;
    int intValue;
    bool uintOk;
    unsigned int uintValue;
};

class CvexVariantConversion : public testing::TestWithParam<VariantRow> {};

TEST_P(CvexVariantConversion, ConvertsInRangeAndReportsFailure)
{
    const VariantRow& row = GetParam();
    bool ok = !row.intOk;
    EXPECT_EQ(row.value.toInt(&ok), row.intValue);
    EXPECT_EQ(ok, row.intOk);
    ok = !row.uintOk;
    EXPECT_EQ(row.value.toUInt(&ok), row.uintValue);
    EXPECT_EQ(ok, row.uintOk);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CvexVariantConversion,
    testing::Values(VariantRow{CvexVariant(), false, 0, false, 0u},
                    VariantRow{CvexVariant(-1), true, -1, false, 0u},
                    VariantRow{CvexVariant(5), true, 5, true, 5u},
                    VariantRow{CvexVariant(2147483647u), true, 2147483647, true, 2147483647u},
                    VariantRow{CvexVariant(2147483648u), false, 0, true, 2147483648u},
                    VariantRow{CvexVariant(3.9), true, 3, true, 3u},
                    VariantRow{CvexVariant(-3.9), true, -3, false, 0u},
                    VariantRow{CvexVariant(-0.5), true, 0, true, 0u},
                    VariantRow{CvexVariant(4294967295.5), false, 0, true, 4294967295u},
                    VariantRow{CvexVariant(4294967296.0), false, 0, false, 0u},
                    VariantRow{CvexVariant(-2147483648.9), true, -2147483647 - 1, false, 0u}));

TEST(CvexVariant, ToDoubleFailsOnlyWhenNull)
{
    bool ok = true;
    EXPECT_EQ(CvexVariant().toDouble(&ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(CvexVariant(4294967295u).toDouble(&ok), 4294967295.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(CvexVariant(-2).toDouble(&ok), -2.0);
    EXPECT_TRUE(ok);
}
