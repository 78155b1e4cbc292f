// SPDX-License-Identifier: MIT
// Replies of the PLC: results, stored values, log entries and diagnostic lines.
#include "plcprotocoltest.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplcprotocolfactory.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"

#include <ostream>
#include <string>
#include <vector>

using namespace Orrery;
using plctest::storage;
using plctest::wire;

namespace {

using ParseTest = plctest::PlcProtocolTest;
using Lines = std::vector<std::string>;

// A common-family reply whose length field covers `payload`.
CvexByteArray commonReply(int type, int count, const std::string& payload)
{
    const CvexByteArray body = wire(payload);
    const int length = 14 + body.size();
    CvexByteArray reply = wire("88 55");
    reply.append(static_cast<char>(length & 0xFF)).append(static_cast<char>(length >> 8));
    reply.append(static_cast<char>(type & 0xFF)).append(static_cast<char>(type >> 8));
    reply.append(wire("00 00 00 00")).append(static_cast<char>(count)).append('\0');
    return reply.append(body).append(wire("88 66"));
}

struct ValueRow {
    const char* record;
    CvexVariant stored;
};

class ValueRecordTest : public ParseTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(ValueRecordTest, ActualAndReadRepliesDecodeByTypeCode)
{
    CvexPlcActualProtocol actual;
    CvexPlcReadParamProtocol read;
    for (CvexAbstractProtocol* protocol :
         {static_cast<CvexAbstractProtocol*>(&actual), static_cast<CvexAbstractProtocol*>(&read)}) {
        storage()->clear();
        EXPECT_EQ(protocol->parseProtocol(commonReply(1001, 1, GetParam().record)), 1);
        EXPECT_EQ(storage()->value(9), GetParam().stored) << GetParam().record;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TypeCodes, ValueRecordTest,
    ::testing::Values(ValueRow{"09 00 00 00 01 01 FF 00 00 00", CvexVariant(-1)},
                      ValueRow{"09 00 00 00 09 01 80 FF FF FF", CvexVariant(-128)},
                      ValueRow{"09 00 00 00 02 01 FE FF 00 00", CvexVariant(-2)},
                      ValueRow{"09 00 00 00 03 01 00 80 00 00", CvexVariant(-32768)},
                      ValueRow{"09 00 00 00 04 01 FE FF FF FF", CvexVariant(-2)},
                      ValueRow{"09 00 00 00 05 01 00 00 00 80", CvexVariant(-2147483647 - 1)},
                      ValueRow{"09 00 00 00 06 01 FF FF FF FF", CvexVariant(4294967295u)},
                      ValueRow{"09 00 00 00 07 01 00 00 C0 3F", CvexVariant(1.5)},
                      ValueRow{"09 00 00 00 08 01 00 00 C0 3F", CvexVariant(1.5)},
                      ValueRow{"09 00 00 00 00 01 01 00 00 00", CvexVariant()},
                      ValueRow{"09 00 00 00 0A 01 01 00 00 00", CvexVariant()}));

struct Reply {
    const char* name;
    int code;
    const char* datagram;
    int result;
    Lines lines;
};

void PrintTo(const Reply& row, std::ostream* out)
{
    *out << row.name;
}

class ReplyTest : public ParseTest, public ::testing::WithParamInterface<Reply> {};

TEST_P(ReplyTest, GivesResultAndDiagnosticLines)
{
    CvexPlcProtocolFactory factory;
    const vextest::StdoutCapture capture;
    EXPECT_EQ(factory.protocol(GetParam().code)->parseProtocol(wire(GetParam().datagram)),
              GetParam().result);
    EXPECT_EQ(capture.lines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, ReplyTest,
    ::testing::Values(
        Reply{"ReadEmptyPayload", 1002, "88 55 0E 00 EA 03 00 00 00 00 00 00 88 66", -1, {}},
        Reply{"ReadNoWholeRecord",
              1002,
              "88 55 17 00 EA 03 00 00 00 00 01 00 01 00 00 00 04 01 0B 00 00 88 66",
              0,
              {}},
        Reply{"WriteCountsAcceptedRecords",
              1003,
              "88 55 2C 00 EB 03 00 00 00 00 03 00 01 00 00 00 04 01 0B 00 00 00 "
              "02 00 00 00 04 01 0C 00 00 00 03 00 00 00 04 00 0D 00 00 00 88 66",
              2,
              {}},
        Reply{"ActionStates",
              1006,
              "88 55 16 00 EE 03 00 00 00 00 02 00 01 00 00 00 01 00 00 80 88 66",
              1,
              {"state: 1", "state: 2147483649"}},
        Reply{
            "ActionNoStates", 1006, "88 55 12 00 EE 03 00 00 00 00 00 00 01 00 00 00 88 66", 0, {}},
        Reply{"ActionCountBeyondDatagram",
              1006,
              "88 55 17 00 EE 03 00 00 00 00 05 00 00 00 00 80 02 00 00 80 07 88 66",
              2,
              {"state: 2147483648", "state: 2147483650"}},
        Reply{"ActionTooShort", 1006, "88 55 0E 00 EE 03 00 00 00 00 01 00 88", -1, {}},
        Reply{"AlarmCountZero",
              1004,
              "88 55 14 00 EC 03 00 00 00 00 00 00 03 00 E8 03 00 00 88 66",
              -1,
              {}},
        Reply{"LineStatus",
              1007,
              "88 55 14 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 00 88 66",
              2,
              {}},
        Reply{"LineStatusNegative",
              1007,
              "88 55 14 00 EF 03 00 00 00 00 01 00 FF FF FF FF 00 00 88 66",
              -1,
              {}},
        Reply{"LineStatusShort",
              1007,
              "88 55 13 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 88 66",
              65535,
              {}},
        Reply{"LineStatusRequestMark",
              1007,
              "99 88 14 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 00 88 66",
              65535,
              {}},
        Reply{"MoldSetStatus",
              1008,
              "88 55 12 00 F0 03 00 00 00 00 01 00 78 00 00 00 88 66",
              120,
              {}},
        Reply{"MoldSetStatusNot18Bytes",
              1008,
              "88 55 14 00 F0 03 00 00 00 00 01 00 78 00 00 00 00 00 88 66",
              -1,
              {}},
        Reply{"MoldSetAccepted", 1009, "88 55 0E 00 F1 03 00 00 00 00 FF FF 88 66", 65535, {}},
        Reply{"MoldSetTooShort", 1009, "88 55 0E 00 F1 03 00 00 00 00 32 00 88", -1, {}},
        Reply{"Curve", 1005, "88 55 12 00 ED 03 00 00 00 00 01 00 01 00 00 00 88 66", -1, {}},
        Reply{"CanTransmit", 1016, "88 55 0E 00 F8 03 00 00 00 00 00 00 88 66", -1, {}},
        Reply{"TriggerConfigureError",
              1017,
              "88 55 10 00 F9 03 00 00 07 00 DF FF 00 00 88 66",
              7,
              {"groupID: 7 plc trigger configure error"}},
        Reply{"TriggerMemoryOverflow",
              1017,
              "88 55 10 00 F9 03 00 00 08 00 FF FF 00 00 88 66",
              8,
              {"groupID: 8 plc trigger memory overflow"}},
        Reply{"TriggerDataRequestError",
              1017,
              "88 55 10 00 F9 03 00 00 09 00 DE FF 00 00 88 66",
              9,
              {"groupID: 9 plc trigger data request error"}},
        Reply{"TriggerFailedEntryBeyondDatagram",
              1017,
              "88 55 10 00 F9 03 00 00 03 00 00 00 03 00 F4 01 00 00 02 00 0A 00 00",
              3,
              {"Failed ID: 1f4 Error Code: 2"}},
        Reply{"TriggerTooShort", 1017, "88 55 10 00 F9 03 00 00 03 00 00 00 00", -1, {}},
        Reply{
            "TriggerRequestMark", 1017, "99 88 10 00 F9 03 00 00 03 00 00 00 00 00 88 66", -1, {}}),
    [](const ::testing::TestParamInfo<Reply>& info) { return std::string(info.param.name); });

TEST_F(ParseTest, ReadReplyStoresOnlyValidRecords)
{
    CvexPlcReadParamProtocol protocol;
    EXPECT_EQ(protocol.parseProtocol(commonReply(1002, 3,
                                                 "01 00 00 00 04 01 0B 00 00 00 "
                                                 "02 00 00 00 04 00 0C 00 00 00 "
                                                 "03 00 00 00 04 01 0D 00 00 00 01 02 03 04 05")),
              2);
    EXPECT_EQ(storage()->value(1), CvexVariant(11));
    EXPECT_TRUE(storage()->value(2).isNull());
    EXPECT_EQ(storage()->value(3), CvexVariant(13));
}

TEST_F(ParseTest, AlarmPacketsAreLoggedUpToTheLastWholeRecord)
{
    CvexPlcAlarmProtocol protocol;
    EXPECT_EQ(protocol.parseProtocol(commonReply(1004, 1, "03 00 E8 03 00 00")), 1000);
    EXPECT_EQ(protocol.parseProtocol(commonReply(1004, 2, "01 09 02 00 00 00 04 00 FF FF FF FF")),
              2);
    EXPECT_EQ(protocol.parseProtocol(commonReply(1004, 9, "05 00 07 00 00 00 06 00 08")), 7);
    EXPECT_EQ(protocol.parseProtocol(commonReply(1004, 1, "03 00 E8 03")), -1);
    const std::vector<CvexErrorLog> logged = plctest::controlData(0)->errorLogs();
    ASSERT_EQ(logged.size(), 4u);
    const unsigned int numbers[] = {1000, 2, 0xFFFFFFFFu, 7};
    const unsigned short bytes[] = {3, 1, 4, 5};
    for (std::size_t i = 0; i < logged.size(); ++i) {
        EXPECT_EQ(logged[i].alarmNumber, numbers[i]);
        EXPECT_EQ(logged[i].category, 1);
        EXPECT_EQ(logged[i].alarmByte, bytes[i]);
    }
}

class TriggeredDataTest : public ParseTest {
protected:
    void SetUp() override
    {
        ParseTest::SetUp();
        declare(1, 6);
        declare(2, 4);
        declare(3, 9);
        storage()->addItem(4, "untyped", 5);
    }

    static void declare(unsigned int id, unsigned int valueType)
    {
        storage()->addItem(id, "v" + std::to_string(id), 5);
        storage()->setItemProperty(id, "ValueT", CvexVariant(valueType));
    }

    static CvexByteArray packet(int group, int state, int count, const std::string& items)
    {
        CvexByteArray reply = wire("88 55 00 00 FA 03 00 00");
        reply.append(static_cast<char>(group & 0xFF)).append(static_cast<char>(group >> 8));
        reply.append(static_cast<char>(state)).append('\0').append(wire("00 00"));
        reply.append(static_cast<char>(count)).append('\0');
        return reply.append(wire(items));
    }

    static std::vector<double> samplesOf(const std::vector<tagCurveData>& records)
    {
        std::vector<double> samples;
        for (const tagCurveData& record : records) {
            samples.insert(samples.end(), record.samples, record.samples + 4);
            EXPECT_EQ(record.state, 0u);
            EXPECT_EQ(record.timeStamp, 0);
        }
        return samples;
    }

    CvexPlcTriggerConfirmProtocol protocol;
    CvexAbstractControlData* curves = plctest::controlData(2);
};

TEST_F(TriggeredDataTest, DataItemsAreStoredByTheirValueType)
{
    EXPECT_EQ(protocol.parseProtocol(packet(5, 0, 5,
                                            "01 00 00 00 FE FF 00 00 02 00 00 00 FF FF FF FF "
                                            "03 00 00 00 00 00 00 3F 04 00 00 00 01 00 00 00 "
                                            "05 00 00 00 01 00 00 00")),
              5);
    EXPECT_EQ(storage()->value(1), CvexVariant(-2));
    EXPECT_EQ(storage()->value(2), CvexVariant(4294967295u));
    EXPECT_EQ(storage()->value(3), CvexVariant(0.5));
    EXPECT_TRUE(storage()->value(4).isNull());
    EXPECT_TRUE(storage()->value(5).isNull());
    EXPECT_EQ(plctest::controlData(1)->moniLogCount(), 0u);
}

TEST_F(TriggeredDataTest, MonitoringGroupAddsOneEntryAfterItsValues)
{
    // Claims three items; the datagram holds one whole item and half of the next.
    EXPECT_EQ(protocol.parseProtocol(packet(2, 0, 3, "01 00 00 00 07 00 00 00 02 00 00 00")), 2);
    EXPECT_EQ(storage()->value(1), CvexVariant(7));
    EXPECT_TRUE(storage()->value(2).isNull());
    EXPECT_EQ(plctest::controlData(1)->moniLogCount(), 1u);
}

TEST_F(TriggeredDataTest, CurveSamplesAreLoggedAndClosedByState3)
{
    EXPECT_EQ(protocol.parseProtocol(packet(103, 1, 8,
                                            "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40 "
                                            "00 00 A0 40 00 00 C0 40 00 00 E0 40 00 00 00 41")),
              103);
    EXPECT_EQ(samplesOf(curves->openCurve(3)), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(curves->savedCurves(3).empty());

    EXPECT_EQ(protocol.parseProtocol(packet(103, 3, 0, "")), 103);
    EXPECT_TRUE(curves->savedCurves(3).empty());

    EXPECT_EQ(protocol.parseProtocol(packet(103, 3, 4,
                                            "00 00 10 41 00 00 20 41 00 00 30 41 "
                                            "00 00 40 41")),
              103);
    ASSERT_EQ(curves->savedCurves(3).size(), 1u);
    EXPECT_EQ(samplesOf(curves->savedCurves(3)[0]),
              (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_TRUE(curves->openCurve(3).empty());
}

TEST_F(TriggeredDataTest, LastGroupOfFourIsCompletedFromThePacketOrZeros)
{
    // Count 5 with seven samples present: the second record takes samples 5 to 7 and a zero.
    protocol.parseProtocol(packet(100, 1, 5,
                                  "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40 "
                                  "00 00 A0 40 00 00 C0 40 00 00 E0 40"));
    // Count 9 with two samples and a stray byte present.
    protocol.parseProtocol(packet(101, 1, 9, "00 00 80 3F 00 00 00 40 00"));
    // A closing packet that claims four samples and holds one.
    protocol.parseProtocol(packet(102, 3, 4, "00 00 80 3F 00"));
    EXPECT_EQ(samplesOf(curves->openCurve(0)), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(samplesOf(curves->openCurve(1)), (std::vector<double>{1, 2, 0, 0}));
    ASSERT_EQ(curves->savedCurves(2).size(), 1u);
    EXPECT_EQ(samplesOf(curves->savedCurves(2)[0]), (std::vector<double>{1, 0, 0, 0}));
}

TEST_F(TriggeredDataTest, MalformedPacketsStoreAndLogNothing)
{
    EXPECT_EQ(protocol.parseProtocol(wire("88 55 0C 00 FA 03 00 00 05 00 88 66")), -1);
    EXPECT_EQ(protocol.parseProtocol(wire("99 88 00 00 FA 03 00 00 02 00 00 00 00 00 01 00 "
                                          "01 00 00 00 07 00 00 00")),
              -1);
    EXPECT_EQ(protocol.parseProtocol(packet(104, 3, 4, "00 00 80")), 104);
    EXPECT_TRUE(storage()->value(1).isNull());
    EXPECT_EQ(plctest::controlData(1)->moniLogCount(), 0u);
    EXPECT_TRUE(curves->openCurve(4).empty());
    EXPECT_TRUE(curves->savedCurves(4).empty());
}

} // namespace
