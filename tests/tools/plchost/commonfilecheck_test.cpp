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

TEST(CommonFileCheck, ValidFileIsSummarisedSectionBySection)
{
    const std::string text = report(kValidFile);
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
             "Problems: none\nVerdict: usable\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
}

TEST(CommonFileCheck, BrokenFilesNameTheRecordAndWhy)
{
    const std::string host =
        ",\n                \"Host\": {\"IP\": \"127.0.0.1\", \"Port\": 30002}";
    const std::string typeSeven = "{\"Type\": {\"ID\": 7, \"CycleTime\": 3000}}";
    // Each file holds one problem (one line of the problem list): an error makes it unusable.
    const std::pair<std::string, std::string> rows[] = {
        {replaced(host, ""),
         "error: section 1 (protocol): no \"Host\" endpoint (the PLC's address): the source sets "
         "up no socket and never talks to the PLC"},
        {replaced("[1001, 1002, 1003]", "[]"),
         "error: section 3 (actual values): \"DataIDList\" is empty; the actual-value "
         "subscription is never sent"},
        {replaced("[1001, 1002, 1003]", "[1001, -2]"),
         "error: section 3 (actual values): \"DataIDList\" element 2 is the number -2, not an "
         "unsigned integer, so the list is invalid; the actual-value subscription is never sent"},
        {replaced("[1, 2.5]", "[1, \"x\"]"),
         "error: section 5 (trigger definition), \"StartTrigger\" set 1, condition 1: \"Params\" "
         "element 2 is a string, not a 32-bit number: the library prints \"Data Type Convert "
         "Error .....\" and sends only the 1 parameter(s) before it"},
        {replaced("[1, 2.5]", "[1, 5000000000]"),
         "error: section 5 (trigger definition), \"StartTrigger\" set 1, condition 1: \"Params\" "
         "element 2 is an integer that needs more than 32 bits, not a 32-bit number: the library "
         "prints \"Data Type Convert Error .....\" and sends only the 1 parameter(s) before it"},
        {replaced("\"DataIDList\": [4101]", "\"DataIDList\": " + idList(4101, 400)),
         "error: section 5 (trigger definition): the definition of group 5 would be a 1642-byte "
         "packet, more than the 1460 bytes of one datagram; it is never sent and the trigger "
         "download stops here"},
        {replaced("\"Port\": 30002", "\"Port\": 30001"),
         "error: \"Src\": 127.0.0.1:30001 is also the \"Host\" endpoint: the source would talk "
         "to itself, not to the PLC"},
        {replaced("\"IP\": \"127.0.0.1\", \"Port\": 30001",
                  "\"IP\": \"192.0.2.1\", \"Port\": 30001"),
         "error: \"Src\": \"IP\" 192.0.2.1 is not an address of this machine: the source cannot "
         "bind it"},
        {replaced("\"Port\": 30002", "\"Port\": 70000"),
         "error: section 1 (protocol), \"Host\": \"Port\" 70000 is above 65535; the library would "
         "use its low 16 bits, 4464"},
        {replaced("\"IP\": \"127.0.0.1\", \"Port\": 30002",
                  "\"IP\": \"plc.local\", \"Port\": 30002"),
         "error: section 1 (protocol), \"Host\": \"IP\" \"plc.local\" is not a dotted IPv4 "
         "address"},
        {replaced(typeSeven, "{\"Type\": {\"CycleTime\": 3000}}"),
         "error: section 2: \"Type\" must be an object holding the section code \"ID\", not an "
         "object without \"ID\"; the library rejects the whole file here"},
        {replaced("[\n  {\"Protocol\"", "[5,\n  {\"Protocol\""),
         "error: section 1: is the number 5, not an object; the library rejects the whole file "
         "here"},
        {replaced(typeSeven + ",", ""),
         "error: no line status section (\"Type\" ID 7): no line status request is ever sent, so "
         "the PLC never asks for the mold set and the link never comes up"},
        {replaced("{\"Type\": 1, \"DataIDList\": [2001", "{\"Type\": 2, \"DataIDList\": [2001"),
         "error: section 4 (mold set): no usable mold block with \"Type\" 1, the block downloaded "
         "at start-up; the link never reaches state 3"},
        {replaced("[{\"Type\": 1, \"DataIDList\": [2001, 2002]}]", "{}"),
         "error: section 4 (mold set): \"MoldList\" must be an array of mold block objects, not "
         "an object; the mold set record is invalid"},
        {replaced("\"GroupID\": 5", "\"GroupID\": 70000"),
         "error: section 5 (trigger definition): \"GroupID\" 70000 is above 65535; the PLC "
         "acknowledges 16 bits only, so this definition would be sent again forever"},
        {replaced("\"CycleTime\": 3000", "\"Cycletime\": 3000"),
         "warning: section 2 (line status): unknown key \"Cycletime\" is ignored (keys are "
         "case-sensitive)"},
        {replaced(typeSeven, "{\"Type\": {\"ID\": 7}, \"CycleTime\": 3000}"),
         "warning: section 2: key \"CycleTime\" beside \"Type\" is ignored; a section's keys "
         "belong inside the \"Type\" object"},
        {replaced("[\n  {\"Protocol\"", "[{\"Type\": {\"ID\": 3}},\n  {\"Protocol\""),
         "warning: section 1: section code 3 is not one of 1, 7, 9 or 17; the section is ignored"},
        {replaced("[1001, 1002, 1003]", idList(1001, 51)),
         "warning: section 3 (actual values): \"DataIDList\" holds 51 IDs; only the first 50 are "
         "requested and every reply is reported as \"Actual Update MayBe Failed\""}};
    for (const auto& [file, problem] : rows) {
        const std::string text = report(file);
        EXPECT_NE(text.find("  " + problem + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find(problem.rfind("error", 0) == 0 ? kNotUsable : kUsable),
                  std::string::npos)
            << text;
    }
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
    const std::string few = report(kValidFile, R"([
      {"ID": 2001, "Name": "Stage 1 position", "DataType": 4, "Value": 10},
      {"ID": 2002, "Name": "Stage 1 time", "DataType": 6},
      {"ID": 4101, "Name": "Reject counter", "DataType": 5}
    ])");
    // Many IDs of one kind make one line.
    const std::string many = report(replaced("[2001, 2002]", idList(2001, 120)),
                                    R"([{"ID": 1001, "Name": "Zone", "DataType": 7}])");
    for (const auto& [text, line] :
         {std::pair<const std::string*, const char*>{
              &few, "  error: ITEMS: mold set ID 2002 (Stage 1 time) has no \"Value\": its pack "
                    "would be sent again forever\n"},
          {&few, "  warning: ITEMS: ID 4101 of trigger group 5 has no \"ValueT\": its "
                 "triggered values are not stored\n"},
          {&few, "  warning: ITEMS: actual ID 1003 is not in the item dictionary and is shown "
                 "by number\n"},
          {&few, kNotUsable},
          {&many, "  error: ITEMS: 120 mold set IDs are not in the item dictionary, so their "
                  "packs would be sent again forever: 2001-2120\n"},
          {&many, "  warning: ITEMS: actual ID 1002 is not in the item dictionary"},
          {&many, kNotUsable}})
        EXPECT_NE(text->find(line), std::string::npos) << line << "\nin\n" << *text;
}

} // namespace
