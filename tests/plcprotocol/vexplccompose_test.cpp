// SPDX-License-Identifier: MIT
// Byte-exact requests of every packet type and value record, the packet number and the factory of
// protocol objects.
#include "plcprotocoltest.h"
#include "vexplcactionprotocol.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplccantransmitprotocol.h"
#include "vexplccurveprotocol.h"
#include "vexplclinestatusprotocol.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplcmoldsetstatusprotocol.h"
#include "vexplcpackettype.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"
#include "vexplctriggerprotocol.h"
#include "vexplcvaluerecord.h"
#include "vexplcwriteparamprotocol.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <typeinfo>
#include <vector>

using namespace Orrery;
using namespace plctest;

namespace {

using ComposeTest = PlcProtocolTest;

struct CurveRequest {
    std::uint16_t first;
    std::uint16_t count;
    std::uint32_t items[8];
};

std::string idList(unsigned int first, int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += (i ? "," : "") + std::to_string(first + static_cast<unsigned int>(i));
    return "{\"ID\": 1, \"DataIDList\": [" + list + "]}";
}

TEST_F(ComposeTest, EveryTypeGivesExactBytesOrRefuses)
{
    auto actual =
        fromJson<CvexParseActual>(R"({"ID": 1, "CycleTime": 100, "DataIDList": [1, 2, 300]})");
    CurveRequest twoItems{3, 2, {10, 20}};
    CurveRequest sevenItems{1, 7, {1, 2, 3, 4, 5, 6, 7}};
    CurveRequest noItems{9, 0, {}};
    auto lineStatus = fromJson<CvexParseLineStatus>(R"({"ID": 7, "CycleTime": 3000})");
    lineStatus.setVersion(0x10002);
    lineStatus.setPriv(5);
    storage()->addItem(1, "int", 5, CvexVariant(1));
    storage()->addItem(2, "float", 8, CvexVariant(2.5));
    storage()->addItem(3, "empty", 5);
    auto block = fromJson<CvexParseMoldBlock>(R"({"DataIDList": [1, 2, 3, 4]})");
    block.setPackSize(3);
    auto emptyFeatures = fromJson<CvexParseTrigger>(
        R"({"ID": 17, "GroupID": 65539, "OutTime": 1000, "SendCount": 1, "DataIDFlag": 1,
            "DataIDList": [7, 65536], "StartTrigger": []})");
    auto oneCondition = fromJson<CvexParseTrigger>(
        R"({"ID": 17, "SendTrigger": [{"Condition": [{"Type": 5, "Params": [10, 20]}]}, {}]})");
    CvexParseLineStatus invalidLineStatus;
    auto actualWithoutIDs = fromJson<CvexParseActual>(R"({"ID": 1})");
    CvexParseTrigger invalidTrigger;
    auto emptyBlock = fromJson<CvexParseMoldBlock>(R"({"Type": 1})");
    // An empty `packet` is a refusal; `number` is the packet number before the request.
    const struct {
        int code;
        CvexByteArray in;
        void* arg;
        int result;
        const char* packet;
        const char* output = "";
        unsigned short number = 0;
    } rows[] = {
        {1, "", &actual, 26,
         "99 88 1A 00 01 00 00 00 64 00 03 00 01 00 00 00 02 00 00 00 2C 01 00 00 88 66"},
        // Bytes after the last whole ID are ignored.
        {2, wire("2A 00 00 00 2B 00"), nullptr, 18,
         "99 88 12 00 02 00 05 00 00 00 01 00 2A 00 00 00 88 66", "", 5},
        {3, wire("07 00 00 00 08 01 00 00 20 40 FF"), nullptr, 24,
         "99 88 18 00 03 00 00 00 00 00 01 00 07 00 00 00 08 01 00 00 20 40 88 66"},
        // The alarm request repeats its packet number after the type code.
        {2004, wire("03 00 E8 03 00 00"), nullptr, 20,
         "99 88 14 00 D4 07 01 00 01 00 01 00 03 00 E8 03 00 00 88 66", "", 1},
        {5, "", &twoItems, 22, "99 88 16 00 05 00 00 00 03 00 02 00 0A 00 00 00 14 00 00 00 88 66"},
        {5, "", &sevenItems, 30,
         "99 88 1E 00 05 00 00 00 01 00 04 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 "
         "88 66"},
        {5, "", &noItems, 14, "99 88 0E 00 05 00 00 00 09 00 00 00 88 66"},
        {6, wire("05 00 00 00"), nullptr, 18,
         "99 88 12 00 06 00 00 00 00 00 01 00 05 00 00 00 88 66", "PLC Action: 18\n"},
        {7, "", &lineStatus, 20, "99 88 14 00 07 00 00 00 02 00 01 00 B8 0B 00 00 05 00 88 66"},
        {8, "120", nullptr, 18, "99 88 12 00 08 00 00 00 00 00 01 00 78 00 00 00 88 66"},
        // Item 3 has no value and item 4 is not stored: neither is sent.
        {9, "", &block, 34,
         "99 88 22 00 09 00 00 00 00 00 02 00 01 00 00 00 05 01 01 00 00 00 02 00 00 00 08 01 "
         "00 00 20 40 88 66"},
        {17, "", &emptyFeatures, 36,
         "99 88 24 00 11 00 00 00 03 00 E8 03 00 00 01 00 00 00 00 00 00 00 01 00 02 00 07 00 "
         "00 00 00 00 01 00 88 66"},
        {17, "", &oneCondition, 44,
         "99 88 2C 00 11 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 01 00 05 00 02 00 0A 00 "
         "00 00 14 00 00 00 00 00 00 00 00 00 00 00 88 66"},
        {2018, "5", nullptr, 12, "99 88 0C 00 E2 07 00 00 05 00 88 66"},
        // The confirmation of a malformed packet carries group 0xFFFF.
        {2018, "4294967295", nullptr, 12, "99 88 0C 00 E2 07 00 00 FF FF 88 66"},
        // Refused requests give the type's failure value and leave the output as it was.
        {2, "", nullptr, -1, ""},
        {3, "", nullptr, -1, ""},
        {6, "", nullptr, -1, ""},
        {2004, "", nullptr, -1, ""},
        {5, wire("01"), nullptr, -1, ""},
        {7, "", nullptr, 0, ""},
        {7, "", &invalidLineStatus, 0, ""},
        {1, "", nullptr, 0, ""},
        {1, "", &actualWithoutIDs, 0, ""},
        {9, "", nullptr, -1, ""},
        {9, "", &emptyBlock, -1, ""},
        {8, "", nullptr, -1, ""},
        {8, "12a", nullptr, -1, "",
         "CvexPlcMoldSetStatusProtocol::composeProtocol mold count convert error\n"},
        {17, "", nullptr, 0, ""},
        {17, "", &invalidTrigger, 0, ""},
        {2018, "", nullptr, 0, ""},
        {2018, "-5", nullptr, 0, "",
         "CvexPlcTriggerConfirmProtocol::composeProtocol: Group ID Illegal\n"},
        {15, "x", nullptr, -1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.code) + ": " + row.packet);
        CvexAbstractPlcProtocol::packNumberReset();
        for (int i = 0; i < row.number; ++i)
            CvexAbstractPlcProtocol::packNumberFetchAndAdd();
        const vextest::StdoutCapture capture;
        CvexByteArray out("untouched");
        EXPECT_EQ(factory.protocol(row.code)->composeProtocol(out, row.in, row.arg), row.result);
        EXPECT_EQ(hexOf(out), *row.packet ? row.packet : hexOf("untouched"));
        EXPECT_EQ(capture.text(), std::string(row.output));
        // A request takes one packet number, a refusal none.
        EXPECT_EQ(CvexAbstractPlcProtocol::packNumberReset(), row.number + (*row.packet ? 1 : 0));
    }
}

