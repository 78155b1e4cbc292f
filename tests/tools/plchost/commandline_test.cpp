// SPDX-License-Identifier: MIT
#include "commandline.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using plchost::CommandLine;

plchost::Options parse(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return CommandLine::parse(words);
}

TEST(CommandLine, OptionsComeInAnyOrderAndOneShotCommandsKeepTheirTargets)
{
    const auto options =
        parse("run --plain --duration 2.5 common.json --out curves --items items.json");
    EXPECT_EQ(options.command, "run");
    EXPECT_EQ(options.commonFile, "common.json");
    EXPECT_EQ(options.itemsFile, "items.json");
    EXPECT_EQ(options.outputFolder, "curves");
    EXPECT_DOUBLE_EQ(options.duration, 2.5);
    EXPECT_TRUE(options.plain);
    const auto oneShot = parse("download c.json --items i.json Screw_speed=120 2001=5");
    EXPECT_EQ(oneShot.arguments, (std::vector<std::string>{"Screw_speed=120", "2001=5"}));
    EXPECT_DOUBLE_EQ(oneShot.timeout, 3);
}

TEST(CommandLine, UsageErrorsNameTheOffendingWord)
{
    const std::pair<const char*, const char*> rows[] = {
        {"", "no command given"},
        {"start c.json", "unknown command \"start\""},
        {"check", "\"check\" needs a common file"},
        {"check c.json --plain", "unknown option --plain for \"check\""},
        {"check c.json extra", "unexpected argument \"extra\" for \"check\""},
        {"run c.json", "\"run\" needs --items ITEMS"},
        {"run c.json --items", "--items needs a value"},
        {"run c.json --items i.json --duration soon",
         "--duration takes a positive number of seconds, not \"soon\""},
        {"run c.json --items i.json --duration -1",
         "--duration takes a positive number of seconds, not \"-1\""},
        {"upload c.json", "\"upload\" needs at least one ID or name"},
        {"action c.json --timeout 1", "\"action\" needs at least one action code"},
        {"download c.json A=1", "\"download\" needs --items ITEMS"}};
    for (const auto& [line, error] : rows) {
        try {
            parse(line);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const plchost::UsageError& usage) {
            EXPECT_STREQ(usage.what(), error);
        }
    }
}

} // namespace
