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

std::string replaced(const std::string& from, const std::string& to)
{
    const size_t at = kValidFile.find(from);
    EXPECT_NE(at, std::string::npos) << "the test's base file lacks: " << from;
    return at == std::string::npos ? kValidFile
                                   : std::string(kValidFile).replace(at, from.size(), to);
}

std::string idList(unsigned int first, unsigned int count)
{
    std::string list = "[";
    for (unsigned int i = 0; i < count; ++i)
        list += (i ? ", " : "") + std::to_string(first + i);
    return list + "]";
}

// The report on the file at `path`: its sections, its problems and the verdict.
std::string reportAt(const std::string& path, const plchost::ItemDictionary* items = nullptr)
{
    plchost::CommonFileCheck check(path);
    {
        vextest::StdoutCapture libraryLines; // "parse version: ..." is the library's business
        check.run();
        if (items)
            check.checkItems(*items);
    }
    std::ostringstream text;
    check.printReport(text);
    return text.str();
}

// The report on a file holding `content`, checked against an items file holding `itemsJson`
// when there is one; the paths of the two files read FILE and ITEMS.
std::string report(const std::string& content, const std::string& itemsJson = "")
{
    const vextest::TempFile file(content);
    const vextest::TempFile itemsFile(itemsJson);
    plchost::ItemDictionary items;
    EXPECT_TRUE(itemsJson.empty() || items.load(itemsFile.path()));
    std::string text = reportAt(file.path(), itemsJson.empty() ? nullptr : &items);
    for (const auto& [path, name] :
         {std::pair<std::string, std::string>{file.path(), "FILE"}, {itemsFile.path(), "ITEMS"}}) {
        for (size_t at; (at = text.find(path)) != std::string::npos;)
            text.replace(at, path.size(), name);
    }
    return text;
}

const char* const kUsable = "Verdict: usable\n";
const char* const kNotUsable = "Verdict: not usable\n";

void expectHas(const std::string& text, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
}

TEST(CommonFileCheck, ValidFileIsSummarisedSectionBySection)
{
    expectHas(report(kValidFile),
              {"  Protocol: version 2, private word 5\n", "    Src  (this host): 127.0.0.1:30001\n",
               "    Host (the PLC):   127.0.0.1:30002\n",
               "  Line status: cycle time 3000 ms: a request every 1000 ms, offline after 3000 ms "
               "without a datagram\n",
               "  Actual values: cycle time 200 ms, 3 IDs (1001-1003)\n",
               "    block 1: 2 IDs (2001-2002), sent at start-up in 1 pack(s) of at most 50\n",
               "    group 5: 1 data ID (4101), parameter sets start 1 / send 0 / stop 0, 36-byte "
               "definition\n",
               "Problems: none\nVerdict: usable\n"});
}

// One row: a file holding one fault, the line of the report that names it, and the verdict.
struct BrokenFile {
    std::string content;
    std::string line;
    bool usable;
};

void expectReported(const BrokenFile& row)
{
    expectHas(report(row.content), {"  " + row.line + "\n", row.usable ? kUsable : kNotUsable});
}

