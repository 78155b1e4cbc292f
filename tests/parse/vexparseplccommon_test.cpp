// SPDX-License-Identifier: MIT
// The common file as a whole, read from disk.
#include "vexparseplccommon.h"

#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace Orrery;

namespace {

using Lines = std::vector<std::string>;

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

void expectDefaults(const CvexParsePlcCommon& config)
{
    EXPECT_FALSE(config.protocol().isValid());
    EXPECT_FALSE(config.actual().isValid());
    EXPECT_EQ(config.actual().cycleTime(), 500u);
    EXPECT_FALSE(config.lineStatus().isValid());
    EXPECT_EQ(config.lineStatus().cycleTime(), 10000u);
    EXPECT_EQ(config.lineStatus().version(), 0u);
    EXPECT_FALSE(config.moldSet().isValid());
    EXPECT_TRUE(config.triggers().empty());
}

struct DocumentRow {
    std::string name;
    std::string content;
    bool valid;
};

class Document : public testing::TestWithParam<DocumentRow> {};

// None of these has a usable section, so every record stays at its defaults and nothing is
// printed; only the outcome of the whole document differs.
TEST_P(Document, DecidesValidityAlone)
{
    const Loaded loaded = load(GetParam().content);
    EXPECT_EQ(loaded.config->isValid(), GetParam().valid);
    expectDefaults(*loaded.config);
    EXPECT_EQ(loaded.lines, Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Document,
    testing::Values(
        DocumentRow{"Empty", "", false}, DocumentRow{"Blank", " \r\n\t", false},
        DocumentRow{"Object", "{}", false}, DocumentRow{"Bom", "\xEF\xBB\xBF[]", false},
        DocumentRow{"EmptyArray", "[]", true}, DocumentRow{"TwoRoots", "[] []", false},
        DocumentRow{"NulEndsText", std::string("[]\0 garbage", 11), true},
        DocumentRow{"OnlyNul", std::string("\0[]", 3), false},
        DocumentRow{"TrailingComma", "[{},]", false}, DocumentRow{"Comment", "[/* */]", false},
        DocumentRow{"NaN", "[{\"x\": NaN}]", false}, DocumentRow{"NonObject", "[1]", false},
        DocumentRow{"TypeNotObject", R"([{"Type": 5}])", false},
        DocumentRow{"TypeWithoutId", R"([{"Type": {"CycleTime": 1}}])", false},
        DocumentRow{"UnknownCode", R"([{"Type": {"ID": 2, "CycleTime": 1}}])", true},
        DocumentRow{"CodeNotUint", R"([{"Type": {"ID": "1", "CycleTime": 1}}])", true},
        DocumentRow{"NeitherKey", R"([{"type": {"ID": 1}}, {}])", true},
        DocumentRow{"Truncated", R"([{"Type": {"ID": 1)", false},
        DocumentRow{"DeepNesting", std::string(300000, '['), false},
        DocumentRow{"DeepButValid",
                    "[{\"x\": " + std::string(300000, '[') + std::string(300000, ']') + "}]",
                    true}),
    [](const testing::TestParamInfo<DocumentRow>& info) { return info.param.name; });

TEST(CommonFile, MissingFileIsInvalidAndSilent)
{
    vextest::StdoutCapture out;
    const CvexParsePlcCommon config("/nonexistent/vexplc/common.json");
    EXPECT_FALSE(config.isValid());
    expectDefaults(config);
    EXPECT_EQ(out.lines(), Lines{});
    EXPECT_FALSE(CvexParsePlcCommon().isValid());
}

TEST(CommonFile, InvalidElementAfterProtocolKeepsItButCopiesNoVersion)
{
    const Loaded loaded = load(R"([{"Protocol": {"Version": 3}}, {"Type": {"ID": 7}}, 5])");
    EXPECT_FALSE(loaded.config->isValid());
    EXPECT_EQ(loaded.config->protocol().version(), 3u);
    EXPECT_TRUE(loaded.config->lineStatus().isValid());
    EXPECT_EQ(loaded.config->lineStatus().version(), 0u);
    EXPECT_EQ(loaded.lines, Lines{});
}

struct VersionCopyRow {
    std::string name;
    std::string content;
};

class VersionCopy : public testing::TestWithParam<VersionCopyRow> {};

TEST_P(VersionCopy, ReachesLineStatusWhateverTheOrder)
{
    const Loaded loaded = load(GetParam().content);
    ASSERT_TRUE(loaded.config->isValid());
    EXPECT_EQ(loaded.config->lineStatus().version(), 2u);
    EXPECT_EQ(loaded.config->lineStatus().priv(), 5u);
    EXPECT_EQ(loaded.config->lineStatus().cycleTime(), 10000u);
    EXPECT_EQ(loaded.lines, Lines{"parse version: 2"});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VersionCopy,
    testing::Values(
        VersionCopyRow{"ProtocolFirst",
                       R"([{"Protocol": {"Version": 2, "Private": 5}}, {"Type": {"ID": 7}}])"},
        VersionCopyRow{"LineStatusFirst",
                       R"([{"Type": {"ID": 7}}, {"Protocol": {"Version": 2, "Private": 5}}])"},
        VersionCopyRow{"SecondProtocolWins",
                       R"([{"Protocol": {"Version": 9}}, {"Type": {"ID": 7}},
                           {"Protocol": {"Private": 5, "Version": 2}}])"}),
    [](const testing::TestParamInfo<VersionCopyRow>& info) { return info.param.name; });

TEST(CommonFile, EmptySecondProtocolReplacesTheFirst)
{
    const Loaded loaded =
        load(R"([{"Protocol": {"Version": 2}}, {"Type": {"ID": 7}}, {"Protocol": {}}])");
    EXPECT_TRUE(loaded.config->isValid());
    EXPECT_FALSE(loaded.config->protocol().isValid());
    EXPECT_EQ(loaded.config->protocol().version(), 0u);
    EXPECT_EQ(loaded.config->lineStatus().version(), 0u);
    EXPECT_EQ(loaded.lines, Lines{});
}

TEST(CommonFile, ProtocolEndpoints)
{
    const Loaded loaded = load(R"([{"Protocol": {"Src": {}, "Host": {"IP": "1.2.3.4",
                                                                       "Port": 70000}}}])");
    const CvexParseProtocol protocol = loaded.config->protocol();
    EXPECT_TRUE(protocol.isValid());
    EXPECT_FALSE(protocol.source().isValid());
    EXPECT_EQ(protocol.host().ip(), "1.2.3.4");
    EXPECT_EQ(protocol.host().port(), 70000u);
    EXPECT_EQ(protocol.host().port() & 0xFFFFu, 4464u);
    EXPECT_EQ(loaded.lines, Lines{"parse version: 0"});
}

