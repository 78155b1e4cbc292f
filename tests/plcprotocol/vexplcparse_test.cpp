// SPDX-License-Identifier: MIT
// Replies of the PLC: results, stored values, log entries and diagnostic lines.
#include "plcprotocoltest.h"
#include "vexplcalarmprotocol.h"
#include "vexplcpackettype.h"

#include <string>
#include <vector>

using namespace Orrery;
using namespace plctest;

namespace {

using ParseTest = PlcProtocolTest;

// A common-family reply whose length field covers `payload`.
CvexByteArray commonReply(int type, int count, const std::string& payload)
{
    const int length = 14 + wire(payload).size();
    return wire("88 55 " + u16(length) + u16(type) + "00 00 00 00 " + u16(count) + payload +
                " 88 66");
}

TEST_F(ParseTest, ActualAndReadRepliesDecodeByTypeCode)
{
    const struct {
        const char* record;
        CvexVariant stored;
    } rows[] = {
        {"09 00 00 00 01 01 FF 00 00 00", CvexVariant(-1)},
        {"09 00 00 00 09 01 80 FF FF FF", CvexVariant(-128)},
        {"09 00 00 00 02 01 FE FF 00 00", CvexVariant(-2)},
        {"09 00 00 00 03 01 00 80 00 00", CvexVariant(-32768)},
        {"09 00 00 00 04 01 FE FF FF FF", CvexVariant(-2)},
        {"09 00 00 00 05 01 00 00 00 80", CvexVariant(-2147483647 - 1)},
        {"09 00 00 00 06 01 FF FF FF FF", CvexVariant(4294967295u)},
        {"09 00 00 00 07 01 00 00 C0 3F", CvexVariant(1.5)},
        {"09 00 00 00 08 01 00 00 C0 3F", CvexVariant(1.5)},
        {"09 00 00 00 00 01 01 00 00 00", CvexVariant()},
        {"09 00 00 00 0A 01 01 00 00 00", CvexVariant()},
    };
    for (const auto& row : rows)
        for (int code : {1001, 1002}) {
            SCOPED_TRACE(row.record);
            storage()->clear();
            EXPECT_EQ(factory.protocol(code)->parseProtocol(commonReply(1001, 1, row.record)), 1);
            EXPECT_EQ(storage()->value(9), row.stored) << code;
        }
    // Only the valid records of a reply are stored.
    EXPECT_EQ(factory.protocol(1002)->parseProtocol(
                  commonReply(1002, 3,
                              "01 00 00 00 04 01 0B 00 00 00 02 00 00 00 04 00 0C 00 00 00 "
                              "03 00 00 00 04 01 0D 00 00 00 01 02 03 04 05")),
              2);
    EXPECT_EQ(storage()->value(1), CvexVariant(11));
    EXPECT_TRUE(storage()->value(2).isNull());
    EXPECT_EQ(storage()->value(3), CvexVariant(13));
}

TEST_F(ParseTest, EveryTypeGivesResultAndDiagnosticLines)
{
    const struct {
        int code;
        const char* datagram;
        int result;
        const char* output = "";
    } rows[] = {
        {1002, "88 55 0E 00 EA 03 00 00 00 00 00 00 88 66", -1},
        // No whole record.
        {1002, "88 55 17 00 EA 03 00 00 00 00 01 00 01 00 00 00 04 01 0B 00 00 88 66", 0},
        // Write counts the accepted records.
        {1003,
         "88 55 2C 00 EB 03 00 00 00 00 03 00 01 00 00 00 04 01 0B 00 00 00 02 00 00 00 04 01 0C "
         "00 00 00 03 00 00 00 04 00 0D 00 00 00 88 66",
         2},
        {1006, "88 55 16 00 EE 03 00 00 00 00 02 00 01 00 00 00 01 00 00 80 88 66", 1,
         "state: 1\nstate: 2147483649\n"},
        {1006, "88 55 12 00 EE 03 00 00 00 00 00 00 01 00 00 00 88 66", 0},
        // The count claims more states than the datagram holds.
        {1006, "88 55 17 00 EE 03 00 00 00 00 05 00 00 00 00 80 02 00 00 80 07 88 66", 2,
         "state: 2147483648\nstate: 2147483650\n"},
        {1006, "88 55 0E 00 EE 03 00 00 00 00 01 00 88", -1},
        {1004, "88 55 14 00 EC 03 00 00 00 00 00 00 03 00 E8 03 00 00 88 66", -1},
        {1007, "88 55 14 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 00 88 66", 2},
        {1007, "88 55 14 00 EF 03 00 00 00 00 01 00 FF FF FF FF 00 00 88 66", -1},
        {1007, "88 55 13 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 88 66", 65535},
        // A request mark instead of a reply mark.
        {1007, "99 88 14 00 EF 03 00 00 00 00 01 00 02 00 00 00 00 00 88 66", 65535},
        {1008, "88 55 12 00 F0 03 00 00 00 00 01 00 78 00 00 00 88 66", 120},
        {1008, "88 55 14 00 F0 03 00 00 00 00 01 00 78 00 00 00 00 00 88 66", -1},
        {1009, "88 55 0E 00 F1 03 00 00 00 00 FF FF 88 66", 65535},
        {1009, "88 55 0E 00 F1 03 00 00 00 00 32 00 88", -1},
        {1005, "88 55 12 00 ED 03 00 00 00 00 01 00 01 00 00 00 88 66", -1},
        {1016, "88 55 0E 00 F8 03 00 00 00 00 00 00 88 66", -1},
        {1017, "88 55 10 00 F9 03 00 00 07 00 DF FF 00 00 88 66", 7,
         "groupID: 7 plc trigger configure error\n"},
        {1017, "88 55 10 00 F9 03 00 00 08 00 FF FF 00 00 88 66", 8,
         "groupID: 8 plc trigger memory overflow\n"},
        {1017, "88 55 10 00 F9 03 00 00 09 00 DE FF 00 00 88 66", 9,
         "groupID: 9 plc trigger data request error\n"},
        // The failed entry runs past the datagram.
        {1017, "88 55 10 00 F9 03 00 00 03 00 00 00 03 00 F4 01 00 00 02 00 0A 00 00", 3,
         "Failed ID: 1f4 Error Code: 2\n"},
        {1017, "88 55 10 00 F9 03 00 00 03 00 00 00 00", -1},
        {1017, "99 88 10 00 F9 03 00 00 03 00 00 00 00 00 88 66", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.datagram);
        const vextest::StdoutCapture capture;
        EXPECT_EQ(factory.protocol(row.code)->parseProtocol(wire(row.datagram)), row.result);
        EXPECT_EQ(capture.text(), row.output);
    }
}

// Every parser that takes its payload from the length field.
TEST_F(ParseTest, MalformedLengthFieldsAreRejected)
{
    for (const char* reply : {
             "88 55 0E 00 E9 03 00 00 00 00 00 00 88",       // a datagram of 13 bytes
             "88 55 FF 00 E9 03 00 00 00 00 00 00 88 66",    // longer than the datagram
             "88 55 0D 00 E9 03 00 00 00 00 00 00 88 66",    // shorter than a header
             "88 55 00 00 E9 03 00 00 00 00 00 00 88 66 00", // zero
             // One byte past the end of a well-formed reply.
             "88 55 19 00 E9 03 00 00 00 00 01 00 07 00 00 00 06 01 01 00 00 00 88 66",
         })
        for (int code : {1001, 1002, 1003}) {
            SCOPED_TRACE(reply);
            EXPECT_EQ(factory.protocol(code)->parseProtocol(wire(reply)), -1) << code;
            EXPECT_TRUE(storage()->value(7).isNull());
        }
}

TEST_F(ParseTest, AlarmPacketsAreLoggedUpToTheLastWholeRecord)
{
    auto* alarm = static_cast<CvexPlcAlarmProtocol*>(factory.protocol(1004));
    // The alarm byte of the first record, read where the engine reads it for the answer; reading
    // it logs nothing.
    EXPECT_EQ(alarm->alarmByte(commonReply(1004, 2, "FE 09 02 00 00 00 04 00 FF FF FF FF")), 254);
    EXPECT_EQ(alarm->alarmByte(wire("88 55 14 00 EC 03 00 00 00 00 01 00 07")), 7);
    EXPECT_EQ(alarm->alarmByte(wire("88 55 14 00 EC 03 00 00 00 00 01 00")), -1);
    EXPECT_EQ(alarm->alarmByte(CvexByteArray()), -1);
    EXPECT_EQ(alarm->alarmByte(commonReply(1004, 1, "03 00 E8 03 00 00")), 3);
    EXPECT_TRUE(controlData(0)->errorLogs().empty());
    EXPECT_EQ(alarm->parseProtocol(commonReply(1004, 1, "03 00 E8 03 00 00")), 1000);
    EXPECT_EQ(alarm->parseProtocol(commonReply(1004, 2, "01 09 02 00 00 00 04 00 FF FF FF FF")), 2);
    EXPECT_EQ(alarm->parseProtocol(commonReply(1004, 9, "05 00 07 00 00 00 06 00 08")), 7);
    EXPECT_EQ(alarm->parseProtocol(commonReply(1004, 1, "03 00 E8 03")), -1);
    // Alarm number, category and alarm byte of every entry.
    std::vector<std::string> logged;
    for (const CvexErrorLog& log : controlData(0)->errorLogs())
        logged.push_back(std::to_string(log.alarmNumber) + " " + std::to_string(log.category) +
                         " " + std::to_string(log.alarmByte));
    EXPECT_EQ(logged, (std::vector<std::string>{"1000 1 3", "2 1 1", "4294967295 1 4", "7 1 5"}));
}

TEST(PeekType, TypeCodeAtOffsetFourOrNoneForAShortDatagram)
{
    const struct {
        const char* bytes;
        int type;
    } rows[] = {
        {"", PlcPacket::NoType},
        {"88 55", PlcPacket::NoType},
        {"88 55 0E 00 EF", PlcPacket::NoType},
        {"88 55 0E 00 EF 03", 1007},
        {"88 55 0E 00 D4 07 01", 2004},
        {"88 55 0E 00 FF FF 00 00 00 00 00 00 88 66", 65535},
        {"88 55 0E 00 00 00 00 00", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CvexPlcPacketType::peekType(wire(row.bytes)), row.type) << row.bytes;
}

class TriggeredDataTest : public ParseTest {
protected:
    void SetUp() override
    {
        ParseTest::SetUp();
        for (unsigned int id : {1, 2, 3, 4})
            storage()->addItem(id, "v" + std::to_string(id), 5);
        // Item 4 has no value type.
        storage()->setItemProperty(1, "ValueT", CvexVariant(6u));
        storage()->setItemProperty(2, "ValueT", CvexVariant(4u));
        storage()->setItemProperty(3, "ValueT", CvexVariant(9u));
    }

    // A triggered-data packet as the PLC sends it: no length and no end mark.
    int parse(int group, int state, int count, const std::string& items)
    {
        return factory.protocol(1018)->parseProtocol(wire(
            "88 55 00 00 FA 03 00 00 " + u16(group) + u16(state) + "00 00 " + u16(count) + items));
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

    CvexAbstractControlData* curves = controlData(2);
};

// Values are stored by their item's value type; only a monitoring group adds an entry after them.
TEST_F(TriggeredDataTest, DataItemsAreStoredByTheirValueType)
{
    EXPECT_EQ(parse(5, 0, 5,
                    "01 00 00 00 FE FF 00 00 02 00 00 00 FF FF FF FF 03 00 00 00 00 00 00 3F "
                    "04 00 00 00 01 00 00 00 05 00 00 00 01 00 00 00"),
              5);
    EXPECT_EQ(storage()->value(1), CvexVariant(-2));
    EXPECT_EQ(storage()->value(2), CvexVariant(4294967295u));
    EXPECT_EQ(storage()->value(3), CvexVariant(0.5));
    EXPECT_TRUE(storage()->value(4).isNull());
    EXPECT_TRUE(storage()->value(5).isNull());
    EXPECT_EQ(controlData(1)->moniLogCount(), 0u);
    // Claims three items; the datagram holds one whole item and half of the next.
    EXPECT_EQ(parse(2, 0, 3, "01 00 00 00 07 00 00 00 02 00 00 00"), 2);
    EXPECT_EQ(storage()->value(1), CvexVariant(7));
    EXPECT_EQ(storage()->value(2), CvexVariant(4294967295u));
    EXPECT_EQ(controlData(1)->moniLogCount(), 1u);
}

TEST_F(TriggeredDataTest, CurveSamplesAreLoggedAndClosedByState3)
{
    EXPECT_EQ(parse(103, 1, 8,
                    "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40 00 00 A0 40 00 00 C0 40 "
                    "00 00 E0 40 00 00 00 41"),
              103);
    EXPECT_EQ(samplesOf(curves->openCurve(3)), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(curves->savedCurves(3).empty());
    EXPECT_EQ(parse(103, 3, 0, ""), 103);
    EXPECT_TRUE(curves->savedCurves(3).empty());
    EXPECT_EQ(parse(103, 3, 4, "00 00 10 41 00 00 20 41 00 00 30 41 00 00 40 41"), 103);
    ASSERT_EQ(curves->savedCurves(3).size(), 1u);
    EXPECT_EQ(samplesOf(curves->savedCurves(3)[0]),
              (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_TRUE(curves->openCurve(3).empty());
}

TEST_F(TriggeredDataTest, LastGroupOfFourIsCompletedFromThePacketOrZeros)
{
    // Count 5 with seven samples present: the second record takes samples 5 to 7 and a zero.
    parse(100, 1, 5,
          "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40 00 00 A0 40 00 00 C0 40 00 00 E0 40");
    parse(101, 1, 9, "00 00 80 3F 00 00 00 40 00"); // two samples and a stray byte
    parse(102, 3, 4, "00 00 80 3F 00");             // closes, claiming four samples
    EXPECT_EQ(samplesOf(curves->openCurve(0)), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(samplesOf(curves->openCurve(1)), (std::vector<double>{1, 2, 0, 0}));
    ASSERT_EQ(curves->savedCurves(2).size(), 1u);
    EXPECT_EQ(samplesOf(curves->savedCurves(2)[0]), (std::vector<double>{1, 0, 0, 0}));
}

TEST_F(TriggeredDataTest, MalformedPacketsStoreAndLogNothing)
{
    CvexAbstractProtocol* protocol = factory.protocol(1018);
    EXPECT_EQ(protocol->parseProtocol(wire("88 55 0C 00 FA 03 00 00 05 00 88 66")), -1);
    EXPECT_EQ(protocol->parseProtocol(
                  wire("99 88 00 00 FA 03 00 00 02 00 00 00 00 00 01 00 01 00 00 00 07 00 00 00")),
              -1);
    EXPECT_EQ(parse(104, 3, 4, "00 00 80"), 104);
    EXPECT_TRUE(storage()->value(1).isNull());
    EXPECT_EQ(controlData(1)->moniLogCount(), 0u);
    EXPECT_TRUE(curves->openCurve(4).empty());
    EXPECT_TRUE(curves->savedCurves(4).empty());
}

} // namespace