TEST_F(ComposeTest, RequestsAtTheirSizeLimits)
{
    // The mold set request pages through its block.
    for (unsigned int id = 1; id <= 120; ++id)
        storage()->addItem(id, "m" + std::to_string(id), 5, CvexVariant(int(id)));
    auto block = fromJson<CvexParseMoldBlock>(idList(1, 120));
    const auto compose = [&](unsigned int start, unsigned int size) {
        block.setStartPos(start);
        block.setPackSize(size);
        CvexByteArray out;
        factory.protocol(9)->composeProtocol(out, {}, &block);
        return out;
    };
    EXPECT_EQ(hexOf(compose(50, 50).left(22)),
              "99 88 02 02 09 00 00 00 00 00 32 00 33 00 00 00 05 01 33 00 00 00");
    EXPECT_EQ(compose(100, 50).size(), 214);
    EXPECT_EQ(block.queryPackSize(), 20u);
    for (unsigned int start : {120u, 0u})
        EXPECT_TRUE(compose(start, 0).isEmpty()) << start;
    for (int listed : {50, 60}) { // the actual-value request stops at fifty IDs
        auto actual = fromJson<CvexParseActual>(idList(1000, listed));
        CvexByteArray out;
        factory.protocol(1)->composeProtocol(out, {}, &actual);
        EXPECT_EQ(hexOf(out.mid(0, 12)),
                  "99 88 D6 00 01 00 " + hexOf(out.mid(6, 2)) + " F4 01 32 00");
        EXPECT_EQ(hexOf(out.mid(12 + 49 * 4)), "19 04 00 00 88 66"); // ID 1049 last
    }
    for (int ids : {361, 362}) { // a read request around the datagram limit
        CvexByteArray out;
        factory.protocol(2)->composeProtocol(out, CvexByteArray(4 * ids, '\1'), nullptr);
        ASSERT_EQ(out.size(), 14 + 4 * ids);
        EXPECT_EQ((out.at(10) & 0xFF) | (out.at(11) << 8), ids);
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
    EXPECT_EQ(CvexPlcTriggerProtocol::definitionSize(trigger), 1458);
    ids.setArray(std::vector<unsigned int>(361, 1));
    trigger.setDataIDSet(ids);
    out = "untouched";
    const vextest::StdoutCapture capture;
    EXPECT_EQ(CvexPlcTriggerProtocol::definitionSize(trigger), 1462);
    EXPECT_EQ(protocol.composeProtocol(out, {}, &trigger), 0);
    EXPECT_EQ(out, CvexByteArray("untouched"));
    EXPECT_EQ(capture.text(), "CvexPlcTriggerProtocol::composeProtocol: trigger definition too "
                              "large (1462 bytes)\n");
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 1);
}

