// SPDX-License-Identifier: MIT
// tshark reads captures with the dissector loaded by -X lua_script: a capture of the demo (every
// packet's type, count and group as its bytes say, no expert info), crafted packets of the types
// the demo does not send, and malformed datagrams, which get their expert info and never a Lua
// error.
#include "../plcsim/capturefile.h"
#include "../plcsim/simtest.h"
#include "childprocess.h"
#include "pcapwriter.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using host::u16s;
using host::u32;
namespace reply = vexsim::reply;

// One packet as tshark shows it: the fields asked for, in this order.
enum Field { kType, kCount, kGroup, kInfo, kValue, kExpert, kFields };
using Row = std::array<std::string, kFields>;

class DissectorTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (vextest::runProcess({"sh", "-c", "command -v tshark"}, 10s).exitCode != 0)
            GTEST_SKIP() << "tshark is not installed (apt-get install tshark); the dissector "
                            "tests need it";
    }

    std::vector<Row> dissect(const std::string& capture, const std::string& ports = "")
    {
        std::vector<std::string> argv = {
            "tshark", "-n", "-X",          "lua_script:" VEXPLC_DISSECTOR, "-r", capture, "-T",
            "fields", "-E", "aggregator=|"};
        for (const char* field : {"vexplc.type", "vexplc.count", "vexplc.group", "_ws.col.Info",
                                  "vexplc.value", "_ws.expert.message"})
            argv.insert(argv.end(), {"-e", field});
        if (!ports.empty())
            argv.insert(argv.end(), {"-o", "vexplc.ports:" + ports});
        const auto run = vextest::runProcess(argv, 60s);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        // tshark warns on standard error when it runs as root; nothing else may appear there.
        EXPECT_EQ(run.err.find("Lua"), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Lua Error"), std::string::npos) << run.out;
        std::vector<Row> rows;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            if (line.empty())
                continue;
            for (std::string& field : rows.emplace_back())
                std::getline(fields, field, '\t');
        }
        return rows;
    }

    // Writes `datagrams` to a capture between the example's endpoints (or others): host packets
    // (start mark 0x8899) from 127.0.0.1:30001 to the PLC, all others back.
    std::string capture(const std::vector<std::string>& datagrams, uint16_t hostPort = 30001,
                        uint16_t plcPort = 30002)
    {
        const std::string path = folder.path() + "/crafted.pcap";
        const vexsim::UdpEndpoint host{0x7F000001, hostPort};
        const vexsim::UdpEndpoint plc{0x7F000001, plcPort};
        vexsim::PcapWriter writer(path);
        for (const std::string& datagram : datagrams) {
            uint16_t mark = 0;
            const bool fromHost = vexsim::readU16(datagram, 0, mark) && mark == reply::kRequestMark;
            writer.write(fromHost ? host : plc, fromHost ? plc : host, datagram);
        }
        return path;
    }

    vextest::TempFolder folder;
};

struct Clean {
    std::string datagram;
    Row expected;
};

