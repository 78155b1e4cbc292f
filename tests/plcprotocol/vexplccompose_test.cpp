// SPDX-License-Identifier: MIT
// Byte-exact requests of every packet type.
#include "plcprotocoltest.h"
#include "vexparseplccommon.h"
#include "vexplcactionprotocol.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplccantransmitprotocol.h"
#include "vexplccurveprotocol.h"
#include "vexplclinestatusprotocol.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplcmoldsetstatusprotocol.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"
#include "vexplctriggerprotocol.h"
#include "vexplcwriteparamprotocol.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace Orrery;
using plctest::fromJson;
using plctest::hexOf;
using plctest::wire;

namespace {

using ComposeTest = plctest::PlcProtocolTest;

std::string idListJson(unsigned int first, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += (i ? "," : "") + std::to_string(first + static_cast<unsigned int>(i));
    return "[" + list + "]";
}

CvexByteArray idBytes(int count)
{
    CvexByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(wire("01 00 00 00"));
    return bytes;
}

TEST_F(ComposeTest, ActualRequestCarriesCycleTimeAndIDs)
{
    CvexParseActual actual =
        fromJson<CvexParseActual>(R"({"ID": 1, "CycleTime": 100, "DataIDList": [1, 2, 300]})");
    CvexPlcActualProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &actual), 26);
    EXPECT_EQ(hexOf(out), "99 88 1A 00 01 00 00 00 64 00 03 00 01 00 00 00 02 00 00 00 "
                          "2C 01 00 00 88 66");
}

TEST_F(ComposeTest, ActualRequestStopsAtFiftyIDs)
{
    CvexPlcActualProtocol protocol;
    for (int listed : {50, 60}) {
        const std::string json = R"({"ID": 1, "DataIDList": )" + idListJson(1000, listed) + "}";
        CvexParseActual actual = fromJson<CvexParseActual>(json.c_str());
        CvexByteArray out;
        EXPECT_EQ(protocol.composeProtocol(out, {}, &actual), 214) << listed;
        EXPECT_EQ(hexOf(out.mid(2, 2)), "D6 00");
        EXPECT_EQ(hexOf(out.mid(10, 2)), "32 00");
        EXPECT_EQ(hexOf(out.mid(12 + 49 * 4, 4)), "19 04 00 00"); // ID 1049
    }
}

TEST_F(ComposeTest, ReadRequestAroundTheDatagramLimit)
{
    CvexPlcReadParamProtocol protocol;
    for (int ids : {361, 362}) {
        CvexByteArray out;
        EXPECT_EQ(protocol.composeProtocol(out, idBytes(ids), nullptr), 14 + 4 * ids);
        const auto count = static_cast<std::uint16_t>(ids);
        EXPECT_EQ(out.at(10) & 0xFF, count & 0xFF);
        EXPECT_EQ(out.at(11) & 0xFF, count >> 8);
    }
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, wire("2A 00 00 00 2B 00"), nullptr), 18);
    EXPECT_EQ(hexOf(out.mid(10)), "01 00 2A 00 00 00 88 66");
}

TEST_F(ComposeTest, WriteRequestOfOneFloatRecord)
{
    CvexPlcWriteParamProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, wire("07 00 00 00 08 01 00 00 20 40 FF"), nullptr), 24);
    EXPECT_EQ(hexOf(out), "99 88 18 00 03 00 00 00 00 00 01 00 07 00 00 00 08 01 00 00 20 40 "
                          "88 66");
}

TEST_F(ComposeTest, AlarmAnswerRepeatsItsNumberInTheArgumentWord)
{
    CvexPlcAlarmProtocol protocol;
    CvexAbstractPlcProtocol::packNumberFetchAndAdd();
    CvexByteArray first;
    CvexByteArray second;
    EXPECT_EQ(protocol.composeProtocol(first, wire("03 00 E8 03 00 00"), nullptr), 20);
    EXPECT_EQ(hexOf(first), "99 88 14 00 D4 07 01 00 01 00 01 00 03 00 E8 03 00 00 88 66");
    protocol.composeProtocol(second, wire("03 00 E8 03 00 00"), nullptr);
    EXPECT_EQ(hexOf(second.mid(6, 4)), "02 00 02 00");
}