// Requests of every type draw their numbers from one counter that wraps at 16 bits.
TEST_F(ComposeTest, PacketNumberWrapsAcrossTypes)
{
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndSub(), 0);
    CvexByteArray first;
    CvexByteArray second;
    const vextest::StdoutCapture capture;
    factory.protocol(6)->composeProtocol(first, wire("05 00 00 00"), nullptr);
    factory.protocol(2)->composeProtocol(second, wire("05 00 00 00"), nullptr);
    EXPECT_EQ(hexOf(first.mid(6, 2)), "FF FF");
    EXPECT_EQ(hexOf(second.mid(6, 2)), "00 00");
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 1);
}

bool sameRow(const CvexPlcPacketType& a, const CvexPlcPacketType& b)
{
    return std::string(a.name) == b.name && a.sendCode == b.sendCode &&
           a.receiveCode == b.receiveCode && a.family == b.family && a.create == b.create;
}

using Family = CvexPlcPacketType::Family;

// Each packet type's row, the class serving it, its pairs in the factory's lookup table, and one
// factory object for both its codes; the two CAN transmit rows share the object of variant 0.
TEST_F(ComposeTest, EachPacketTypeIsServedByOneObjectForBothItsCodes)
{
    const struct {
        const CvexPlcPacketType& type;
        const char* name;
        int sendCode;
        int receiveCode;
        Family family;
        const std::type_info& servedBy;
    } rows[] = {
        {PlcPacket::Actual, "actual values", 1, 1001, Family::Common,
         typeid(CvexPlcActualProtocol)},
        {PlcPacket::ReadParam, "read parameters", 2, 1002, Family::Common,
         typeid(CvexPlcReadParamProtocol)},
        {PlcPacket::WriteParam, "write parameters", 3, 1003, Family::Common,
         typeid(CvexPlcWriteParamProtocol)},
        {PlcPacket::Alarm, "alarm", 2004, 1004, Family::Common, typeid(CvexPlcAlarmProtocol)},
        {PlcPacket::Curve, "curve", 5, 1005, Family::Common, typeid(CvexPlcCurveProtocol)},
        {PlcPacket::Action, "actions", 6, 1006, Family::Common, typeid(CvexPlcActionProtocol)},
        {PlcPacket::LineStatus, "line status", 7, 1007, Family::Common,
         typeid(CvexPlcLineStatusProtocol)},
        {PlcPacket::MoldSetStatus, "mold set status", 8, 1008, Family::Common,
         typeid(CvexPlcMoldSetStatusProtocol)},
        {PlcPacket::MoldSet, "mold set", 9, 1009, Family::Common, typeid(CvexPlcMoldSetProtocol)},
        {PlcPacket::Trigger, "trigger definition", 17, 1017, Family::Trigger,
         typeid(CvexPlcTriggerProtocol)},
        {PlcPacket::TriggerConfirm, "triggered data", 2018, 1018, Family::Trigger,
         typeid(CvexPlcTriggerConfirmProtocol)},
        {PlcPacket::CanTransmit, "CAN transmit", 15, 1015, Family::Common,
         typeid(CvexPlcCANTransmitProtocol)},
        {PlcPacket::CanTransmitVariant1, "CAN transmit variant 1", 16, 1016, Family::Common,
         typeid(CvexPlcCANTransmitProtocol)},
    };
    ASSERT_EQ(std::size(PlcPacket::Types), std::size(rows));
    const auto& pairs = CvexPlcProtocolFactory::PLCPROTOCOLTYPE;
    ASSERT_EQ(pairs.size(), 2 * std::size(rows));
    std::set<const CvexAbstractProtocol*> distinct;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& want = rows[i];
        const CvexPlcPacketType& type = PlcPacket::Types[i];
        SCOPED_TRACE(want.name);
        EXPECT_TRUE(sameRow(want.type, type)) << "the named row, at its place in the table";
        EXPECT_STREQ(type.name, want.name);
        EXPECT_EQ(type.sendCode, want.sendCode);
        EXPECT_EQ(type.receiveCode, want.receiveCode);
        EXPECT_EQ(type.family, want.family);
        EXPECT_EQ(PlcPacket::find(want.sendCode), &type);
        EXPECT_EQ(PlcPacket::find(want.receiveCode), &type);
        const int slot = static_cast<int>(std::min<std::size_t>(i, 11));
        EXPECT_EQ(pairs[2 * i], (std::array<int, 2>{want.sendCode, slot}));
        EXPECT_EQ(pairs[2 * i + 1], (std::array<int, 2>{want.receiveCode, slot}));
        const CvexPlcPacketType& own =
            sameRow(type, PlcPacket::CanTransmitVariant1) ? PlcPacket::CanTransmit : type;
        const std::unique_ptr<CvexAbstractProtocol> created = type.create();
        CvexAbstractProtocol* shared = factory.protocol(want.sendCode);
        EXPECT_EQ(factory.protocol(want.receiveCode), shared);
        distinct.insert(shared);
        for (const CvexAbstractProtocol* object : {created.get(), shared}) {
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(typeid(*object), want.servedBy);
            EXPECT_EQ(dynamic_cast<const CvexAbstractPlcTriggerProtocol*>(object) != nullptr,
                      want.family == Family::Trigger);
            const auto* plc = dynamic_cast<const CvexAbstractPlcProtocol*>(object);
            ASSERT_NE(plc, nullptr);
            EXPECT_EQ(plc->sendType(), own.sendCode);
            EXPECT_EQ(plc->receiveType(), own.receiveCode);
        }
    }
    EXPECT_EQ(distinct.size(), 12u);
    for (int code : {4, 18, 1010, 1014, 0, -1, 1019, 2005, 65535}) {
        EXPECT_EQ(factory.protocol(code), nullptr) << code;
        EXPECT_EQ(PlcPacket::find(code), nullptr) << code;
    }
    const CvexPlcCANTransmitProtocol variantOne(1);
    EXPECT_EQ(variantOne.sendType(), 16);
    EXPECT_EQ(variantOne.receiveType(), 1016);
    CvexPlcProtocolFactory second;
    EXPECT_NE(factory.protocol(7), second.protocol(7));
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0); // creation takes no number
}