TEST_F(DissectorTest, PacketsTheDemoDoesNotSendReadAsTheToolsPrintThem)
{
    const std::vector<Clean> table = {
        {host::idList(2, {42}), {"2", "1", "", "read parameters, 1 IDs", "", ""}},
        {reply::readParam({{42, 8, 1, vexsim::floatBits(2.5f)}}),
         {"1002", "1", "", "parameter values, 1 records", "2.5", ""}},
        {host::records(3, {{7, 2, 1, 0xFFFE}}),
         {"3", "1", "", "write parameters, 1 records", "-2", ""}},
        {reply::writeParam({{7, 6, 1, 0xFFFFFFFF}}),
         {"1003", "1", "", "parameters written, 1 records", "4294967295", ""}},
        {reply::actualValues({{9, 1, 1, 0xFF}, {10, 0, 1, 5}}),
         {"1001", "2", "", "actual values, 2 records", "-1|(not read)", ""}},
        {host::idList(6, {5, 6}), {"6", "2", "", "actions, 2 codes", "", ""}},
        {reply::action({0x80000000u, 1}), {"1006", "2", "", "action states, 2", "", ""}},
        {host::idList(5, {0x01020304}, 7), {"5", "1", "", "curve request, 1 items", "", ""}},
        {reply::common(1005, 1, 0, 0, ""), {"1005", "0", "", "curve reply", "", ""}},
        {host::common(15, 0, 0, "ab"), {"15", "0", "", "CAN transmit", "", ""}},
        {reply::common(1016, 1, 0, 0, ""), {"1016", "0", "", "CAN transmit reply", "", ""}},
        {reply::lineStatus(3), {"1007", "1", "", "line status 3", "", ""}},
        {reply::triggerAck(5, 0xFFDE, {{4101, 2}}),
         {"1017", "1", "5", "trigger ack group 5, data request error, 1 failed", "", ""}},
        {host::trigger(7, {4001, 4002},
                       u16s({1, 1, 2, 2}) + u32(4001) + u32(vexsim::floatBits(15.0f))),
         {"17", "2", "7", "trigger definition group 7, 2 data IDs", "", ""}},
        {reply::curve(103, 3, {1.5f, 2.5f}),
         {"1018", "2", "103", "curve group 103, 2 samples, last", "", ""}},
    };
    std::vector<std::string> datagrams;
    for (const Clean& row : table)
        datagrams.push_back(row.datagram);
    const auto rows = dissect(capture(datagrams));
    ASSERT_EQ(rows.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(rows[i], table[i].expected) << "packet " << i + 1;
}

struct Malformed {
    std::string what;
    std::string datagram;
    std::string expert;
};

TEST_F(DissectorTest, MalformedDatagramsGetExpertInfoAndNeverALuaError)
{
    std::string tooLong = reply::lineStatus(3);
    vexsim::putU16(tooLong, 2, 30);
    const std::vector<Malformed> table = {
        {"reply with the host's mark", reply::common(1007, 1, 0, 1, u32(3) + u16s({0}), 0x8899),
         "Start mark 0x8899; a PLC reply starts with 0x5588"},
        {"length field too large", tooLong, "Length field 30, datagram 20 bytes"},
        {"count beyond the datagram", reply::common(1006, 1, 0, 5, u32(1)),
         "Count 5 claims 20 bytes from offset 12; the datagram holds 4"},
        {"short record", reply::common(1001, 1, 0, 2, host::record({1, 4, 1, 7}) + "12345"),
         "5 bytes at offset 22 are short of a 10-byte record"},
        {"short line status", reply::common(1007, 1, 0, 1, "ab"),
         "A line status reply needs 20 bytes, the datagram has 16"},
        {"shorter than a head", std::string("\x88\x55\x0a\x00\xef\x03\x00\x00\x88\x66", 10),
         "10 bytes: shorter than a 12-byte head and the end mark"},
        {"failed entries beyond", reply::triggerFamily(1017, 1, u16s({5, 0, 3}) + u32(4101)),
         "Count 3 claims 18 bytes from offset 14; the datagram holds 4"},
        {"feature cut short",
         reply::triggerFamily(17, 1, u16s({7, 0, 0, 1, 2, 1}), reply::kRequestMark),
         "Start feature ends inside its condition type"},
        {"samples beyond", reply::triggerFamily(1018, 1, u16s({101, 0, 0, 9}) + u32(0)),
         "Count 9 claims 36 bytes from offset 16; the datagram holds 4"},
        {"unknown type", reply::common(4, 1, 0, 0, "", reply::kRequestMark),
         "Type code 4 is no vexplc packet type"},
    };
    std::vector<std::string> datagrams;
    for (const Malformed& row : table)
        datagrams.push_back(row.datagram);
    // Too short for any head: left to Wireshark's own data dissector, without an error.
    datagrams.push_back("\x88\x55\x01");
    const auto rows = dissect(capture(datagrams));
    ASSERT_EQ(rows.size(), datagrams.size());
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].what);
        EXPECT_NE(rows[i][kExpert].find(table[i].expert), std::string::npos) << rows[i][kExpert];
    }
    EXPECT_EQ(rows.back()[kType], "");
    EXPECT_EQ(rows.back()[kExpert], "");
}

