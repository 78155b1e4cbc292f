// SPDX-License-Identifier: MIT
#include "vexplcprotocolfactory.h"

#include "plcprotocoltest.h"
#include "vexplcprotocol.h"

#include <set>

using namespace Orrery;

namespace {

using FactoryTest = plctest::PlcProtocolTest;

const CvexAbstractPlcProtocol* plcProtocol(CvexPlcProtocolFactory& factory, int code)
{
    return dynamic_cast<const CvexAbstractPlcProtocol*>(factory.protocol(code));
}

TEST_F(FactoryTest, SendAndReceiveCodesShareOneObjectCarryingBothCodes)
{
    CvexPlcProtocolFactory factory;
    const int pairs[][2] = {{1, 1001}, {2, 1002}, {3, 1003}, {2004, 1004}, {5, 1005},   {6, 1006},
                            {7, 1007}, {8, 1008}, {9, 1009}, {17, 1017},   {2018, 1018}};
    std::set<const void*> distinct;
    for (const auto& pair : pairs) {
        const CvexAbstractPlcProtocol* sending = plcProtocol(factory, pair[0]);
        ASSERT_NE(sending, nullptr) << pair[0];
        EXPECT_EQ(plcProtocol(factory, pair[1]), sending) << pair[1];
        EXPECT_EQ(sending->sendType(), pair[0]);
        EXPECT_EQ(sending->receiveType(), pair[1]);
        distinct.insert(sending);
    }
    EXPECT_EQ(distinct.size(), 11u);
}

TEST_F(FactoryTest, CanTransmitCodesShareOneObjectOfVariantZero)
{
    CvexPlcProtocolFactory factory;
    const CvexAbstractPlcProtocol* can = plcProtocol(factory, 16);
    ASSERT_NE(can, nullptr);
    for (int code : {15, 1015, 1016})
        EXPECT_EQ(plcProtocol(factory, code), can) << code;
    EXPECT_EQ(can->sendType(), 15);
    EXPECT_EQ(can->receiveType(), 1015);
}

TEST_F(FactoryTest, UnusedCodesGiveNull)
{
    CvexPlcProtocolFactory factory;
    for (int code : {4, 18, 1010, 1014, 0, -1, 1019, 2005, 65535})
        EXPECT_EQ(factory.protocol(code), nullptr) << code;
}

TEST_F(FactoryTest, FactoriesOwnSeparateObjectsAndCreationTakesNoPacketNumber)
{
    CvexPlcProtocolFactory first;
    CvexPlcProtocolFactory second;
    EXPECT_NE(first.protocol(7), second.protocol(7));
    EXPECT_EQ(first.protocol(7), first.protocol(1007));
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0);
}

} // namespace