// The value record the host sends: one row per data type code and kind of value.
TEST(CvexPlcValueRecord, FloatCodesTravelAsSinglePrecisionAndTheOthersAsLittleEndianIntegers)
{
    const struct {
        unsigned char code;
        CvexVariant value;
        const char* bytes; // after the ID 0x01020304
    } rows[] = {
        {7, CvexVariant(12.5), "07 01 00 00 48 41"},
        {8, CvexVariant(2.5), "08 01 00 00 20 40"},
        {8, CvexVariant(3), "08 01 00 00 40 40"},
        {1, CvexVariant(-2), "01 01 FE FF FF FF"},
        {3, CvexVariant(1000), "03 01 E8 03 00 00"},
        {5, CvexVariant(-1000000), "05 01 C0 BD F0 FF"},
        {6, CvexVariant(4000000000u), "06 01 00 28 6B EE"},
        {4, CvexVariant(7.9), "04 01 07 00 00 00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        CvexByteArray out("x", 1); // appends after what is there
        CvexPlcValueRecord::append(out, 0x01020304u, row.code, row.value);
        ASSERT_EQ(out.size(), 1 + CvexPlcValueRecord::Size);
        EXPECT_EQ(vextest::hex(out.constData() + 1, CvexPlcValueRecord::Size),
                  std::string("04 03 02 01 ") + row.bytes);
    }
}

} // namespace