TEST(CommonFile, TypedSectionWinsOverProtocol)
{
    const Loaded loaded = load(R"([{"Protocol": {"Version": 1}, "Type": {"ID": 1}}])");
    EXPECT_TRUE(loaded.config->actual().isValid());
    EXPECT_FALSE(loaded.config->protocol().isValid());
    EXPECT_EQ(loaded.lines, Lines{});
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
    EXPECT_FALSE(loaded.config->moldSet().isValid());
    EXPECT_TRUE(loaded.config->moldSet().moldList().empty());
    const auto triggers = loaded.config->triggers();
    ASSERT_EQ(triggers.size(), 2u);
    EXPECT_EQ(triggers[0].outTime(), 1u);
    EXPECT_EQ(triggers[1].outTime(), 2u);
    EXPECT_EQ(triggers[1].groupID(), 4u);
}

TEST(CommonFile, FirstTypeAndFirstIdSelectTheSectionLastIdFillsIt)
{
    const Loaded loaded = load(R"([{"Type": {"ID": 1, "ID": 7, "CycleTime": 9},
                                     "Type": {"ID": 7}}])");
    EXPECT_FALSE(loaded.config->lineStatus().isValid());
    EXPECT_TRUE(loaded.config->actual().isValid());
    EXPECT_EQ(loaded.config->actual().ID(), 7u);
    EXPECT_EQ(loaded.config->actual().cycleTime(), 9u);
}