TEST(CommonFileCheck, WhatOnlyTheHostCanJudgeIsNamedWithItsRecord)
{
    const std::string host =
        ",\n                \"Host\": {\"IP\": \"127.0.0.1\", \"Port\": 30002}";
    const BrokenFile rows[] = {
        {replaced(host, ""),
         "error: protocol, \"Host\": no usable endpoint (the PLC's address): the source sets up "
         "no socket and never talks to the PLC",
         false},
        {replaced("\"DataIDList\": [4101]", "\"DataIDList\": " + idList(4101, 400)),
         "error: trigger group 5: the definition would take 1632 bytes, more than the 1460 of one "
         "datagram; it is never sent and the trigger download stops here",
         false},
        {replaced("\"Port\": 30002", "\"Port\": 30001"),
         "error: \"Src\": 127.0.0.1:30001 is also the \"Host\" endpoint: the source would talk "
         "to itself, not to the PLC",
         false},
        {replaced("\"IP\": \"127.0.0.1\", \"Port\": 30001",
                  "\"IP\": \"192.0.2.1\", \"Port\": 30001"),
         "error: \"Src\": \"IP\" 192.0.2.1 is not an address of this machine: the source cannot "
         "bind it",
         false},
        {replaced("\"Port\": 30002", "\"Port\": 70000"),
         "error: protocol, \"Host\": \"Port\" 70000 is above 65535; the library would use its "
         "low 16 bits, 4464",
         false},
        {replaced("\"Port\": 30001", "\"Port\": 0"),
         "warning: protocol, \"Src\": \"Port\" 0 lets the system pick a port, which the PLC "
         "cannot know",
         true},
        {replaced("\"IP\": \"127.0.0.1\", \"Port\": 30002",
                  "\"IP\": \"plc.local\", \"Port\": 30002"),
         "error: protocol, \"Host\": \"IP\" \"plc.local\" is not a dotted IPv4 address", false},
        {replaced("{\"Type\": {\"ID\": 7, \"CycleTime\": 3000}},", ""),
         "error: no usable line status section (\"Type\" ID 7): no line status request is ever "
         "sent, so the PLC never asks for the mold set and the link never comes up",
         false},
        {replaced("{\"Type\": 1, \"DataIDList\": [2001", "{\"Type\": 2, \"DataIDList\": [2001"),
         "error: no usable mold block with \"Type\" 1, the block downloaded at start-up; the link "
         "never reaches state 3",
         false},
        {replaced("\"GroupID\": 5", "\"GroupID\": 70000"),
         "error: trigger group 70000: \"GroupID\" 70000 is above 65535; the PLC acknowledges 16 "
         "bits only, so this definition would be sent again forever",
         false},
        {replaced("\"GroupID\": 5", "\"GroupID\": 5, \"OutTime\": 65536"),
         "warning: trigger group 5: \"OutTime\" 65536 travels cut to 16 bits: 0", true},
        {replaced("[1001, 1002, 1003]", idList(1001, 51)),
         "warning: actual values: \"DataIDList\" holds 51 IDs; only the first 50 are requested "
         "and every reply is reported as \"Actual Update MayBe Failed\"",
         true},
        {replaced("[1001, 1002, 1003]", "[]"),
         "warning: no usable actual value section (\"Type\" ID 1 with a \"DataIDList\"): no "
         "actual values are requested",
         true},
        // Outside the known tables: data type codes 1 to 9, condition types in 16 bits.
        {replaced("[2001, 2002]", "[2001, 2002], \"DataTypeList\": [4, 12]"),
         "error: mold block 1: \"DataTypeList\" entry 2 is 12, not a data type code (1 to 9): "
         "the PLC cannot read its value",
         false},
        {replaced("{\"Type\": 1, \"Params\"", "{\"Type\": 70000, \"Params\""),
         "error: trigger group 5, \"StartTrigger\" set 1: condition type 70000 is not a condition "
         "type (1 to 65535)",
         false},
        {replaced("{\"Type\": 1, \"Params\"", "{\"Params\""),
         "error: trigger group 5, \"StartTrigger\" set 1: condition type 0 is not a condition "
         "type (1 to 65535)",
         false},
        // Duplicate IDs in each kind of list.
        {replaced("[1001, 1002, 1003]", "[1001, 1002, 1001, 1002]"),
         "warning: actual values: \"DataIDList\" names 2 IDs more than once: 1001-1002", true},
        {replaced("[2001, 2002]", "[2001, 2002, 2002]"),
         "warning: mold block 1: \"DataIDList\" names 1 ID more than once: 2002", true},
        {replaced("[4101]", "[4101, 4101]"),
         "warning: trigger group 5: \"DataIDList\" names 1 ID more than once: 4101", true},
        {replaced("[2001, 2002]", "[2001, 2002], \"DataStateList\": [1]"),
         "warning: mold block 1: \"DataStateList\" has 1 entries for 2 IDs", true}};
    for (const BrokenFile& row : rows) {
        // wine binds any address, so it cannot tell a foreign one.
        if (vextest::runningUnderWine() && row.line.find("192.0.2.1") != std::string::npos)
            continue;
        expectReported(row);
    }
}

