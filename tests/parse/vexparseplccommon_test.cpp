// SPDX-License-Identifier: MIT
// The section records, each built from a JSON snippet, and the common file as a whole, read from
// disk.
#include "vexparseplccommon.h"

#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace Orrery;
using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;
using Uints = std::vector<unsigned int>;

template <typename Record> Record fromJson(const std::string& text)
{
    rapidjson::Document document;
    document.Parse(text.c_str());
    EXPECT_FALSE(document.HasParseError()) << text;
    return Record(document);
}

// A list as "[a b c]".
template <typename T, typename Format> std::string join(const std::vector<T>& items, Format format)
{
    std::string text;
    for (const T& item : items)
        text += (text.empty() ? "" : " ") + format(item);
    return "[" + text + "]";
}

const auto number = [](unsigned int value) { return std::to_string(value); };
const auto flag = [](bool valid) { return valid ? "" : " invalid"; };
const auto word = [](int value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned int>(value));
    return std::string(text);
};

// What a record kept, as one line: its values, then " invalid" if it is not valid.
std::string show(const CvexParseArray& array)
{
    return join(array.array(), number) + flag(array.isValid());
}

std::string show(const CvexParseParamsArray& params)
{
    return join(params.array(), word) + flag(params.isValid());
}

std::string show(const CvexParseProtocolData& endpoint)
{
    return endpoint.ip() + ":" + number(endpoint.port()) + flag(endpoint.isValid());
}

std::string show(const CvexParseMoldSet& moldSet)
{
    Uints keys;
    for (const auto& entry : moldSet.moldList())
        keys.push_back(entry.first);
    return number(moldSet.ID()) + " " + join(keys, number) + flag(moldSet.isValid());
}

std::string show(const CvexParseTriggerParamSet& set)
{
    return join(set.conditions(), [](const auto& condition) { return number(condition.type()); }) +
           flag(set.isValid());
}

std::string show(const CvexParseTriggerFeature& phase)
{
    return join(phase.triggerParams(), [](const auto& set) { return show(set); }) +
           flag(phase.isValid());
}

std::string show(const CvexParseTrigger& trigger)
{
    const Uints fields = {trigger.groupID(), trigger.outTime(), trigger.delayTime(),
                          trigger.sendCount(), trigger.dataIDFlag()};
    return number(trigger.ID()) + " " + join(fields, number) + " ids " + show(trigger.dataIDSet()) +
           " phases " + show(trigger.startTrigger()) + " " + show(trigger.sendTrigger()) + " " +
           show(trigger.stopTrigger()) + flag(trigger.isValid());
}

// What a record kept followed by the lines it printed.
std::string withLines(std::string kept, const Lines& lines)
{
    for (const std::string& line : lines)
        kept += " | " + line;
    return kept;
}

// Every JSON text of `texts` gives a record that kept `kept` and printed the lines after it.
template <typename Record>
void expectKept(const std::string& kept, const std::vector<std::string>& texts)
{
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const vextest::StdoutCapture out;
        const std::string shown = show(fromJson<Record>(text));
        EXPECT_EQ(withLines(shown, out.lines()), kept);
    }
}

const std::string convertError = " | Data Type Convert Error .....";

TEST(UintArray, KeepsElementsUpToTheFirstUnusableOne)
{
    expectKept<CvexParseArray>("[7 8]", {"[7, 8]"});
    expectKept<CvexParseArray>("[] invalid", {"[]", "{}", "5", "[null]", "[[1]]"});
    expectKept<CvexParseArray>("[0 4294967295]", {"[0, 4294967295]"});
    expectKept<CvexParseArray>("[1] invalid",
                               {"[1, 4294967296]", "[1, -1, 2]", "[1, 2.0]", "[1, \"2\"]"});
}

