// SPDX-License-Identifier: MIT
#include "vexabstractpartprotocol.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <cstdint>

using Orrery::CvexAbstractPartProtocol;

class CvexAbstractPartProtocolTest : public testing::Test {
protected:
    void SetUp() override { part.setFixedSize(6); }
    std::string bytes() const { return vextest::hex(part.buffer().toStdString()); }

    CvexAbstractPartProtocol part{1};
};

TEST_F(CvexAbstractPartProtocolTest, UnwrittenBytesReadAsZero)
{
    EXPECT_EQ(part.fixedSize(), 6);
    EXPECT_EQ(bytes(), "00 00 00 00 00 00");
}

TEST_F(CvexAbstractPartProtocolTest, ValuesLandAtTheirPositionInMemoryOrder)
{
    const std::uint16_t type = 0x03E9;
    const std::uint32_t number = 0x11223344;
    EXPECT_TRUE(part.setPartValue(0, &type, 2));
    EXPECT_TRUE(part.setPartValue(2, &number, 4));
    EXPECT_EQ(bytes(), "E9 03 44 33 22 11");
}

struct RefusedWrite {
    int pos;
    int size;
};

class CvexAbstractPartProtocolRefusal : public CvexAbstractPartProtocolTest,
                                        public testing::WithParamInterface<RefusedWrite> {};

TEST_P(CvexAbstractPartProtocolRefusal, WriteOutsideThePartChangesNothing)
{
    const char marker[8] = {'\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f'};
    ASSERT_TRUE(part.setPartValue(0, "\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_FALSE(part.setPartValue(GetParam().pos, marker, GetParam().size));
    EXPECT_EQ(bytes(), "01 02 03 04 05 06");
}

INSTANTIATE_TEST_SUITE_P(Rows, CvexAbstractPartProtocolRefusal,
                         testing::Values(RefusedWrite{5, 2}, RefusedWrite{6, 1},
                                         RefusedWrite{-1, 2}, RefusedWrite{0, 7},
                                         RefusedWrite{2, -1}, RefusedWrite{2147483647, 1}));

TEST_F(CvexAbstractPartProtocolTest, NullSourceIsRefusedUnlessNothingIsCopied)
{
    EXPECT_FALSE(part.setPartValue(0, nullptr, 1));
    EXPECT_TRUE(part.setPartValue(6, nullptr, 0));
}

TEST_F(CvexAbstractPartProtocolTest, ResizingKeepsTheWrittenBytes)
{
    ASSERT_TRUE(part.setPartValue(0, "\xAA\xBB\xCC", 3));
    part.setFixedSize(8);
    EXPECT_EQ(bytes(), "AA BB CC 00 00 00 00 00");
    part.setFixedSize(2);
    EXPECT_EQ(bytes(), "AA BB");
    EXPECT_FALSE(part.setPartValue(1, "\x01\x02", 2));
}
