// SPDX-License-Identifier: MIT
#include "commonfilecheck.h"

#include "itemdictionary.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string kValidFile = R"([
  {"Protocol": {"Version": 2, "Private": 5,
                "Src": {"IP": "127.0.0.1", "Port": 30001},
                "Host": {"IP": "127.0.0.1", "Port": 30002}}},
  {"Type": {"ID": 7, "CycleTime": 3000}},
  {"Type": {"ID": 1, "CycleTime": 200, "DataIDList": [1001, 1002, 1003]}},
  {"Type": {"ID": 9, "MoldList": [{"Type": 1, "DataIDList": [2001, 2002]}]}},
  {"Type": {"ID": 17, "GroupID": 5, "DataIDList": [4101],
            "StartTrigger": [{"Condition": [{"Type": 1, "Params": [1, 2.5]}]}]}}
])";

std::string replaced(const std::string& text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "the test's base file lacks: " << from;
    return at == std::string::npos ? text : text.substr(0, at) + to + text.substr(at + from.size());
}

std::string idList(unsigned int first, unsigned int count)
{
    std::string list = "[";
    for (unsigned int i = 0; i < count; ++i)
        list += (i ? ", " : "") + std::to_string(first + i);
    return list + "]";
}

struct Checked {
    bool usable = false;
    std::string problems;
    std::string report;
};

Checked check(const std::string& path, const plchost::ItemDictionary* items = nullptr)
{
    plchost::CommonFileCheck check(path);
    {
        vextest::StdoutCapture libraryLines; // "parse version: ..." is the library's business
        check.run();
        if (items)
            check.checkItems(*items);
    }
    Checked result;
    result.usable = check.usable();
    std::ostringstream problems;
    check.printProblems(problems, false);
    result.problems = problems.str();
    std::ostringstream report;
    check.printReport(report);
    result.report = report.str();
    return result;
}

Checked checkText(const std::string& text)
{
    vextest::TempFile file(text);
    return check(file.path());
}

TEST(CommonFileCheck, ValidFileIsSummarisedSectionBySection)
{
    const Checked result = checkText(kValidFile);
    EXPECT_TRUE(result.usable) << result.problems;
    EXPECT_EQ(result.problems, "");
    for (const char* line : {
             "  Protocol (section 1): version 2, private word 5\n",
             "    Src  (this host): 127.0.0.1:30001\n",
             "    Host (the PLC):   127.0.0.1:30002\n",
             "  Line status (section 2): cycle time 3000 ms: a request every 1000 ms, offline "
             "after 3000 ms without a datagram\n",
             "  Actual values (section 3): cycle time 200 ms, 3 IDs (1001-1003)\n",
             "    block 1: 2 IDs (2001-2002), sent at start-up in 1 pack(s) of at most 50\n",
             "    group 5 (section 5): 1 data ID (4101), parameter sets start 1 / send 0 / stop 0, "
             "46-byte packet\n",
             "Problems: none\n",
             "Verdict: usable\n",
         })
        EXPECT_NE(result.report.find(line), std::string::npos) << line << "\nin\n" << result.report;
}

struct BrokenFile {
    const char* name;
    std::string from;
    std::string to;
    std::string problem; // one line of the problem list
    bool usable;
};

class BrokenFiles : public testing::TestWithParam<BrokenFile> {};

TEST_P(BrokenFiles, NameTheRecordAndWhy)
{
    const BrokenFile& row = GetParam();
    const Checked result = checkText(replaced(kValidFile, row.from, row.to));
    EXPECT_NE(result.problems.find("  " + row.problem + "\n"), std::string::npos)
        << "expected: " << row.problem << "\ngot:\n"
        << result.problems;
    EXPECT_EQ(result.usable, row.usable) << result.problems;
}

const std::string kHost = R"(,
                "Host": {"IP": "127.0.0.1", "Port": 30002})";