TEST(NumberArray, EncodesEachNumberAsItIsWritten)
{
    expectKept<CvexParseParamsArray>("[00000001 FFFFFFFF 40200000 B2D05E00]",
                                     {"[1, -1, 2.5, 3000000000]"});
    expectKept<CvexParseParamsArray>("[00000005 40A00000 00000064 3F000000]",
                                     {"[5, 5.0, 100, 0.5]"});
    expectKept<CvexParseParamsArray>("[80000000 FFFFFFFF]", {"[-2147483648, 4294967295]"});
    expectKept<CvexParseParamsArray>("[60AD78EC 7F7FFFFF]", {"[1e20, 3.4028234e38]"});
    // Outside the single-precision range: the low word of the double.
    expectKept<CvexParseParamsArray>("[F49C4A1D F49C4A1D F514A7BC]",
                                     {"[1e39, -1e39, 3.4028236e38]"});
    expectKept<CvexParseParamsArray>("[00000001] invalid" + convertError, {"[1, \"x\", 2]"});
    expectKept<CvexParseParamsArray>("[] invalid" + convertError,
                                     {"[4294967296]", "[true]", "[null]", "[[1]]", "[{}]"});
    expectKept<CvexParseParamsArray>("[00000007] invalid" + convertError, {"[7, -2147483649]"});
    expectKept<CvexParseParamsArray>("[] invalid", {"[]", "\"1\"", "{\"a\": 1}"});
}

TEST(Endpoint, ReadsIpAndPort)
{
    expectKept<CvexParseProtocolData>("10.0.0.1:70000", {R"({"IP": "10.0.0.1", "Port": 70000})"});
    expectKept<CvexParseProtocolData>("10.0.0.1:65535", {R"({"IP": "10.0.0.1"})"});
    expectKept<CvexParseProtocolData>(":65535", {R"({"Address": "x"})", R"({"IP": 5, "Port": "1"})",
                                                 R"({"IP": ["a"], "Port": -1})",
                                                 R"({"Port": 1.5, "ip": "x"})"});
    expectKept<CvexParseProtocolData>(":65535 invalid", {"{}", "[1]"});
    expectKept<CvexParseProtocolData>("b:2", {R"({"Port": 1, "IP": "a", "Port": 2, "IP": "b"})"});
    expectKept<CvexParseProtocolData>(":1", {R"({"Port": 1, "Port": true})"});
}

TEST(ProtocolAndActual, WrongTypesKeepTheFieldsLastKeyWinsAndOnlyIdGivesDefaults)
{
    const auto protocol = fromJson<CvexParseProtocol>(
        R"({"Version": "3", "Private": 7, "Private": true, "Src": 5, "Version": 4})");
    EXPECT_TRUE(protocol.isValid());
    EXPECT_EQ(protocol.version(), 4u);
    EXPECT_EQ(protocol.priv(), 7u);
    EXPECT_FALSE(protocol.source().isValid());
    EXPECT_FALSE(fromJson<CvexParseProtocol>("{}").isValid());
    EXPECT_FALSE(fromJson<CvexParseProtocol>("[]").isValid());
    // An actual-value section with only its ID takes the defaults.
    const auto actual = fromJson<CvexParseActual>(R"({"ID": 1})");
    EXPECT_TRUE(actual.isValid());
    EXPECT_EQ(actual.ID(), 1u);
    EXPECT_EQ(actual.cycleTime(), 500u);
    EXPECT_EQ(show(actual.dataIDSet()), "[] invalid");
}

