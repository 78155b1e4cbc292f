// SPDX-License-Identifier: MIT
// The section records, each built from a JSON snippet.
#include "vexparseplccommon.h"

#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Orrery;

namespace {

template <typename Record> Record fromJson(const std::string& text)
{
    rapidjson::Document document;
    document.Parse(text.c_str());
    EXPECT_FALSE(document.HasParseError()) << text;
    return Record(document);
}

std::vector<std::uint32_t> words(const CvexParseParamsArray& params)
{
    std::vector<std::uint32_t> result;
    for (int word : params.array())
        result.push_back(static_cast<std::uint32_t>(word));
    return result;
}

const char* const convertError = "Data Type Convert Error .....";

// --- uint arrays --------------------------------------------------------------------------------

struct ArrayRow {
    const char* json;
    std::vector<unsigned int> elements;
    bool valid;
};

class UintArray : public testing::TestWithParam<ArrayRow> {};

TEST_P(UintArray, KeepsElementsUpToTheFirstUnusableOne)
{
    const CvexParseArray array = fromJson<CvexParseArray>(GetParam().json);
    EXPECT_EQ(array.array(), GetParam().elements);
    EXPECT_EQ(array.isValid(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UintArray,
    testing::Values(ArrayRow{"[7, 8]", {7, 8}, true}, ArrayRow{"[]", {}, false},
                    ArrayRow{"{}", {}, false}, ArrayRow{"5", {}, false},
                    ArrayRow{"[0, 4294967295]", {0, 4294967295u}, true},
                    ArrayRow{"[1, 4294967296]", {1}, false}, ArrayRow{"[1, -1, 2]", {1}, false},
                    ArrayRow{"[1, 2.0]", {1}, false}, ArrayRow{"[1, \"2\"]", {1}, false},
                    ArrayRow{"[null]", {}, false}, ArrayRow{"[[1]]", {}, false}));

// --- number arrays ------------------------------------------------------------------------------

struct ParamsRow {
    const char* json;
    std::vector<std::uint32_t> words;
    bool valid;
    bool convertError;
};

class NumberArray : public testing::TestWithParam<ParamsRow> {};

TEST_P(NumberArray, EncodesEachNumberAsItIsWritten)
{
    vextest::StdoutCapture out;
    const CvexParseParamsArray params = fromJson<CvexParseParamsArray>(GetParam().json);
    EXPECT_EQ(words(params), GetParam().words);
    EXPECT_EQ(params.isValid(), GetParam().valid);
    const std::vector<std::string> expected = GetParam().convertError
                                                  ? std::vector<std::string>{convertError}
                                                  : std::vector<std::string>{};
    EXPECT_EQ(out.lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NumberArray,
    testing::Values(
        ParamsRow{"[1, -1, 2.5, 3000000000]", {1, 0xFFFFFFFF, 0x40200000, 0xB2D05E00}, true, false},
        ParamsRow{"[5, 5.0, 100, 0.5]", {5, 0x40A00000, 0x64, 0x3F000000}, true, false},
        ParamsRow{"[-2147483648, 4294967295]", {0x80000000, 0xFFFFFFFF}, true, false},
        ParamsRow{"[1e20, 3.4028234e38]", {0x60AD78EC, 0x7F7FFFFF}, true, false},
        // Outside the single-precision range: the low word of the double.
        ParamsRow{"[1e39, -1e39, 3.4028236e38]", {0xF49C4A1D, 0xF49C4A1D, 0xF514A7BC}, true, false},
        ParamsRow{"[1, \"x\", 2]", {1}, false, true}, ParamsRow{"[4294967296]", {}, false, true},
        ParamsRow{"[7, -2147483649]", {7}, false, true}, ParamsRow{"[true]", {}, false, true},
        ParamsRow{"[null]", {}, false, true}, ParamsRow{"[[1]]", {}, false, true},
        ParamsRow{"[{}]", {}, false, true}, ParamsRow{"[]", {}, false, false},
        ParamsRow{"\"1\"", {}, false, false}, ParamsRow{"{\"a\": 1}", {}, false, false}));

// --- endpoints and the protocol section ---------------------------------------------------------

struct EndpointRow {
    const char* json;
    std::string ip;
    unsigned int port;
    bool valid;
};

class Endpoint : public testing::TestWithParam<EndpointRow> {};

TEST_P(Endpoint, ReadsIpAndPort)
{
    const CvexParseProtocolData endpoint = fromJson<CvexParseProtocolData>(GetParam().json);
    EXPECT_EQ(endpoint.ip(), GetParam().ip);
    EXPECT_EQ(endpoint.port(), GetParam().port);
    EXPECT_EQ(endpoint.isValid(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Endpoint,
    testing::Values(EndpointRow{R"({"IP": "10.0.0.1", "Port": 70000})", "10.0.0.1", 70000, true},
                    EndpointRow{R"({"IP": "10.0.0.1"})", "10.0.0.1", 65535, true},
                    EndpointRow{R"({"Address": "x"})", "", 65535, true},
                    EndpointRow{"{}", "", 65535, false}, EndpointRow{"[1]", "", 65535, false},
                    EndpointRow{R"({"IP": 5, "Port": "1"})", "", 65535, true},
                    EndpointRow{R"({"IP": ["a"], "Port": -1})", "", 65535, true},
                    EndpointRow{R"({"Port": 1.5, "ip": "x"})", "", 65535, true},
                    EndpointRow{R"({"Port": 1, "IP": "a", "Port": 2, "IP": "b"})", "b", 2, true},
                    EndpointRow{R"({"Port": 1, "Port": true})", "", 1, true}));

TEST(Protocol, WrongTypesKeepTheFieldsAndLastKeyWins)
{
    const auto protocol = fromJson<CvexParseProtocol>(
        R"({"Version": "3", "Private": 7, "Private": true, "Src": 5, "Version": 4})");
    EXPECT_TRUE(protocol.isValid());
    EXPECT_EQ(protocol.version(), 4u);
    EXPECT_EQ(protocol.priv(), 7u);
    EXPECT_FALSE(protocol.source().isValid());
    EXPECT_FALSE(fromJson<CvexParseProtocol>("{}").isValid());
    EXPECT_FALSE(fromJson<CvexParseProtocol>("[]").isValid());
}

// --- actual values --------------------------------------------------------------

TEST(Actual, OnlyIdGivesDefaults)
{
    const auto actual = fromJson<CvexParseActual>(R"({"ID": 1})");
    EXPECT_TRUE(actual.isValid());
    EXPECT_EQ(actual.ID(), 1u);
    EXPECT_EQ(actual.cycleTime(), 500u);
    EXPECT_FALSE(actual.dataIDSet().isValid());
    EXPECT_TRUE(actual.dataIDSet().array().empty());
}

// --- mold set -----------------------------------------------------------------------------------

std::vector<unsigned int> keys(const CvexParseMoldSet& moldSet)
{
    std::vector<unsigned int> result;
    for (const auto& entry : moldSet.moldList())
        result.push_back(entry.first);
    return result;
}

struct MoldSetRow {
    const char* json;
    std::vector<unsigned int> keys;
    bool valid;
    unsigned int id;
};

class MoldSet : public testing::TestWithParam<MoldSetRow> {};

TEST_P(MoldSet, FilesBlocksByTypeUntilTheListBreaks)
{
    const auto moldSet = fromJson<CvexParseMoldSet>(GetParam().json);
    EXPECT_EQ(keys(moldSet), GetParam().keys);
    EXPECT_EQ(moldSet.isValid(), GetParam().valid);
    EXPECT_EQ(moldSet.ID(), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoldSet,
    testing::Values(
        MoldSetRow{R"({"ID": 9, "MoldList": [{"Type": 1}, 5, {"Type": 3}]})", {1}, false, 9},
        MoldSetRow{R"({"ID": 9, "MoldList": [{"Type": 1}, {"X": 1}, {"Type": 3}]})", {1}, false, 9},
        MoldSetRow{R"({"MoldList": 5, "ID": 9})", {}, false, 0},
        MoldSetRow{R"({"ID": 9, "MoldList": []})", {}, true, 9},
        MoldSetRow{R"({"ID": 9})", {}, true, 9},
        MoldSetRow{R"({"ID": 9, "MoldList": [{"Type": "1"}, {"Type": 4}]})", {4}, true, 9},
        MoldSetRow{
            R"({"ID": 9, "MoldList": [{"Type": 3}], "MoldList": [{"Type": 1}]})", {1, 3}, true, 9},
        MoldSetRow{"{}", {}, false, 0}));

TEST(MoldSet, KeyIsTheFirstTypeOfTheFirstBlockAndTheFieldTheLastType)
{
    const auto moldSet = fromJson<CvexParseMoldSet>(
        R"({"ID": 9, "MoldList": [{"Type": 2, "DataIDList": [20], "Type": 5}, {"Type": 1},
                                  {"Type": 2, "DataIDList": [21]}]})");
    EXPECT_EQ(keys(moldSet), (std::vector<unsigned int>{1, 2}));
    const auto list = moldSet.moldList();
    EXPECT_EQ(list.at(2).dataIDSet().array(), (std::vector<unsigned int>{20}));
    EXPECT_EQ(list.at(2).type(), 5u);
    EXPECT_TRUE(list.at(1).isValid());
    EXPECT_FALSE(list.at(1).dataIDSet().isValid());
}

TEST(MoldBlock, StoresListsAsWritten)
{
    vextest::StdoutCapture out;
    const auto block = fromJson<CvexParseMoldBlock>(
        R"({"Type": 4, "DataIDList": [10, 11], "DataTypeList": [3], "DataStateList": [1, 0],
            "DataValueList": [7, "x"], "Type": 5})");
    EXPECT_TRUE(block.isValid());
    EXPECT_EQ(block.type(), 5u);
    EXPECT_EQ(block.dataIDSet().array(), (std::vector<unsigned int>{10, 11}));
    EXPECT_EQ(block.dataTypeSet().array(), (std::vector<unsigned int>{3}));
    EXPECT_TRUE(block.dataTypeSet().isValid());
    EXPECT_EQ(block.dataStateSet().array(), (std::vector<unsigned int>{1, 0}));
    EXPECT_EQ(block.dataValueSet().array(), (std::vector<int>{7}));
    EXPECT_FALSE(block.dataValueSet().isValid());
    EXPECT_EQ(out.lines(), (std::vector<std::string>{convertError}));
    EXPECT_EQ(block.queryStartPos() + block.queryPackSize(), 0u);
}

// --- triggers -----------------------------------------------------------------------------------

TEST(Trigger, OnlyIdGivesAValidEmptyTrigger)
{
    const auto trigger = fromJson<CvexParseTrigger>(R"({"ID": 17})");
    EXPECT_TRUE(trigger.isValid());
    EXPECT_EQ(trigger.ID(), 17u);
    EXPECT_EQ(trigger.groupID() + trigger.outTime() + trigger.delayTime() + trigger.sendCount() +
                  trigger.dataIDFlag(),
              0u);
    for (const auto& phase :
         {trigger.startTrigger(), trigger.sendTrigger(), trigger.stopTrigger()}) {
        EXPECT_FALSE(phase.isValid());
        EXPECT_TRUE(phase.triggerParams().empty());
    }
    EXPECT_FALSE(trigger.dataIDSet().isValid());
}

TEST(Trigger, ReadsEveryField)
{
    const auto trigger = fromJson<CvexParseTrigger>(
        R"({"ID": 17, "GroupID": 2, "OutTime": 3, "DelayTime": 4, "SendCount": 5,
            "DataIDFlag": 6, "DataIDList": [40, 41], "StartTrigger": [],
            "SendTrigger": {}, "StopTrigger": [{"Condition": []}], "GroupID": "7"})");
    EXPECT_EQ(trigger.groupID(), 2u);
    EXPECT_EQ(trigger.outTime(), 3u);
    EXPECT_EQ(trigger.delayTime(), 4u);
    EXPECT_EQ(trigger.sendCount(), 5u);
    EXPECT_EQ(trigger.dataIDFlag(), 6u);
    EXPECT_EQ(trigger.dataIDSet().array(), (std::vector<unsigned int>{40, 41}));
    EXPECT_TRUE(trigger.startTrigger().isValid());
    EXPECT_TRUE(trigger.startTrigger().triggerParams().empty());
    EXPECT_FALSE(trigger.sendTrigger().isValid());
    EXPECT_EQ(trigger.stopTrigger().triggerParams().size(), 1u);
}

TEST(TriggerPhase, KeepsEveryParameterSetValidOrNot)
{
    const auto phase = fromJson<CvexParseTriggerFeature>(R"([5, {"Condition": []}])");
    EXPECT_TRUE(phase.isValid());
    const auto sets = phase.triggerParams();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_FALSE(sets[0].isValid());
    EXPECT_TRUE(sets[0].conditions().empty());
    EXPECT_TRUE(sets[1].isValid());
    EXPECT_TRUE(sets[1].conditions().empty());
}

TEST(TriggerParamSet, DropsEmptyConditionsAndKeepsLooseParams)
{
    const auto set = fromJson<CvexParseTriggerParamSet>(
        R"({"Condition": [{"Type": 1, "Params": [1]}, {}, {"Type": 2}]})");
    EXPECT_TRUE(set.isValid());
    const auto conditions = set.conditions();
    ASSERT_EQ(conditions.size(), 2u);
    EXPECT_EQ(conditions[0].type(), 1u);
    EXPECT_EQ(conditions[0].params().array(), (std::vector<int>{1}));
    EXPECT_EQ(conditions[1].type(), 2u);
    EXPECT_FALSE(conditions[1].params().isValid());
    EXPECT_TRUE(conditions[1].params().array().empty());
}

struct ParamSetRow {
    const char* json;
    std::vector<unsigned int> conditionTypes;
    bool valid;
};

class TriggerParamSet : public testing::TestWithParam<ParamSetRow> {};

TEST_P(TriggerParamSet, StopsAtTheFirstNonObjectCondition)
{
    const auto set = fromJson<CvexParseTriggerParamSet>(GetParam().json);
    std::vector<unsigned int> types;
    for (const auto& condition : set.conditions())
        types.push_back(condition.type());
    EXPECT_EQ(types, GetParam().conditionTypes);
    EXPECT_EQ(set.isValid(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TriggerParamSet,
    testing::Values(ParamSetRow{R"({"Condition": [{"Type": 1}, 7, {"Type": 2}]})", {1}, false},
                    ParamSetRow{R"({"Condition": 5})", {}, false},
                    ParamSetRow{R"({"Other": []})", {}, false}, ParamSetRow{"[]", {}, false},
                    ParamSetRow{R"({"Condition": [], "Condition": [{"Type": 1}]})", {}, true},
                    ParamSetRow{R"({"Condition": [{"Type": "1", "Params": [1]}]})", {0}, true}));

} // namespace