TEST_F(DissectorTest, RandomBytesBehindEveryHeadNeverMakeALuaError)
{
    // Every type, each with both marks and random bytes of every length up to 60 behind its
    // mark and type; dissect() fails on any Lua error.
    std::mt19937 random(12);
    std::vector<std::string> datagrams;
    std::vector<std::string> types; // empty for datagrams too short for any head
    for (uint16_t type : {1, 1001, 2, 1002, 3, 1003, 2004, 1004, 5,    1005, 6,  1006,
                          7, 1007, 8, 1008, 9, 1009, 17,   1017, 2018, 1018, 15, 1016}) {
        for (size_t size = 6; size <= 60; ++size) {
            std::string datagram(size, '\0');
            for (char& byte : datagram)
                byte = static_cast<char>(random() & 0xFF);
            vexsim::putU16(datagram, 0, size % 2 ? reply::kReplyMark : reply::kRequestMark);
            vexsim::putU16(datagram, 4, type);
            datagrams.push_back(datagram);
            types.push_back(size >= 8 ? std::to_string(type) : "");
        }
    }
    const auto rows = dissect(capture(datagrams));
    ASSERT_EQ(rows.size(), datagrams.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][kType], types[i]) << "datagram " << i + 1;
}

TEST_F(DissectorTest, OtherPortsTakeThePreferenceWhereTheStartMarkIsWrong)
{
    // Without either start mark, only the port preference leads a datagram to the dissector.
    const std::string path =
        capture({reply::common(1007, 1, 0, 1, u32(3) + u16s({0}), 0x1234)}, 41001, 41002);
    const auto unclaimed = dissect(path);
    ASSERT_EQ(unclaimed.size(), 1u);
    EXPECT_EQ(unclaimed[0][kType], "");
    const auto rows = dissect(path, "41001-41002");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][kInfo], "line status 3");
    EXPECT_EQ(rows[0][kExpert], "Start mark 0x1234; a PLC reply starts with 0x5588");
}

// What tshark should show for a datagram of the demo, with the info and value it did show: the
// type, count and group its bytes give, and no expert info.
Row expectedFromBytes(const std::string& datagram, const Row& shown)
{
    // The DataIDList lengths of the trigger groups of examples/common.json.
    static const std::map<uint16_t, std::string> definitionIDs = {{2, "4"}, {5, "3"}, {101, "4"}};
    const uint16_t type = simtest::wordAt(datagram, 4);
    const uint16_t group = simtest::wordAt(datagram, 8);
    const auto countAt = [&](size_t at) { return std::to_string(simtest::wordAt(datagram, at)); };
    Row row{std::to_string(type), "", std::to_string(group), shown[kInfo], shown[kValue], ""};
    if (type == 17)
        row[kCount] = definitionIDs.at(group);
    else if (type == 1017 || type == 1018)
        row[kCount] = countAt(type == 1017 ? 12 : 14);
    else if (type != 2018)
        row = {std::to_string(type), countAt(10), "", shown[kInfo], shown[kValue], ""};
    return row;
}

TEST_F(DissectorTest, TheDemoCaptureShowsEveryPacketWithItsTypeCountAndGroupAndNoExpertInfo)
{
    // Free ports, not the example's: the dissector finds the packets by their start marks.
    const auto ports = vextest::freeUdpPorts(2);
    const std::string common = folder.path() + "/common.json";
    const std::string pcap = folder.path() + "/demo.pcap";
    vextest::writeFile(common, vextest::exampleCommon(ports[0], ports[1]));
    const std::vector<std::string> argv = {"bash",
                                           VEXPLC_SOURCE_DIR "/scripts/demo.sh",
                                           "--no-build",
                                           "--build-dir",
                                           VEXPLC_BINARY_DIR,
                                           "--plain",
                                           "--duration",
                                           "5",
                                           "--common",
                                           common,
                                           "--items",
                                           VEXPLC_SOURCE_DIR "/examples/items.json",
                                           "--out",
                                           folder.path() + "/out",
                                           "--pcap",
                                           pcap,
                                           "--sim-arg",
                                           "--alarm-interval",
                                           "--sim-arg",
                                           "1500",
                                           "--sim-arg",
                                           "--shot-interval",
                                           "--sim-arg",
                                           "1000"};
    const auto demo = vextest::runProcess(argv, 120s);
    ASSERT_EQ(demo.exitCode, 0) << demo.out << demo.err;

    const auto packets = simtest::readCapture(pcap).packets;
    const auto rows = dissect(pcap);
    ASSERT_EQ(rows.size(), packets.size());
    std::set<std::string> types;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], expectedFromBytes(packets[i].substr(28), rows[i])) << "packet " << i + 1;
        types.insert(rows[i][kType]);
    }
    const std::set<std::string> session = {"7",    "1007", "9",    "1009", "8",    "1008", "1",
                                           "1001", "17",   "1017", "1018", "2018", "1004", "2004"};
    EXPECT_EQ(types, session);
}

} // namespace