TEST(MoldSet, FilesBlocksByTypeUntilTheListBreaks)
{
    // The key is the first type of a block and its field the last; a later block of a type
    // already filed is dropped.
    const char* const sameType =
        R"({"ID": 9, "MoldList": [{"Type": 2, "DataIDList": [20], "Type": 5},
                                  {"Type": 1}, {"Type": 2, "DataIDList": [21]}]})";
    expectKept<CvexParseMoldSet>(
        "9 [1] invalid", {R"({"ID": 9, "MoldList": [{"Type": 1}, 5, {"Type": 3}]})",
                          R"({"ID": 9, "MoldList": [{"Type": 1}, {"X": 1}, {"Type": 3}]})"});
    expectKept<CvexParseMoldSet>("0 [] invalid", {R"({"MoldList": 5, "ID": 9})", "{}"});
    expectKept<CvexParseMoldSet>("9 []", {R"({"ID": 9, "MoldList": []})", R"({"ID": 9})"});
    expectKept<CvexParseMoldSet>("9 [4]",
                                 {R"({"ID": 9, "MoldList": [{"Type": "1"}, {"Type": 4}]})"});
    expectKept<CvexParseMoldSet>(
        "9 [1 3]", {R"({"ID": 9, "MoldList": [{"Type": 3}], "MoldList": [{"Type": 1}]})"});
    expectKept<CvexParseMoldSet>("9 [1 2]", {sameType});
    const auto list = fromJson<CvexParseMoldSet>(sameType).moldList();
    EXPECT_EQ(show(list.at(2).dataIDSet()), "[20]");
    EXPECT_EQ(list.at(2).type(), 5u);
    EXPECT_TRUE(list.at(1).isValid());
    EXPECT_EQ(show(list.at(1).dataIDSet()), "[] invalid");
}

TEST(MoldBlock, StoresListsAsWritten)
{
    vextest::StdoutCapture out;
    const auto block = fromJson<CvexParseMoldBlock>(
        R"({"Type": 4, "DataIDList": [10, 11], "DataTypeList": [3], "DataStateList": [1, 0],
            "DataValueList": [7, "x"], "Type": 5})");
    EXPECT_TRUE(block.isValid());
    EXPECT_EQ(block.type(), 5u);
    EXPECT_EQ(show(block.dataIDSet()), "[10 11]");
    EXPECT_EQ(show(block.dataTypeSet()), "[3]");
    EXPECT_EQ(show(block.dataStateSet()), "[1 0]");
    EXPECT_EQ(show(block.dataValueSet()), "[00000007] invalid");
    EXPECT_EQ(out.lines(), std::vector<std::string>{convertError.substr(3)});
    EXPECT_EQ(block.queryStartPos() + block.queryPackSize(), 0u);
}

TEST(Trigger, ReadsEveryField)
{
    expectKept<CvexParseTrigger>(
        "17 [0 0 0 0 0] ids [] invalid phases [] invalid [] invalid [] invalid", {R"({"ID": 17})"});
    expectKept<CvexParseTrigger>(
        "17 [2 3 4 5 6] ids [40 41] phases [] [] invalid [[]]",
        {R"({"ID": 17, "GroupID": 2, "OutTime": 3, "DelayTime": 4, "SendCount": 5,
             "DataIDFlag": 6, "DataIDList": [40, 41], "StartTrigger": [],
             "SendTrigger": {}, "StopTrigger": [{"Condition": []}], "GroupID": "7"})"});
    // A phase keeps every parameter set, valid or not.
    expectKept<CvexParseTriggerFeature>("[[] invalid []]", {R"([5, {"Condition": []}])"});
}

TEST(TriggerParamSet, DropsEmptyConditionsAndStopsAtTheFirstNonObjectOne)
{
    const char* const loose = R"({"Condition": [{"Type": 1, "Params": [1]}, {}, {"Type": 2}]})";
    expectKept<CvexParseTriggerParamSet>("[1 2]", {loose});
    expectKept<CvexParseTriggerParamSet>("[1] invalid",
                                         {R"({"Condition": [{"Type": 1}, 7, {"Type": 2}]})"});
    expectKept<CvexParseTriggerParamSet>("[] invalid",
                                         {R"({"Condition": 5})", R"({"Other": []})", "[]"});
    expectKept<CvexParseTriggerParamSet>("[]",
                                         {R"({"Condition": [], "Condition": [{"Type": 1}]})"});
    expectKept<CvexParseTriggerParamSet>("[0]",
                                         {R"({"Condition": [{"Type": "1", "Params": [1]}]})"});
    // A condition without parameters keeps an empty, invalid list.
    const auto conditions = fromJson<CvexParseTriggerParamSet>(loose).conditions();
    EXPECT_EQ(show(conditions[0].params()), "[00000001]");
    EXPECT_EQ(show(conditions[1].params()), "[] invalid");
}

