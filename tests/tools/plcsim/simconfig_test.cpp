// SPDX-License-Identifier: MIT
// The items file, the command line and the -v decode of plcsim.
#include "itemtable.h"
#include "plcdecode.h"
#include "simoptions.h"

#include "simtest.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using simtest::errorOf;

TEST(ItemTable, ReadsTheItemsFileAndThrowsEveryFault)
{
    vextest::TempFile file(R"([{"ID": 1001, "Name": "Zone 1", "DataType": 7, "ValueT": 6,
                                "Value": 230.5}, {"ID": 1002, "Name": "P", "DataType": 3}])");
    const vexsim::ItemTable table = vexsim::ItemTable::load(file.path());
    ASSERT_NE(table.find(1001), nullptr);
    EXPECT_EQ(table.find(1001)->name, "Zone 1");
    EXPECT_EQ(table.find(1001)->value, 230.5);
    EXPECT_EQ(table.dataType(1001), 7);
    EXPECT_EQ(table.valueT(1001), 6u);
    EXPECT_EQ(table.valueT(1002), 9u) << "float when the file says nothing";
    EXPECT_EQ(table.dataType(9999), 8);
    EXPECT_EQ(errorOf<std::runtime_error>(
                  [] { vexsim::ItemTable::parse("[{\"ID\": 1},\n 3]", "items.json"); }),
              "items.json:1: item 1 (ID 1): \"Name\" is missing\n"
              "items.json:1: item 1 (ID 1): \"DataType\" is missing\n"
              "items.json:2: item 2: must be an object, not the number 3");
}

TEST(DataTypes, EncodeAndDecodeBothNumberings)
{
    struct {
        uint8_t code;
        double value;
        uint32_t raw;
    } const rows[] = {{1, -2, 0xFE},
                      {9, 100, 0x64},
                      {2, -2, 0xFFFE},
                      {3, 300, 0x12C},
                      {4, -2, 0xFFFFFFFE},
                      {6, 4294967295.0, 0xFFFFFFFF},
                      {8, 2.5, 0x40200000},
                      {7, 1.5, 0x3FC00000},
                      {0, 5, 0},
                      {10, 5, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.code));
        EXPECT_EQ(vexsim::rawForDataType(row.code, row.value), row.raw);
        if (row.raw != 0) {
            EXPECT_EQ(vexsim::valueForDataType(row.code, row.raw), row.value);
        }
    }
    // The storage value types number the same kinds differently.
    EXPECT_EQ(vexsim::rawForValueT(6, -2), 0xFFFEu);
    EXPECT_EQ(vexsim::rawForValueT(4, 4294967295.0), 0xFFFFFFFFu);
    EXPECT_EQ(vexsim::rawForValueT(9, 0.5), 0x3F000000u);
    EXPECT_EQ(vexsim::rawForValueT(1, 1000), 0x7Fu) << "clamped to the type's range";
    EXPECT_EQ(vexsim::rawForValueT(11, 3), 0u);
}

TEST(Options, ParsesEveryKindOfValue)
{
    const vexsim::SimOptions options =
        vexsim::parseOptions({"--bind", "0.0.0.0:4000", "--host=10.0.0.2:4001", "--loss", "0.25",
                              "--silence", "1000:500", "--seed", "9", "--version", "2", "-v",
                              "--duration", "1.5", "--pcap", "s.pcap"});
    EXPECT_EQ(options.bindIp, "0.0.0.0");
    EXPECT_EQ(options.bindPort, 4000);
    EXPECT_EQ(options.hostIp, "10.0.0.2");
    EXPECT_EQ(options.hostPort, 4001);
    EXPECT_EQ(options.faults.loss, 0.25);
    ASSERT_EQ(options.faults.silences.size(), 1u);
    EXPECT_EQ(options.faults.silences[0].start, 1000ms);
    EXPECT_EQ(options.faults.silences[0].length, 500ms);
    EXPECT_EQ(options.faults.seed, 9u);
    EXPECT_EQ(options.simulator.seed, 9u);
    EXPECT_EQ(options.simulator.version, 2);
    EXPECT_TRUE(options.verbose);
    EXPECT_EQ(options.durationSeconds, 1.5);
    EXPECT_EQ(options.pcapPath, "s.pcap");
}

TEST(Options, ErrorsNameTheOption)
{
    const std::pair<std::vector<std::string>, const char*> rows[] = {
        {{"--loss", "1.5"}, "option --loss: 1.5 is not a probability between 0 and 1"},
        {{"--bind", "localhost:1"}, "option --bind: 'localhost' is not an IPv4 address"},
        {{"--bind", "127.0.0.1:70000"}, "option --bind: 70000 is out of range 0..65535"},
        {{"--silence", "100"}, "option --silence: '100' is not START:LENGTH in milliseconds"},
        {{"--delay", "fast"}, "option --delay: 'fast' is not a whole number"},
        {{"--seed"}, "option --seed: needs a value"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"}};
    for (const auto& [arguments, message] : rows) {
        EXPECT_EQ(errorOf<std::invalid_argument>(
                      [&arguments = arguments] { vexsim::parseOptions(arguments); }),
                  message);
    }
}

TEST(Decode, DescribesOneLine)
{
    const std::pair<std::string, const char*> rows[] = {
        {host::lineStatus(2, 3000, 42), "7 #42 20B line status request v2 cycle 3000 ms"},
        {vexsim::reply::triggerAck(7, 0xFFDF, {{1, 2}}),
         "1017 #0 22B trigger ack group 7 status 0xffdf failed 1"},
        {vexsim::reply::curve(101, 3, {1, 2, 3, 4}),
         "1018 #0 34B curve group 101 state 3, 4 samples"},
        {host::moldPack(2001, 2), "9 #0 34B mold set pack, 2 records (first ID 2001 type 8)"},
        {host::lineStatus(2, 3000).substr(0, 12), "7 #0 12B too short"},
        {std::string("\x99\x88", 2), "? 2B too short for a head"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(vexsim::describeDatagram(bytes), text);
}

} // namespace
