// SPDX-License-Identifier: MIT
#include "commandprompt.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct Typing {
    std::string keys;
    std::vector<std::string> lines; // handed over, in order
    bool openAfter;
    std::string row;
};

TEST(CommandPrompt, KeysBuildOneLineThatEnterHandsOverAndEscapeDrops)
{
    const std::string closedRow =
        "Press : for a command: upload ID|NAME, download ID|NAME=VALUE, action CODE";
    const Typing rows[] = {
        {"upload 2001\r", {}, false, closedRow}, // keys before the prompt opens are not commands
        {":upload 2001\r", {"upload 2001"}, false, closedRow},
        {":download Screw speed=130\n", {"download Screw speed=130"}, false, closedRow},
        {":action 3", {}, true, "command> action 3_   (Enter sends, Esc cancels)"},
        {":actoin\x7f\x7f\x7fion 3\r", {"action 3"}, false, closedRow},
        {":up\b\bupload 1\x1b", {}, false, closedRow},
        {":upload 1\x1b[A:action 2\r", {"action 2"}, false, closedRow}, // an arrow key cancels
        {":\x7f\x7f\r", {""}, false, closedRow},
        {":a\tb\x01\r:x\r", {"ab", "x"}, false, closedRow},
        {":" + std::string(300, '9') + "\r", {std::string(200, '9')}, false, closedRow},
    };
    for (const Typing& row : rows) {
        plchost::CommandPrompt prompt;
        std::vector<std::string> lines;
        for (const char key : row.keys) {
            if (const std::optional<std::string> line = prompt.feed(key))
                lines.push_back(*line);
        }
        EXPECT_EQ(lines, row.lines) << row.keys;
        EXPECT_EQ(prompt.isOpen(), row.openAfter) << row.keys;
        EXPECT_EQ(prompt.row(), row.row) << row.keys;
    }
}

} // namespace