struct CurveRequest {
    std::uint16_t first;
    std::uint16_t count;
    std::uint32_t items[8];
};

TEST_F(ComposeTest, CurveRequestsTakeAtMostFourItems)
{
    CvexPlcCurveProtocol protocol;
    CurveRequest two{3, 2, {10, 20}};
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &two), 22);
    EXPECT_EQ(hexOf(out), "99 88 16 00 05 00 00 00 03 00 02 00 0A 00 00 00 14 00 00 00 88 66");

    CurveRequest seven{1, 7, {1, 2, 3, 4, 5, 6, 7}};
    EXPECT_EQ(protocol.composeProtocol(out, {}, &seven), 30);
    EXPECT_EQ(hexOf(out.mid(10, 2)), "04 00");
    EXPECT_EQ(hexOf(out.mid(24, 6)), "04 00 00 00 88 66");

    CurveRequest none{9, 0, {}};
    EXPECT_EQ(protocol.composeProtocol(out, {}, &none), 14);
    EXPECT_EQ(hexOf(out), "99 88 0E 00 05 00 02 00 09 00 00 00 88 66");
}

TEST_F(ComposeTest, ActionRequestIsReported)
{
    CvexPlcActionProtocol protocol;
    CvexByteArray out;
    const vextest::StdoutCapture capture;
    EXPECT_EQ(protocol.composeProtocol(out, wire("05 00 00 00"), nullptr), 18);
    EXPECT_EQ(hexOf(out), "99 88 12 00 06 00 00 00 00 00 01 00 05 00 00 00 88 66");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"PLC Action: 18"});
}

TEST_F(ComposeTest, LineStatusRequestCarriesVersionCycleAndPrivateWord)
{
    CvexParseLineStatus record = fromJson<CvexParseLineStatus>(R"({"ID": 7, "CycleTime": 3000})");
    record.setVersion(0x10002);
    record.setPriv(5);
    CvexPlcLineStatusProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &record), 20);
    EXPECT_EQ(hexOf(out), "99 88 14 00 07 00 00 00 02 00 01 00 B8 0B 00 00 05 00 88 66");
}

TEST_F(ComposeTest, MoldSetStatusRequestCarriesTheCount)
{
    CvexPlcMoldSetStatusProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, CvexByteArray::number(120u, 10), nullptr), 18);
    EXPECT_EQ(hexOf(out), "99 88 12 00 08 00 00 00 00 00 01 00 78 00 00 00 88 66");
}

class MoldSetComposeTest : public ComposeTest {
protected:
    void SetUp() override
    {
        ComposeTest::SetUp();
        for (unsigned int id = 1; id <= 120; ++id)
            plctest::storage()->addItem(id, "m" + std::to_string(id), 5, CvexVariant(int(id)));
        block = fromJson<CvexParseMoldBlock>(
            ("{\"Type\": 1, \"DataIDList\": " + idListJson(1, 120) + "}").c_str());
        block.setPackSize(50);
    }

    CvexParseMoldBlock block;
    CvexPlcMoldSetProtocol protocol;
    CvexByteArray out;
};

TEST_F(MoldSetComposeTest, PacksOfFiftyAndTheShortLastPack)
{
    block.setStartPos(50);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &block), 514);
    EXPECT_EQ(hexOf(out.left(22)), "99 88 02 02 09 00 00 00 00 00 32 00 33 00 00 00 05 01 33 00 "
                                   "00 00");
    block.setStartPos(100);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &block), 214);
    EXPECT_EQ(block.queryPackSize(), 20u);
    block.setStartPos(120);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &block), -1);
    block.setStartPos(0);
    block.setPackSize(0);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &block), -1);
}

TEST_F(MoldSetComposeTest, FloatsTravelAsSinglePrecisionAndNullValuesAreLeftOut)
{
    plctest::storage()->addItem(2, "float", 8, CvexVariant(2.5));
    plctest::storage()->addItem(3, "empty", 5);
    block.setPackSize(3);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &block), 34);
    EXPECT_EQ(hexOf(out), "99 88 22 00 09 00 00 00 00 00 02 00 01 00 00 00 05 01 01 00 00 00 "
                          "02 00 00 00 08 01 00 00 20 40 88 66");
    EXPECT_EQ(block.queryPackSize(), 3u);
}

