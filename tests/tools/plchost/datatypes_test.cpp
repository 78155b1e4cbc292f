// SPDX-License-Identifier: MIT
#include "datatypes.h"

#include <gtest/gtest.h>

namespace {

using Orrery::CvexVariant;
using plchost::DataTypes;

struct Fit {
    unsigned int code;
    CvexVariant in;
    CvexVariant out; // null: does not fit
};

class FitToCode : public testing::TestWithParam<Fit> {};

TEST_P(FitToCode, KeepsTheCodesRangeAndKind)
{
    EXPECT_EQ(DataTypes::fitToCode(GetParam().code, GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    DataTypes, FitToCode,
    testing::Values(Fit{1, CvexVariant(127), CvexVariant(127)}, Fit{1, CvexVariant(128), {}},
                    Fit{9, CvexVariant(-128), CvexVariant(-128)}, Fit{2, CvexVariant(-32769), {}},
                    Fit{3, CvexVariant(4.0), CvexVariant(4)}, Fit{3, CvexVariant(4.5), {}},
                    Fit{5, CvexVariant(3000000000u), {}},
                    Fit{6, CvexVariant(4294967295u), CvexVariant(4294967295u)},
                    Fit{6, CvexVariant(-1), {}}, Fit{7, CvexVariant(2), CvexVariant(2.0)},
                    Fit{8, CvexVariant(1e39), {}}, Fit{0, CvexVariant(1), {}},
                    Fit{10, CvexVariant(1), {}}));

TEST(DataTypes, ParsesCommandLineNumbers)
{
    EXPECT_EQ(DataTypes::parseNumber("-3"), CvexVariant(-3));
    EXPECT_EQ(DataTypes::parseNumber("4000000000"), CvexVariant(4000000000u));
    EXPECT_EQ(DataTypes::parseNumber("2.5"), CvexVariant(2.5));
    EXPECT_TRUE(DataTypes::parseNumber("").isNull());
    EXPECT_TRUE(DataTypes::parseNumber("12abc").isNull());
    EXPECT_TRUE(DataTypes::parseNumber("nan").isNull());
}

TEST(DataTypes, StorageValueTypesDifferFromDataTypeCodes)
{
    EXPECT_EQ(DataTypes::valueTypeName(4), "unsigned 32-bit");
    EXPECT_EQ(DataTypes::codeName(4), "signed 32-bit");
    EXPECT_TRUE(DataTypes::isValueType(14));
    EXPECT_FALSE(DataTypes::isValueType(10));
    EXPECT_FALSE(DataTypes::isCode(13));
}

} // namespace