// Loads `content` as a common file and keeps what the parser printed.
struct Loaded {
    std::unique_ptr<CvexParsePlcCommon> config;
    Lines lines;
};

Loaded load(const std::string& content)
{
    vextest::TempFile file(content);
    vextest::StdoutCapture out;
    Loaded loaded;
    loaded.config = std::make_unique<CvexParsePlcCommon>(file.path());
    loaded.lines = out.lines();
    return loaded;
}

// The whole configuration in one line, as the records show themselves.
std::string show(const CvexParsePlcCommon& config)
{
    const CvexParseProtocol protocol = config.protocol();
    const CvexParseLineStatus line = config.lineStatus();
    const CvexParseActual actual = config.actual();
    return std::string(config.isValid() ? "valid" : "invalid") + "; protocol v" +
           number(protocol.version()) + " p" + number(protocol.priv()) + flag(protocol.isValid()) +
           "; line " + number(line.ID()) + " " + number(line.cycleTime()) + " v" +
           number(line.version()) + " p" + number(line.priv()) + flag(line.isValid()) +
           "; actual " + number(actual.ID()) + " " + number(actual.cycleTime()) + " " +
           show(actual.dataIDSet()) + flag(actual.isValid()) + "; mold " + show(config.moldSet()) +
           "; triggers " + number(static_cast<unsigned int>(config.triggers().size()));
}

// An issue as one line: "path @line: text".
std::string show(const CvexParseIssue& issue)
{
    return issue.path + " @" + std::to_string(issue.line) + ": " + issue.text;
}

// Every common file of `contents` gives the configuration `shown` and prints the lines after it.
void expectLoaded(const std::string& shown, const std::vector<std::string>& contents)
{
    for (const std::string& content : contents) {
        SCOPED_TRACE(content.substr(0, 60));
        const Loaded loaded = load(content);
        EXPECT_EQ(withLines(show(*loaded.config), loaded.lines), shown);
    }
}

// Every record at its defaults, after the validity of the document.
const std::string defaults = "; protocol v0 p0 invalid; line 0 10000 v0 p0 invalid; "
                             "actual 0 500 [] invalid invalid; mold 0 [] invalid; triggers 0";

TEST(CommonFile, DocumentsWithoutAUsableSectionKeepEveryDefault)
{
    // A NUL ends the text; an unknown code or a lower-case key is no section.
    const std::string deep(300000, '[');
    expectLoaded("valid" + defaults,
                 {"[]", "[]\0 garbage"s, R"([{"Type": {"ID": 2, "CycleTime": 1}}])",
                  R"([{"Type": {"ID": "1", "CycleTime": 1}}])", R"([{"type": {"ID": 1}}, {}])",
                  "[{\"x\": " + deep + std::string(300000, ']') + "}]"});
    expectLoaded("invalid" + defaults,
                 {"", " \r\n\t", "{}", "\xEF\xBB\xBF[]", "[] []", "\0[]"s, "[{},]", "[/* */]",
                  "[{\"x\": NaN}]", "[1]", R"([{"Type": 5}])", R"([{"Type": {"CycleTime": 1}}])",
                  R"([{"Type": {"ID": 1)", deep});
    EXPECT_FALSE(CvexParsePlcCommon().isValid());
    EXPECT_TRUE(CvexParsePlcCommon().issues().empty());
    vextest::StdoutCapture out;
    const CvexParsePlcCommon missing("/nonexistent/vexplc/common.json");
    EXPECT_EQ(withLines(show(missing), out.lines()), "invalid" + defaults);
    EXPECT_EQ(show(missing.issues().at(0)), " @0: cannot open the file");
}

