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

TEST_F(CvexAbstractPartProtocolTest, ValuesLandAtTheirPositionInMemoryOrder)
{
    EXPECT_EQ(part.fixedSize(), 6);
    EXPECT_EQ(bytes(), "00 00 00 00 00 00");
    const std::uint16_t type = 0x03E9;
    const std::uint32_t number = 0x11223344;
    EXPECT_TRUE(part.setPartValue(0, &type, 2));
    EXPECT_TRUE(part.setPartValue(2, &number, 4));
    EXPECT_EQ(bytes(), "E9 03 44 33 22 11");
    // Resizing keeps the written bytes and moves the end that writes must stay within.
    part.setFixedSize(8);
    EXPECT_EQ(bytes(), "E9 03 44 33 22 11 00 00");
    part.setFixedSize(2);
    EXPECT_EQ(bytes(), "E9 03");
    EXPECT_FALSE(part.setPartValue(1, "\x01\x02", 2));
}

struct RefusedWrite {
    int pos;
    int size;
    bool null;
};

class CvexAbstractPartProtocolRefusal : public CvexAbstractPartProtocolTest,
                                        public testing::WithParamInterface<RefusedWrite> {};

TEST_P(CvexAbstractPartProtocolRefusal, WriteOutsideThePartChangesNothing)
{
    const char marker[8] = {'\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f', '\x7f'};
    ASSERT_TRUE(part.setPartValue(0, "\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_FALSE(
        part.setPartValue(GetParam().pos, GetParam().null ? nullptr : marker, GetParam().size));
    EXPECT_EQ(bytes(), "01 02 03 04 05 06");
    // Copying nothing needs no source, even at the end.
    EXPECT_TRUE(part.setPartValue(6, nullptr, 0));
}

const RefusedWrite refusedWrites[] = {{5, 2, false}, {6, 1, false},  {-1, 2, false},
                                      {0, 7, false}, {2, -1, false}, {2147483647, 1, false},
                                      {0, 1, true}};
INSTANTIATE_TEST_SUITE_P(Rows, CvexAbstractPartProtocolRefusal, testing::ValuesIn(refusedWrites));
