// SPDX-License-Identifier: MIT
// The items file, the command line and the -v decode of plcsim.
#include "itemtable.h"
#include "plcdecode.h"
#include "simoptions.h"

#include "hostpackets.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
namespace host = hostpackets;

TEST(ItemTable, ReadsTheItemsFile)
{
    vextest::TempFile file(R"([{"ID": 1001, "Name": "Zone 1", "DataType": 2, "ValueT": 6,
                                "Value": 230.5}, {"ID": 1002}])");
    const vexsim::ItemTable table = vexsim::ItemTable::load(file.path());
    ASSERT_NE(table.find(1001), nullptr);
    EXPECT_EQ(table.find(1001)->name, "Zone 1");
    EXPECT_EQ(table.find(1001)->value, 230.5);
    EXPECT_EQ(table.dataType(1001), 2);
    EXPECT_EQ(table.valueT(1001), 6u);
    EXPECT_EQ(table.dataType(1002), 8) << "float when the file says nothing";
    EXPECT_EQ(table.dataType(9999), 8);
}

struct BadItems {
    const char* json;
    const char* message;
};

class ItemTableErrors : public ::testing::TestWithParam<BadItems> {};

TEST_P(ItemTableErrors, NameTheFileAndTheEntry)
{
    try {
        vexsim::ItemTable::parse(GetParam().json, "items.json");
        FAIL() << "accepted " << GetParam().json;
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ItemTableErrors,
    ::testing::Values(
        BadItems{"{}", "items.json: expected an array of item objects, not an object"},
        BadItems{"", "items.json: the items file is empty (a JSON array was expected)"},
        BadItems{"[{\"ID\": 1}, 3]", "items.json: item 2: must be an object, not a number"},
        BadItems{"[{\"ID\": -1}]",
                 "items.json: item 1: \"ID\" must be an unsigned integer, not a negative number"},
        BadItems{"[{\"Name\": \"x\"}]", "items.json: item 1: \"ID\" is missing"},
        BadItems{"[{\"ID\": 1, \"DataType\": 300}]",
                 "items.json: item 1: (ID 1) \"DataType\" is not 0..255"},
        BadItems{"[{\"ID\": 1, \"Name\": 5}]",
                 "items.json: item 1: (ID 1) \"Name\" must be a string, not a number"},
        BadItems{"[{\"ID\": 1, \"Value\": \"hot\"}]",
                 "items.json: item 1: (ID 1) \"Value\" must be a number, not a string"},
        BadItems{"[{\"ID\": 1},\n 1", "items.json:2:3: JSON syntax error: Missing a comma or "
                                      "']' after an array element."}));

TEST(ItemTable, NamesAFolderOrAMissingFileForWhatItIs)
{
    const vextest::TempFile file("[]");
    const std::string folder = std::filesystem::path(file.path()).parent_path().string();
    for (const auto& [path, why] :
         {std::pair<std::string, std::string>{folder, "it is a directory"},
          {file.path() + ".none", "No such file or directory"}}) {
        try {
            vexsim::ItemTable::load(path);
            FAIL() << "loaded " << path;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), path + ": cannot read the items file: " + why);
        }
    }
}

struct RawRow {
    uint8_t code;
    double value;
    uint32_t raw;
};

class DataTypeBytes : public ::testing::TestWithParam<RawRow> {};

TEST_P(DataTypeBytes, EncodeAndDecode)
{
    EXPECT_EQ(vexsim::rawForDataType(GetParam().code, GetParam().value), GetParam().raw);
    if (GetParam().raw != 0) {
        EXPECT_EQ(vexsim::valueForDataType(GetParam().code, GetParam().raw), GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, DataTypeBytes,
                         ::testing::Values(RawRow{1, -2, 0xFE}, RawRow{9, 100, 0x64},
                                           RawRow{2, -2, 0xFFFE}, RawRow{3, 300, 0x12C},
                                           RawRow{4, -2, 0xFFFFFFFE},
                                           RawRow{6, 4294967295.0, 0xFFFFFFFF},
                                           RawRow{8, 2.5, 0x40200000}, RawRow{7, 1.5, 0x3FC00000},
                                           RawRow{0, 5, 0}, RawRow{10, 5, 0}));

TEST(ValueT, UsesTheStorageNumbering)
{
    EXPECT_EQ(vexsim::rawForValueT(6, -2), 0xFFFEu);
    EXPECT_EQ(vexsim::rawForValueT(4, 4294967295.0), 0xFFFFFFFFu);
    EXPECT_EQ(vexsim::rawForValueT(9, 0.5), 0x3F000000u);
    EXPECT_EQ(vexsim::rawForValueT(1, 1000), 0x7Fu) << "clamped to the type's range";
    EXPECT_EQ(vexsim::rawForValueT(11, 3), 0u);
}

TEST(Options, ParsesEveryKindOfValue)
{
    const vexsim::SimOptions options = vexsim::parseOptions(
        {"--bind", "0.0.0.0:4000", "--host=10.0.0.2:4001", "--loss", "0.25", "--silence",
         "1000:500", "--seed", "9", "--version", "2", "-v", "--duration", "1.5"});
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
}

struct BadOption {
    std::vector<std::string> arguments;
    const char* message;
};

class OptionErrors : public ::testing::TestWithParam<BadOption> {};

TEST_P(OptionErrors, NameTheOption)
{
    try {
        vexsim::parseOptions(GetParam().arguments);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, OptionErrors,
    ::testing::Values(
        BadOption{{"--loss", "1.5"}, "option --loss: 1.5 is not a probability between 0 and 1"},
        BadOption{{"--bind", "localhost:1"}, "option --bind: 'localhost' is not an IPv4 address"},
        BadOption{{"--bind", "127.0.0.1:70000"}, "option --bind: 70000 is out of range 0..65535"},
        BadOption{{"--silence", "100"},
                  "option --silence: '100' is not START:LENGTH in milliseconds"},
        BadOption{{"--delay", "fast"}, "option --delay: 'fast' is not a whole number"},
        BadOption{{"--seed"}, "option --seed: needs a value"},
        BadOption{{"--frobnicate"}, "unknown option '--frobnicate' (see --help)"}));

struct DecodeRow {
    std::string bytes;
    const char* text;
};

class Decode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Decode, DescribesOneLine)
{
    EXPECT_EQ(vexsim::describeDatagram(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, Decode,
    ::testing::Values(
        DecodeRow{host::lineStatus(2, 3000, 42), "7 #42 20B line status request v2 cycle 3000 ms"},
        DecodeRow{vexsim::reply::triggerAck(7, 0xFFDF, {{1, 2}}),
                  "1017 #0 22B trigger ack group 7 status 0xffdf failed 1"},
        DecodeRow{vexsim::reply::curve(101, 3, {1, 2, 3, 4}),
                  "1018 #0 34B curve group 101 state 3, 4 samples"},
        DecodeRow{host::moldPack(2001, 2), "9 #0 34B mold set pack, 2 records (first ID 2001 "
                                           "type 8)"},
        DecodeRow{host::lineStatus(2, 3000).substr(0, 12), "7 #0 12B too short"},
        DecodeRow{std::string("\x99\x88", 2), "? 2B too short for a head"}));

} // namespace
