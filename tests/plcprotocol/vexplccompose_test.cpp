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
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace Orrery;
using plctest::fromJson;
using plctest::hexOf;
using plctest::wire;

namespace {

using ComposeTest = plctest::PlcProtocolTest;

struct CurveRequest {
    std::uint16_t first;
    std::uint16_t count;
    std::uint32_t items[8];
};

template <typename Protocol> CvexByteArray composed(const CvexByteArray& in, void* arg = nullptr)
{
    Protocol protocol;
    CvexByteArray out;
    protocol.composeProtocol(out, in, arg);
    return out;
}

std::string idList(unsigned int first, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += (i ? "," : "") + std::to_string(first + static_cast<unsigned int>(i));
    return "[" + list + "]";
}

struct Request {
    const char* name;
    std::function<CvexByteArray()> compose;
    const char* packet;
    const char* diagnostic;
};

void PrintTo(const Request& row, std::ostream* out)
{
    *out << row.name;
}

class RequestTest : public ComposeTest, public ::testing::WithParamInterface<Request> {};

TEST_P(RequestTest, ComposesExactBytes)
{
    const vextest::StdoutCapture capture;
    EXPECT_EQ(hexOf(GetParam().compose()), GetParam().packet);
    const std::string line = GetParam().diagnostic;
    EXPECT_EQ(capture.text(), line.empty() ? "" : line + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, RequestTest,
    ::testing::Values(
        Request{"Actual",
                [] {
                    auto actual = fromJson<CvexParseActual>(
                        R"({"ID": 1, "CycleTime": 100, "DataIDList": [1, 2, 300]})");
                    return composed<CvexPlcActualProtocol>({}, &actual);
                },
                "99 88 1A 00 01 00 00 00 64 00 03 00 01 00 00 00 02 00 00 00 2C 01 00 00 88 66",
                ""},
        Request{"ReadIgnoresTrailingBytes",
                [] { return composed<CvexPlcReadParamProtocol>(wire("2A 00 00 00 2B 00")); },
                "99 88 12 00 02 00 00 00 00 00 01 00 2A 00 00 00 88 66", ""},
        Request{"WriteFloatRecord",
                [] {
                    return composed<CvexPlcWriteParamProtocol>(
                        wire("07 00 00 00 08 01 00 00 20 40 FF"));
                },
                "99 88 18 00 03 00 00 00 00 00 01 00 07 00 00 00 08 01 00 00 20 40 88 66", ""},
        Request{"AlarmRepeatsItsNumber",
                [] {
                    CvexAbstractPlcProtocol::packNumberFetchAndAdd();
                    return composed<CvexPlcAlarmProtocol>(wire("03 00 E8 03 00 00"));
                },
                "99 88 14 00 D4 07 01 00 01 00 01 00 03 00 E8 03 00 00 88 66", ""},
        Request{"CurveTwoItems",
                [] {
                    CurveRequest request{3, 2, {10, 20}};
                    return composed<CvexPlcCurveProtocol>({}, &request);
                },
                "99 88 16 00 05 00 00 00 03 00 02 00 0A 00 00 00 14 00 00 00 88 66", ""},
        Request{"CurveAtMostFourItems",
                [] {
                    CurveRequest request{1, 7, {1, 2, 3, 4, 5, 6, 7}};
                    return composed<CvexPlcCurveProtocol>({}, &request);
                },
                "99 88 1E 00 05 00 00 00 01 00 04 00 01 00 00 00 02 00 00 00 03 00 00 00 "
                "04 00 00 00 88 66",
                ""},
        Request{"CurveNoItems",
                [] {
                    CurveRequest request{9, 0, {}};
                    return composed<CvexPlcCurveProtocol>({}, &request);
                },
                "99 88 0E 00 05 00 00 00 09 00 00 00 88 66", ""},
        Request{"Action", [] { return composed<CvexPlcActionProtocol>(wire("05 00 00 00")); },
                "99 88 12 00 06 00 00 00 00 00 01 00 05 00 00 00 88 66", "PLC Action: 18"},
        Request{"LineStatus",
                [] {
                    auto record = fromJson<CvexParseLineStatus>(R"({"ID": 7, "CycleTime": 3000})");
                    record.setVersion(0x10002);
                    record.setPriv(5);
                    return composed<CvexPlcLineStatusProtocol>({}, &record);
                },
                "99 88 14 00 07 00 00 00 02 00 01 00 B8 0B 00 00 05 00 88 66", ""},
        Request{
            "MoldSetStatus",
            [] { return composed<CvexPlcMoldSetStatusProtocol>(CvexByteArray::number(120u, 10)); },
            "99 88 12 00 08 00 00 00 00 00 01 00 78 00 00 00 88 66", ""},
        Request{"MoldSetFloatAndNullValues",
                [] {
                    plctest::storage()->addItem(1, "int", 5, CvexVariant(1));
                    plctest::storage()->addItem(2, "float", 8, CvexVariant(2.5));
                    plctest::storage()->addItem(3, "empty", 5);
                    auto block = fromJson<CvexParseMoldBlock>(R"({"DataIDList": [1, 2, 3, 4]})");
                    block.setPackSize(3);
                    return composed<CvexPlcMoldSetProtocol>({}, &block);
                },
                "99 88 22 00 09 00 00 00 00 00 02 00 01 00 00 00 05 01 01 00 00 00 "
                "02 00 00 00 08 01 00 00 20 40 88 66",
                ""},
        Request{"TriggerWithEmptyFeatures",
                [] {
                    auto trigger = fromJson<CvexParseTrigger>(
                        R"({"ID": 17, "GroupID": 65539, "OutTime": 1000, "SendCount": 1,
                            "DataIDFlag": 1, "DataIDList": [7, 65536], "StartTrigger": []})");
                    return composed<CvexPlcTriggerProtocol>({}, &trigger);
                },
                "99 88 24 00 11 00 00 00 03 00 E8 03 00 00 01 00 00 00 00 00 00 00 "
                "01 00 02 00 07 00 00 00 00 00 01 00 88 66",
                ""},
        Request{"TriggerWithOneCondition",
                [] {
                    auto trigger = fromJson<CvexParseTrigger>(
                        R"({"ID": 17, "SendTrigger":
                               [{"Condition": [{"Type": 5, "Params": [10, 20]}]}, {}]})");
                    return composed<CvexPlcTriggerProtocol>({}, &trigger);
                },
                "99 88 2C 00 11 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 01 00 05 00 "
                "02 00 0A 00 00 00 14 00 00 00 00 00 00 00 00 00 00 00 88 66",
                ""},
        Request{"Confirmation", [] { return composed<CvexPlcTriggerConfirmProtocol>("5"); },
                "99 88 0C 00 E2 07 00 00 05 00 88 66", ""},
        Request{"ConfirmationOfMalformedPacket",
                [] {
                    return composed<CvexPlcTriggerConfirmProtocol>(
                        CvexByteArray::number(4294967295u, 10));
                },
                "99 88 0C 00 E2 07 00 00 FF FF 88 66", ""}),
    [](const ::testing::TestParamInfo<Request>& info) { return std::string(info.param.name); });