CvexParseTriggerFeature oneConditionFeature()
{
    return fromJson<CvexParseTriggerFeature>(
        R"([{"Condition": [{"Type": 5, "Params": [10, 20]}]}])");
}

TEST_F(ComposeTest, TriggerDefinitionWithEmptyFeatures)
{
    CvexParseTrigger trigger = fromJson<CvexParseTrigger>(
        R"({"ID": 17, "GroupID": 3, "OutTime": 1000, "SendCount": 1, "DataIDFlag": 1,
            "DataIDList": [7, 65536], "StartTrigger": [], "SendTrigger": [], "StopTrigger": []})");
    CvexPlcTriggerProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 36);
    EXPECT_EQ(hexOf(out), "99 88 24 00 11 00 00 00 03 00 E8 03 00 00 01 00 00 00 00 00 00 00 "
                          "01 00 02 00 07 00 00 00 00 00 01 00 88 66");
}

TEST_F(ComposeTest, TriggerFeatureEncoding)
{
    CvexPlcTriggerProtocol protocol;
    CvexParseTriggerFeature feature = oneConditionFeature();
    std::vector<char> buffer(20, '\x55');
    EXPECT_EQ(protocol.composeTriggerFeature(buffer.data(), &feature), 16);
    EXPECT_EQ(vextest::hex(buffer.data(), 20),
              "01 00 01 00 05 00 02 00 0A 00 00 00 14 00 00 00 55 55 55 55");
    EXPECT_EQ(protocol.composeTriggerFeature(buffer.data(), &feature, 15), 0);

    CvexParseTrigger trigger;
    trigger.setValid(true);
    trigger.setSendTrigger(feature);
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 42);
    EXPECT_EQ(hexOf(out.mid(16, 22)),
              "00 00 01 00 01 00 05 00 02 00 0A 00 00 00 14 00 00 00 00 00 00 00");
}

TEST_F(ComposeTest, TriggerDefinitionBeyondThePayloadAreaIsRefused)
{
    CvexPlcTriggerProtocol protocol;
    CvexParseTrigger trigger;
    trigger.setValid(true);
    CvexParseArray ids;
    // 8 settings + 3 x 2 features + 4 + 4 x 360 = 1458 bytes fits; one ID more does not.
    ids.setArray(std::vector<unsigned int>(360, 1));
    trigger.setDataIDSet(ids);
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 1468);

    ids.setArray(std::vector<unsigned int>(361, 1));
    trigger.setDataIDSet(ids);
    out = CvexByteArray("untouched");
    const vextest::StdoutCapture capture;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 0);
    EXPECT_EQ(out, CvexByteArray("untouched"));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{
                  "CvexPlcTriggerProtocol::composeProtocol: trigger definition too large "
                  "(1462 bytes)"});
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 1);
}

TEST_F(ComposeTest, ConfirmationCarriesTheLowSixteenBitsOfTheGroup)
{
    CvexPlcTriggerConfirmProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, "5", nullptr), 12);
    EXPECT_EQ(hexOf(out), "99 88 0C 00 E2 07 00 00 05 00 88 66");
    EXPECT_EQ(protocol.composeProtocol(out, CvexByteArray::number(4294967295u, 10), nullptr), 12);
    EXPECT_EQ(hexOf(out), "99 88 0C 00 E2 07 01 00 FF FF 88 66");
}

TEST_F(ComposeTest, CanTransmitVariantsCarryTheirCodes)
{
    const CvexPlcCANTransmitProtocol first;
    const CvexPlcCANTransmitProtocol second(1);
    EXPECT_EQ(first.sendType(), 15);
    EXPECT_EQ(first.receiveType(), 1015);
    EXPECT_EQ(second.sendType(), 16);
    EXPECT_EQ(second.receiveType(), 1016);
}

} // namespace