// The protocol version and private value reach the line status section only from a valid
// document, whatever the order; a later protocol section replaces an earlier one.
TEST(CommonFile, ProtocolVersionReachesLineStatus)
{
    const std::string rest = "; actual 0 500 [] invalid invalid; mold 0 [] invalid; triggers 0";
    expectLoaded("valid; protocol v2 p5; line 7 10000 v2 p5" + rest + " | parse version: 2",
                 {R"([{"Protocol": {"Version": 2, "Private": 5}}, {"Type": {"ID": 7}}])",
                  R"([{"Type": {"ID": 7}}, {"Protocol": {"Version": 2, "Private": 5}}])",
                  R"([{"Protocol": {"Version": 9}}, {"Type": {"ID": 7}},
                      {"Protocol": {"Private": 5, "Version": 2}}])"});
    expectLoaded("valid; protocol v0 p0 invalid; line 7 10000 v0 p0" + rest,
                 {R"([{"Protocol": {"Version": 2}}, {"Type": {"ID": 7}}, {"Protocol": {}}])"});
    // An invalid element after the protocol section keeps it but copies nothing.
    expectLoaded("invalid; protocol v3 p0; line 7 10000 v0 p0" + rest,
                 {R"([{"Protocol": {"Version": 3}}, {"Type": {"ID": 7}}, 5])"});
    // An element's first "Type" and that section's first "ID" select the record; its last "ID"
    // fills it; a typed section wins over a protocol section in the same element.
    expectLoaded(
        "valid; protocol v0 p0 invalid; line 0 10000 v0 p0 invalid; actual 7 9 [] invalid; "
        "mold 0 [] invalid; triggers 0",
        {R"([{"Protocol": {"Version": 1},
                      "Type": {"ID": 1, "ID": 7, "CycleTime": 9}, "Type": {"ID": 7}}])"});
}

TEST(CommonFile, ProtocolEndpoints)
{
    const Loaded loaded = load(R"([{"Protocol": {"Src": {}, "Host": {"IP": "1.2.3.4",
                                                                       "Port": 70000}}}])");
    const CvexParseProtocol protocol = loaded.config->protocol();
    EXPECT_TRUE(protocol.isValid());
    EXPECT_EQ(show(protocol.source()) + " " + show(protocol.host()),
              ":65535 invalid 1.2.3.4:70000");
    EXPECT_EQ(loaded.lines, Lines{"parse version: 0"});
}

TEST(CommonFile, LaterSectionsReplaceEarlierOnesAndTriggersAccumulate)
{
    const Loaded loaded = load(R"([
        {"Type": {"ID": 1, "CycleTime": 100}}, {"Type": {"ID": 1, "CycleTime": 200}},
        {"Type": {"ID": 9, "MoldList": [{"Type": 1}]}}, {"Type": {"ID": 9, "MoldList": 5}},
        {"Type": {"ID": 17, "GroupID": 4, "OutTime": 1}},
        {"Type": {"ID": 17, "GroupID": 4, "OutTime": 2}}])");
    EXPECT_TRUE(loaded.config->isValid());
    EXPECT_EQ(loaded.config->actual().cycleTime(), 200u);
    EXPECT_EQ(show(loaded.config->moldSet()), "9 [] invalid");
    const auto triggers = loaded.config->triggers();
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].outTime(), 1u);
    EXPECT_EQ(triggers[1].outTime(), 2u);
    EXPECT_EQ(triggers[1].groupID(), 4u);
}