INSTANTIATE_TEST_SUITE_P(
    CommonFileCheck, BrokenFiles,
    testing::Values(
        BrokenFile{"MissingHost", kHost, "",
                   "error: section 1 (protocol): no \"Host\" endpoint (the PLC's address): the "
                   "source sets up no socket and never talks to the PLC",
                   false},
        BrokenFile{"EmptyActualIDList", "[1001, 1002, 1003]", "[]",
                   "error: section 3 (actual values): \"DataIDList\" is empty; the actual-value "
                   "subscription is never sent",
                   false},
        BrokenFile{"ActualIDNotUnsigned", "[1001, 1002, 1003]", "[1001, -2]",
                   "error: section 3 (actual values): \"DataIDList\" element 2 is the number -2, "
                   "not an unsigned integer, so the list is invalid; the actual-value "
                   "subscription is never sent",
                   false},
        BrokenFile{"MalformedParamsElement", "[1, 2.5]", "[1, \"x\"]",
                   "error: section 5 (trigger definition), \"StartTrigger\" set 1, condition 1: "
                   "\"Params\" element 2 is a string, not a 32-bit number: the library prints "
                   "\"Data Type Convert Error .....\" and sends only the 1 parameter(s) before it",
                   false},
        BrokenFile{"ParamsElementTooWide", "[1, 2.5]", "[1, 5000000000]",
                   "error: section 5 (trigger definition), \"StartTrigger\" set 1, condition 1: "
                   "\"Params\" element 2 is an integer that needs more than 32 bits, not a "
                   "32-bit number: the library prints \"Data Type Convert Error .....\" and sends "
                   "only the 1 parameter(s) before it",
                   false},
        BrokenFile{"TriggerTooLargeForOnePacket", "\"DataIDList\": [4101]",
                   "\"DataIDList\": " + idList(4101, 400),
                   "error: section 5 (trigger definition): the definition of group 5 would be a "
                   "1642-byte packet, more than the 1460 bytes of one datagram; it is never sent "
                   "and the trigger download stops here",
                   false},
        BrokenFile{"PortAbove16Bits", "\"Port\": 30002", "\"Port\": 70000",
                   "error: section 1 (protocol), \"Host\": \"Port\" 70000 is above 65535; the "
                   "library would use its low 16 bits, 4464",
                   false},
        BrokenFile{"HostIPNotAnAddress", "\"IP\": \"127.0.0.1\", \"Port\": 30002",
                   "\"IP\": \"plc.local\", \"Port\": 30002",
                   "error: section 1 (protocol), \"Host\": \"IP\" \"plc.local\" is not a dotted "
                   "IPv4 address",
                   false},
        BrokenFile{"TypeWithoutSectionCode", "{\"ID\": 7, \"CycleTime\": 3000}",
                   "{\"CycleTime\": 3000}",
                   "error: section 2: \"Type\" must be an object holding the section code "
                   "\"ID\", not an object without \"ID\"; the library rejects the whole file here",
                   false},
        BrokenFile{"SectionNotAnObject", "[\n  {\"Protocol\"", "[5,\n  {\"Protocol\"",
                   "error: section 1: is the number 5, not an object; the library rejects the "
                   "whole file here",
                   false},
        BrokenFile{"NoLineStatusSection", "{\"Type\": {\"ID\": 7, \"CycleTime\": 3000}},", "",
                   "error: no line status section (\"Type\" ID 7): no line status request is "
                   "ever sent, so the PLC never asks for the mold set and the link never comes up",
                   false},
        BrokenFile{"NoMoldBlockOne", "{\"Type\": 1, \"DataIDList\": [2001",
                   "{\"Type\": 2, \"DataIDList\": [2001",
                   "error: section 4 (mold set): no usable mold block with \"Type\" 1, the block "
                   "downloaded at start-up; the link never reaches state 3",
                   false},
        BrokenFile{"MoldListNotAnArray", "[{\"Type\": 1, \"DataIDList\": [2001, 2002]}]", "{}",
                   "error: section 4 (mold set): \"MoldList\" must be an array of mold block "
                   "objects, not an object; the mold set record is invalid",
                   false},
        BrokenFile{"GroupAbove16Bits", "\"GroupID\": 5", "\"GroupID\": 70000",
                   "error: section 5 (trigger definition): \"GroupID\" 70000 is above 65535; the "
                   "PLC acknowledges 16 bits only, so this definition would be sent again forever",
                   false},
        BrokenFile{"MisspelledKey", "\"CycleTime\": 3000", "\"Cycletime\": 3000",
                   "warning: section 2 (line status): unknown key \"Cycletime\" is ignored (keys "
                   "are case-sensitive)",
                   true},
        BrokenFile{"KeyBesideType", "{\"Type\": {\"ID\": 7, \"CycleTime\": 3000}}",
                   "{\"Type\": {\"ID\": 7}, \"CycleTime\": 3000}",
                   "warning: section 2: key \"CycleTime\" beside \"Type\" is ignored; a "
                   "section's keys belong inside the \"Type\" object",
                   true},
        BrokenFile{"UnknownSectionCode", "[\n  {\"Protocol\"",
                   "[{\"Type\": {\"ID\": 3}},\n  {\"Protocol\"",
                   "warning: section 1: section code 3 is not one of 1, 7, 9 or 17; the section "
                   "is ignored",
                   true},
        BrokenFile{"MoreThanFiftyActualIDs", "[1001, 1002, 1003]", idList(1001, 51),
                   "warning: section 3 (actual values): \"DataIDList\" holds 51 IDs; only the "
                   "first 50 are requested and every reply is reported as \"Actual Update MayBe "
                   "Failed\"",
                   true}),
    [](const testing::TestParamInfo<BrokenFile>& info) { return std::string(info.param.name); });

