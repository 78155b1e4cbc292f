// SPDX-License-Identifier: MIT
#include "vexvariant.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

using Orrery::CvexVariant;

TEST(CvexVariant, HoldsItsBytesAndComparesByKindAndValue)
{
    const auto held = [](const CvexVariant& value, int size) {
        return vextest::hex(static_cast<const char*>(value.constData()), size);
    };
    EXPECT_EQ(held(CvexVariant(0x01020304), 4), "04 03 02 01");
    EXPECT_EQ(held(CvexVariant(0xA1B2C3D4u), 4), "D4 C3 B2 A1");
    EXPECT_EQ(held(CvexVariant(1.0), 8), "00 00 00 00 00 00 F0 3F");
    EXPECT_EQ(held(CvexVariant(), 8), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(CvexVariant(7), CvexVariant(7));
    EXPECT_NE(CvexVariant(7), CvexVariant(7u));
    EXPECT_NE(CvexVariant(7), CvexVariant(7.0));
    EXPECT_EQ(CvexVariant(), CvexVariant());
}

// toDouble fails only for the null value; the int conversions also fail out of range.
struct VariantRow {
    CvexVariant value;
    bool intOk;
    int intValue;
    bool uintOk;
    unsigned int uintValue;
    double doubleValue;
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
    const bool doubleOk = row.value.type() != CvexVariant::Null;
    ok = !doubleOk;
    EXPECT_EQ(row.value.toDouble(&ok), row.doubleValue);
    EXPECT_EQ(ok, doubleOk);
}

const VariantRow variantRows[] = {
    {CvexVariant(), false, 0, false, 0u, 0.0},
    {CvexVariant(-1), true, -1, false, 0u, -1.0},
    {CvexVariant(5), true, 5, true, 5u, 5.0},
    {CvexVariant(2147483647u), true, 2147483647, true, 2147483647u, 2147483647.0},
    {CvexVariant(2147483648u), false, 0, true, 2147483648u, 2147483648.0},
    {CvexVariant(4294967295u), false, 0, true, 4294967295u, 4294967295.0},
    {CvexVariant(3.9), true, 3, true, 3u, 3.9},
    {CvexVariant(-3.9), true, -3, false, 0u, -3.9},
    {CvexVariant(-0.5), true, 0, true, 0u, -0.5},
    {CvexVariant(4294967295.5), false, 0, true, 4294967295u, 4294967295.5},
    {CvexVariant(4294967296.0), false, 0, false, 0u, 4294967296.0},
    {CvexVariant(-2147483648.9), true, -2147483647 - 1, false, 0u, -2147483648.9}};
INSTANTIATE_TEST_SUITE_P(Rows, CvexVariantConversion, testing::ValuesIn(variantRows));