// How a number is written in the file decides its word, which a tree of values alone no longer
// tells for an integer literal wider than 64 bits.
TEST(CommonFile, WrittenNumberDecidesTheWordOfAConditionParameter)
{
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"[1e20, 2]", "[60AD78EC 00000002]"},
             {"[100000000000000000000.0, -1e+20]", "[60AD78EC E0AD78EC]"},
             {"[1, 100000000000000000000, 2]", "[00000001] invalid" + convertError},
             {"[-100000000000000000000]", "[] invalid" + convertError}}) {
        SCOPED_TRACE(row.first);
        const Loaded loaded = load(R"([{"Type": {"ID": 17, "GroupID": 100000000000000000000,
            "StartTrigger": [{"Condition": [{"Type": 1, "Params": )" +
                                   row.first + "}]}]}}]");
        ASSERT_TRUE(loaded.config->isValid());
        const auto triggers = loaded.config->triggers();
        ASSERT_EQ(triggers.size(), 1u);
        EXPECT_EQ(triggers[0].groupID(), 0u);
        const auto params = triggers[0].startTrigger().triggerParams()[0].conditions()[0].params();
        EXPECT_EQ(withLines(show(params), loaded.lines), row.second);
    }
}

TEST(CommonFile, Example)
{
    vextest::StdoutCapture out;
    const CvexParsePlcCommon config(VEXPLC_EXAMPLE_COMMON_FILE);
    ASSERT_EQ(withLines(show(config), out.lines()),
              "valid; protocol v1 p0; line 7 3000 v1 p0; actual 1 200 [1001 1002 1003 1004 1005 "
              "1006 1007 1008 1009 1010 1011 1012 1013 1014 1015 1016 1017 1018 1019 1020]; mold 9 "
              "[1 2]; triggers 3 | parse version: 1");
    EXPECT_TRUE(config.issues().empty());
    EXPECT_EQ(show(config.protocol().source()) + " " + show(config.protocol().host()),
              "127.0.0.1:30001 127.0.0.1:30002");
    const auto range = [](unsigned int first, unsigned int last) {
        Uints ids;
        for (unsigned int id = first; id <= last; ++id)
            ids.push_back(id);
        return ids;
    };
    const auto blocks = config.moldSet().moldList();
    EXPECT_EQ(blocks.at(1).dataIDSet().array(), range(2001, 2120));
    for (const auto& entry : blocks) {
        const size_t count = entry.second.dataIDSet().array().size();
        EXPECT_TRUE(entry.second.dataValueSet().isValid());
        EXPECT_EQ(entry.second.dataTypeSet().array().size(), count);
        EXPECT_EQ(entry.second.dataStateSet().array().size(), count);
        EXPECT_EQ(entry.second.dataValueSet().array().size(), count);
    }
    EXPECT_EQ(blocks.at(2).dataIDSet().array(), range(3001, 3010));

    const auto triggers = config.triggers();
    ASSERT_EQ(join(triggers, [](const CvexParseTrigger& trigger) { return show(trigger); }),
              "[17 [2 0 0 1 1] ids [4001 4002 4003 4004] phases [[1 3]] [[2]] [[1]] "
              "17 [5 60000 100 0 1] ids [4101 4102 4103] phases [[4]] [[2]] [[5 1]] "
              "17 [101 30000 0 0 1] ids [5001 5002 5003 5004] phases [[3]] [[2]] [[6]]]");
    const auto condition = triggers[0].startTrigger().triggerParams()[0].conditions()[1];
    EXPECT_EQ(condition.params().array(), (std::vector<int>{4001, 0x42AB0000}));
}

Lines issuesOf(const CvexParsePlcCommon& config)
{
    Lines shown;
    for (const CvexParseIssue& issue : config.issues())
        shown.push_back(show(issue));
    return shown;
}

TEST(CommonFileIssues, WholeFileFaultsHaveAnEmptyPath)
{
    for (const auto& row : std::vector<std::pair<std::string, std::string>>{
             {"[\n {\"Type\": {\"ID\": 1,}}\n]",
              " @2: JSON syntax error: Missing a name for object member."},
             {"", " @0: the file is empty"},
             {"\n\n{}", " @3: the file is not a list of sections; refused"}}) {
        SCOPED_TRACE(row.first);
        EXPECT_EQ(issuesOf(*load(row.first).config), Lines{row.second});
    }
}

// Each refused or skipped value is listed once, in file order, with its JSON pointer and line;
// the records built from the file are the same as without the list.
TEST(CommonFileIssues, NameThePathAndLineOfEachRefusedOrSkippedValue)
{
    const Loaded loaded = load(R"([
 {"Protocol": {"Version": "1", "Src": {"IP": 5, "Port": 1}, "Colour": 3}},
 {"Type": {"ID": 9, "MoldList": [
    {"Type": 1, "DataIDList": [1, 2, -3], "DataValueList": [1.5, "x"]},
    {"Type": 1},
    {"Type": "2"}
   ], "MoldList": []}},
 {"Type": {"ID": 44}}, {"Type": {"ID": "7"}},
 {"Type": {"ID": 1, "DataIDList": []}},
 {"Type": {"ID": 1, "CycleTime": 5, "CycleTime": 6}},
 {"Nothing": 1},
 {"Type": {"ID": 17, "StartTrigger": [{"Condition": [{}, 3]}, 4, {"Other": 1}],
           "StopTrigger": {}, "a~/b": 1}},
 5,
 {"Type": {"ID": 1}}
])");
    EXPECT_EQ(
        issuesOf(*loaded.config),
        (Lines{
            "/0/Protocol/Version @2: \"Version\" is not an unsigned 32-bit integer; ignored",
            "/0/Protocol/Src/IP @2: \"IP\" is not a string; ignored",
            "/0/Protocol/Colour @2: unknown key \"Colour\"; ignored",
            "/1/Type/MoldList/0/DataIDList/2 @4: not an unsigned 32-bit integer; the list ends "
            "before it and is refused",
            "/1/Type/MoldList/0/DataValueList/1 @4: not a number; the list ends before it and is "
            "refused",
            "/1/Type/MoldList/1/Type @5: block type 1 came before; the first block of that type is "
            "kept",
            "/1/Type/MoldList/2/Type @6: block \"Type\" is not an unsigned 32-bit integer; block "
            "left out",
            "/1/Type/MoldList @7: repeated key \"MoldList\"; its blocks are added to those of the "
            "earlier one",
            "/2/Type/ID @8: unknown section ID 44; ignored",
            "/3/Type/ID @8: section \"ID\" is not an unsigned 32-bit integer; section ignored",
            "/4/Type/DataIDList @9: empty list; refused",
            "/5/Type @10: repeated section; it replaces the earlier one",
            "/5/Type/CycleTime @10: repeated key \"CycleTime\"; this value replaces the earlier "
            "one",
            "/6 @11: section has neither \"Type\" nor \"Protocol\"; ignored",
            "/7/Type/StartTrigger/0/Condition/0 @12: empty object; the record is refused",
            "/7/Type/StartTrigger/0/Condition/1 @12: condition is not an object; the parameter set "
            "is refused",
            "/7/Type/StartTrigger/1 @12: parameter set is not an object; refused",
            "/7/Type/StartTrigger/2 @12: parameter set has no \"Condition\" list; refused",
            "/7/Type/StopTrigger @13: trigger phase is not a list of parameter sets; refused",
            "/7/Type/a~0~1b @13: unknown key \"a~/b\"; ignored",
            "/8 @14: section is not an object; the file is refused",
        }));
    EXPECT_FALSE(loaded.config->isValid());
    EXPECT_EQ(loaded.config->actual().cycleTime(), 6u);
    EXPECT_EQ(show(loaded.config->moldSet()), "9 [1]");
    EXPECT_EQ(loaded.config->lineStatus().isValid(), false);
}

// A file can repeat a fault without end; the list stays bounded and says how much it left out.
TEST(CommonFileIssues, ListIsBoundedForAFileOfManyFaults)
{
    std::string content = "[";
    for (int i = 0; i < 1500; ++i)
        content += std::string(i == 0 ? "" : ",") + "{\"X\": " + std::to_string(i) + "}";
    const auto issues = load(content + "]").config->issues();
    ASSERT_EQ(issues.size(), 1001u);
    EXPECT_EQ(show(issues[999]), "/999 @1: section has neither \"Type\" nor \"Protocol\"; ignored");
    EXPECT_EQ(show(issues[1000]), " @0: 500 further issues not listed");
}

} // namespace
