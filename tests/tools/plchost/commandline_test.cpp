// SPDX-License-Identifier: MIT
#include "commandline.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using plchost::CommandLine;

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

TEST(CommandLine, RunTakesItsOptionsInAnyOrder)
{
    const auto options = CommandLine::parse(
        words("run --plain --duration 2.5 common.json --out curves --items items.json"));
    EXPECT_EQ(options.command, "run");
    EXPECT_EQ(options.commonFile, "common.json");
    EXPECT_EQ(options.itemsFile, "items.json");
    EXPECT_EQ(options.outputFolder, "curves");
    EXPECT_DOUBLE_EQ(options.duration, 2.5);
    EXPECT_TRUE(options.plain);
}

TEST(CommandLine, OneShotCommandsKeepTheirTargets)
{
    const auto options =
        CommandLine::parse(words("download c.json --items i.json Screw_speed=120 2001=5"));
    EXPECT_EQ(options.arguments, (std::vector<std::string>{"Screw_speed=120", "2001=5"}));
    EXPECT_DOUBLE_EQ(options.timeout, 3);
}

struct BadLine {
    const char* line;
    const char* error;
};

class BadCommandLines : public testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLines, NameTheOffendingWord)
{
    try {
        CommandLine::parse(words(GetParam().line));
        FAIL() << "accepted: " << GetParam().line;
    } catch (const plchost::UsageError& error) {
        EXPECT_STREQ(error.what(), GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, BadCommandLines,
    testing::Values(BadLine{"", "no command given"},
                    BadLine{"start c.json", "unknown command \"start\""},
                    BadLine{"check", "\"check\" needs a common file"},
                    BadLine{"check c.json --plain", "unknown option --plain for \"check\""},
                    BadLine{"check c.json extra", "unexpected argument \"extra\" for \"check\""},
                    BadLine{"run c.json", "\"run\" needs --items ITEMS"},
                    BadLine{"run c.json --items", "--items needs a value"},
                    BadLine{"run c.json --items i.json --duration soon",
                            "--duration takes a positive number of seconds, not \"soon\""},
                    BadLine{"run c.json --items i.json --duration -1",
                            "--duration takes a positive number of seconds, not \"-1\""},
                    BadLine{"upload c.json", "\"upload\" needs at least one ID or name"},
                    BadLine{"action c.json --timeout 1",
                            "\"action\" needs at least one action code"},
                    BadLine{"download c.json A=1", "\"download\" needs --items ITEMS"}));

} // namespace