TEST(CommonFileCheck, WhatTheLibraryRefusesIsListedWithItsLineAndPointer)
{
    const std::string typeSeven = "{\"Type\": {\"ID\": 7, \"CycleTime\": 3000}}";
    const std::string refused =
        "error: the library refuses the file as a whole (its parser's notes above say where)";
    const BrokenFile rows[] = {
        {replaced(typeSeven, "{\"Type\": {\"CycleTime\": 3000}}"),
         "FILE:5: /1/Type: \"Type\" is not an object with an \"ID\"; the file is refused", false},
        {replaced(typeSeven, "{\"Type\": {\"CycleTime\": 3000}}"), refused, false},
        {replaced("[\n  {\"Protocol\"", "[5,\n  {\"Protocol\""),
         "FILE:1: /0: section is not an object; the file is refused", false},
        {replaced("[{\"Type\": 1, \"DataIDList\": [2001, 2002]}]", "{}"),
         "FILE:7: /3/Type/MoldList: \"MoldList\" is not a list; the mold set is refused", false},
        {replaced("\"CycleTime\": 3000", "\"Cycletime\": 3000"),
         "FILE:5: /1/Type/Cycletime: unknown key \"Cycletime\"; ignored", true},
        {replaced("[\n  {\"Protocol\"", "[{\"Type\": {\"ID\": 3}},\n  {\"Protocol\""),
         "FILE:1: /0/Type/ID: unknown section ID 3; ignored", true},
        {replaced("[1, 2.5]", "[1, \"x\"]"),
         "FILE:9: /4/Type/StartTrigger/0/Condition/0/Params/1: not a number; the list ends "
         "before it and is refused",
         true}};
    for (const BrokenFile& row : rows)
        expectReported(row);
}

TEST(CommonFileCheck, TheLibrarysOwnRefusalsAreListedWithTheirLine)
{
    const std::string text = report(replaced("[1001, 1002, 1003]", "[1001,\n 1002, -3]"));
    EXPECT_NE(text.find("The library's parser refused or skipped 1 value:\n  FILE:7: "
                        "/2/Type/DataIDList/2: not an unsigned 32-bit integer; the list ends "
                        "before it and is refused\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(report(kValidFile).find("The library's parser"), std::string::npos);
}

TEST(CommonFileCheck, UnreadableFileOrBadJsonIsNamedWithLineAndColumn)
{
    for (const auto& [text, problem] :
         {std::pair<std::string, std::string>{
              report("[\n  {\"Protocol\": {\n    \"Version\": 2,,\n"),
              "FILE:3:18: JSON syntax error: Missing a name for object member.\n"},
          {report("\xEF\xBB\xBF" + kValidFile),
           "FILE:1:1: the file starts with a UTF-8 byte-order mark, which is not allowed (save it "
           "as UTF-8 without BOM)\n"},
          {reportAt("/nonexistent/common.json"),
           "/nonexistent/common.json: cannot read the file: No such file or directory\n"}})
        EXPECT_NE(text.find("Problems: 1 error, 0 warnings\n  error: " + problem + kNotUsable),
                  std::string::npos)
            << text;
}

TEST(CommonFileCheck, ItemsMustGiveEveryMoldSetIDAValue)
{
    const std::string few =
        report(replaced("[2001, 2002]", "[2001, 2002], \"DataTypeList\": [4, 5]"), R"([
      {"ID": 2001, "Name": "Stage 1 position", "DataType": 4, "Value": 10},
      {"ID": 2002, "Name": "Stage 1 time", "DataType": 6},
      {"ID": 4101, "Name": "Reject counter", "DataType": 5}
    ])");
    // Many IDs of one kind make one line.
    const std::string many = report(replaced("[2001, 2002]", idList(2001, 120)),
                                    R"([{"ID": 1001, "Name": "Zone", "DataType": 7}])");
    expectHas(few, {"  error: ITEMS: mold set ID 2002 (Stage 1 time) has no \"Value\": its pack "
                    "would be sent again forever\n",
                    "  warning: ITEMS: ID 4101 of trigger group 5 has no \"ValueT\": its "
                    "triggered values are not stored\n",
                    "  warning: ITEMS: actual ID 1003 is not in the item dictionary and is shown "
                    "by number\n",
                    "  error: ITEMS: ID 2002 (Stage 1 time) has data type 6, but \"DataTypeList\" "
                    "of mold block 1 gives 5\n",
                    kNotUsable});
    expectHas(many, {"  error: ITEMS: 120 mold set IDs are not in the item dictionary, so their "
                     "packs would be sent again forever: 2001-2120\n",
                     "  warning: ITEMS: actual ID 1002 is not in the item dictionary", kNotUsable});
}

} // namespace