TEST_F(ComposeTest, ActualRequestStopsAtFiftyIDs)
{
    for (int listed : {50, 60}) {
        const std::string json = R"({"ID": 1, "DataIDList": )" + idList(1000, listed) + "}";
        auto actual = fromJson<CvexParseActual>(json.c_str());
        const CvexByteArray out = composed<CvexPlcActualProtocol>({}, &actual);
        EXPECT_EQ(hexOf(out.mid(0, 12)),
                  "99 88 D6 00 01 00 " + hexOf(out.mid(6, 2)) + " F4 01 32 00");
        EXPECT_EQ(hexOf(out.mid(12 + 49 * 4)), "19 04 00 00 88 66"); // ID 1049 last
    }
}

TEST_F(ComposeTest, ReadRequestAroundTheDatagramLimit)
{
    for (int ids : {361, 362}) {
        const CvexByteArray out = composed<CvexPlcReadParamProtocol>(CvexByteArray(4 * ids, '\1'));
        ASSERT_EQ(out.size(), 14 + 4 * ids);
        EXPECT_EQ((out.at(10) & 0xFF) | (out.at(11) << 8), ids);
    }
}

TEST_F(ComposeTest, MoldSetPagesThroughTheBlock)
{
    for (unsigned int id = 1; id <= 120; ++id)
        plctest::storage()->addItem(id, "m" + std::to_string(id), 5, CvexVariant(int(id)));
    auto block = fromJson<CvexParseMoldBlock>(("{\"DataIDList\": " + idList(1, 120) + "}").c_str());
    block.setPackSize(50);
    block.setStartPos(50);
    CvexByteArray out = composed<CvexPlcMoldSetProtocol>({}, &block);
    EXPECT_EQ(hexOf(out.left(22)),
              "99 88 02 02 09 00 00 00 00 00 32 00 33 00 00 00 05 01 33 00 00 00");
    block.setStartPos(100);
    EXPECT_EQ(composed<CvexPlcMoldSetProtocol>({}, &block).size(), 214);
    EXPECT_EQ(block.queryPackSize(), 20u);
    for (unsigned int start : {120u, 0u}) {
        block.setStartPos(start);
        block.setPackSize(0);
        EXPECT_TRUE(composed<CvexPlcMoldSetProtocol>({}, &block).isEmpty()) << start;
    }
}

TEST_F(ComposeTest, TriggerEncodingNeverLeavesItsArea)
{
    CvexPlcTriggerProtocol protocol;
    auto feature =
        fromJson<CvexParseTriggerFeature>(R"([{"Condition": [{"Type": 5, "Params": [10, 20]}]}])");
    std::vector<char> buffer(17, '\x55');
    EXPECT_EQ(protocol.composeTriggerFeature(buffer.data(), &feature, 15), 0);
    EXPECT_EQ(buffer, std::vector<char>(17, '\x55'));
    EXPECT_EQ(protocol.composeTriggerFeature(buffer.data(), &feature), 16);
    EXPECT_EQ(vextest::hex(buffer.data(), 17),
              "01 00 01 00 05 00 02 00 0A 00 00 00 14 00 00 00 55");

    CvexParseTrigger trigger;
    trigger.setValid(true);
    CvexParseArray ids;
    ids.setArray(std::vector<unsigned int>(360, 1)); // a payload of 1458 bytes still fits
    trigger.setDataIDSet(ids);
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 1468);
    ids.setArray(std::vector<unsigned int>(361, 1));
    trigger.setDataIDSet(ids);
    out = "untouched";
    const vextest::StdoutCapture capture;
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 0);
    EXPECT_EQ(out, CvexByteArray("untouched"));
    EXPECT_EQ(capture.text(), "CvexPlcTriggerProtocol::composeProtocol: trigger definition too "
                              "large (1462 bytes)\n");
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 1);
}

TEST_F(ComposeTest, CanTransmitVariantOneCarriesCodes16And1016)
{
    const CvexPlcCANTransmitProtocol can(1);
    EXPECT_EQ(can.sendType(), 16);
    EXPECT_EQ(can.receiveType(), 1016);
}

} // namespace