// How a number is written in the file decides its word, which a tree of values alone no longer
// tells for an integer literal wider than 64 bits.
struct WrittenNumberRow {
    std::string name;
    std::string params;
    std::vector<int> words;
    bool valid;
};

class WrittenNumber : public testing::TestWithParam<WrittenNumberRow> {};

TEST_P(WrittenNumber, DecidesTheWordOfAConditionParameter)
{
    const Loaded loaded = load(R"([{"Type": {"ID": 17, "GroupID": 100000000000000000000,
                                             "StartTrigger": [{"Condition": [
                                                 {"Type": 1, "Params": )" +
                               GetParam().params + "}]}]}}]");
    ASSERT_TRUE(loaded.config->isValid());
    const auto triggers = loaded.config->triggers();
    ASSERT_EQ(triggers.size(), 1u);
    EXPECT_EQ(triggers[0].groupID(), 0u);
    const auto params = triggers[0].startTrigger().triggerParams()[0].conditions()[0].params();
    EXPECT_EQ(params.array(), GetParam().words);
    EXPECT_EQ(params.isValid(), GetParam().valid);
    EXPECT_EQ(loaded.lines, GetParam().valid ? Lines{} : Lines{"Data Type Convert Error ....."});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WrittenNumber,
    testing::Values(
        WrittenNumberRow{"Exponent", "[1e20, 2]", {0x60AD78EC, 2}, true},
        WrittenNumberRow{"Fraction",
                         "[100000000000000000000.0, -1e+20]",
                         {0x60AD78EC, static_cast<int>(0xE0AD78EC)},
                         true},
        WrittenNumberRow{"IntegerBeyond64Bits", "[1, 100000000000000000000, 2]", {1}, false},
        WrittenNumberRow{"NegativeIntegerBeyond64Bits", "[-100000000000000000000]", {}, false}),
    [](const testing::TestParamInfo<WrittenNumberRow>& info) { return info.param.name; });

TEST(CommonFile, Example)
{
    vextest::StdoutCapture out;
    const CvexParsePlcCommon config(VEXPLC_EXAMPLE_COMMON_FILE);
    ASSERT_TRUE(config.isValid());
    EXPECT_EQ(out.lines(), Lines{"parse version: 1"});
    EXPECT_EQ(config.protocol().source().ip(), "127.0.0.1");
    EXPECT_EQ(config.protocol().source().port(), 30001u);
    EXPECT_EQ(config.protocol().host().port(), 30002u);
    EXPECT_EQ(config.lineStatus().cycleTime(), 3000u);
    EXPECT_EQ(config.lineStatus().version(), 1u);

    auto range = [](unsigned int first, unsigned int last) {
        std::vector<unsigned int> ids;
        for (unsigned int id = first; id <= last; ++id)
            ids.push_back(id);
        return ids;
    };
    EXPECT_EQ(config.actual().cycleTime(), 200u);
    EXPECT_EQ(config.actual().dataIDSet().array(), range(1001, 1020));

    const auto blocks = config.moldSet().moldList();
    ASSERT_EQ(blocks.size(), 2u);
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
    ASSERT_EQ(triggers.size(), 3u);
    const unsigned int groups[] = {2, 5, 101};
    const std::vector<unsigned int> ids[] = {range(4001, 4004), range(4101, 4103),
                                             range(5001, 5004)};
    for (size_t i = 0; i < triggers.size(); ++i) {
        EXPECT_EQ(triggers[i].groupID(), groups[i]);
        EXPECT_EQ(triggers[i].dataIDSet().array(), ids[i]);
        for (const auto& phase :
             {triggers[i].startTrigger(), triggers[i].sendTrigger(), triggers[i].stopTrigger()}) {
            ASSERT_EQ(phase.triggerParams().size(), 1u);
            EXPECT_FALSE(phase.triggerParams()[0].conditions().empty());
        }
    }
    const auto condition = triggers[0].startTrigger().triggerParams()[0].conditions()[1];
    EXPECT_EQ(condition.params().array(), (std::vector<int>{4001, 0x42AB0000}));
}

} // namespace