TEST(CommonFileCheck, SyntaxErrorNamesLineAndColumn)
{
    vextest::TempFile file("[\n  {\"Protocol\": {\n    \"Version\": 2,,\n");
    const Checked result = check(file.path());
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.problems, "  error: " + file.path() +
                                   ":3:18: JSON syntax error: Missing a name for object member.\n");
}

TEST(CommonFileCheck, ByteOrderMarkIsRefused)
{
    vextest::TempFile file("\xEF\xBB\xBF" + kValidFile);
    const Checked result = check(file.path());
    EXPECT_FALSE(result.usable);
    EXPECT_NE(result.problems.find(file.path() + ":1:1: the file starts with a UTF-8 byte-order "
                                                 "mark"),
              std::string::npos)
        << result.problems;
}

TEST(CommonFileCheck, UnreadableFileIsNamed)
{
    const Checked result = check("/nonexistent/common.json");
    EXPECT_FALSE(result.usable);
    EXPECT_EQ(result.problems, "  error: /nonexistent/common.json: cannot read the file: No such "
                               "file or directory\n");
    EXPECT_NE(result.report.find("Verdict: not usable\n"), std::string::npos);
}

TEST(CommonFileCheck, ItemsMustGiveEveryMoldSetIDAValue)
{
    vextest::TempFile file(kValidFile);
    vextest::TempFile itemsFile(R"([
      {"ID": 2001, "Name": "Stage 1 position", "DataType": 4, "Value": 10},
      {"ID": 2002, "Name": "Stage 1 time", "DataType": 6},
      {"ID": 4101, "Name": "Reject counter", "DataType": 5}
    ])");
    plchost::ItemDictionary items;
    ASSERT_TRUE(items.load(itemsFile.path()));
    const Checked result = check(file.path(), &items);
    EXPECT_FALSE(result.usable);
    EXPECT_NE(result.problems.find("  error: " + itemsFile.path() +
                                   ": mold set ID 2002 (Stage 1 time) has no "
                                   "\"Value\": its pack would be sent again forever\n"),
              std::string::npos)
        << result.problems;
    EXPECT_NE(result.problems.find("  warning: " + itemsFile.path() +
                                   ": ID 4101 of trigger group 5 has no "
                                   "\"ValueT\": its triggered values are not stored\n"),
              std::string::npos)
        << result.problems;
    EXPECT_NE(result.problems.find("  warning: " + itemsFile.path() +
                                   ": actual ID 1003 is not in the item "
                                   "dictionary and is shown by number\n"),
              std::string::npos)
        << result.problems;
}

TEST(CommonFileCheckItems, ManyIDsOfOneKindMakeOneLine)
{
    vextest::TempFile moreMold(replaced(kValidFile, "[2001, 2002]", idList(2001, 120)));
    vextest::TempFile itemsFile(R"([{"ID": 1001, "Name": "Zone", "DataType": 7}])");
    plchost::ItemDictionary items;
    ASSERT_TRUE(items.load(itemsFile.path()));
    const Checked result = check(moreMold.path(), &items);
    EXPECT_FALSE(result.usable);
    EXPECT_NE(result.problems.find("  error: " + itemsFile.path() +
                                   ": 120 mold set IDs are not in the item dictionary, so their "
                                   "packs would be sent again forever: 2001-2120\n"),
              std::string::npos)
        << result.problems;
    EXPECT_NE(result.problems.find("  warning: " + itemsFile.path() +
                                   ": actual ID 1002 is not in the item dictionary"),
              std::string::npos)
        << result.problems;
}

} // namespace
