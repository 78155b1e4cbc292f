// SPDX-License-Identifier: MIT
// The JSON reader of the tools: bounded in size, iterative in depth, exact in where it failed.
#include "jsonfile.h"

#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using vextools::JsonFile;

TEST(JsonFile, DeepNestingIsASyntaxErrorNotACrash)
{
    // Unclosed: the reader must walk all 100,000 levels on the heap before it finds the end.
    vextest::TempFile open(std::string(100000, '['));
    JsonFile file;
    EXPECT_FALSE(file.load(open.path()));
    EXPECT_EQ(file.error(), open.path() + ":1:100001: JSON syntax error: Invalid value.");

    // Closed, the same depth is a valid text.
    vextest::TempFile closed(std::string(100000, '[') + std::string(100000, ']'));
    EXPECT_TRUE(file.load(closed.path())) << file.error();
    EXPECT_TRUE(file.document().IsArray());
}

TEST(JsonFile, InputAboveTheLimitIsRefusedWithoutReadingItAll)
{
    vextest::TempFile big("");
    {
        std::ofstream out(big.path(), std::ios::binary);
        out << '[' << std::string(JsonFile::kMaxBytes - 2, ' ') << ']';
    }
    JsonFile file;
    EXPECT_TRUE(file.load(big.path())) << "exactly the limit is still read";
    {
        std::ofstream out(big.path(), std::ios::binary | std::ios::app);
        out << ' ';
    }
    EXPECT_FALSE(file.load(big.path()));
    EXPECT_EQ(file.error(), big.path() + ": the file is larger than the limit of 64 MiB");

    // An endless file ends at the limit too.
    EXPECT_FALSE(file.load("/dev/zero"));
    EXPECT_EQ(file.error(), "/dev/zero: the file is larger than the limit of 64 MiB");
}

TEST(JsonFile, RefusalsNameTheFileAndThePlace)
{
    const std::pair<const char*, const char*> rows[] = {
        {"", ": the file is empty (a JSON array was expected)"},
        {" \n\t", ": the file is empty (a JSON array was expected)"},
        {"\xEF\xBB\xBF[]",
         ":1:1: the file starts with a UTF-8 byte-order mark, which is not allowed (save it as "
         "UTF-8 without BOM)"},
        {"[1,\n 2,\n \xC3\xA9]", ":3:2: JSON syntax error: Invalid value."},
        {"[1]\n[2]", ":2:1: JSON syntax error: The document root must not be followed by other "
                     "values."}};
    for (const auto& [text, error] : rows) {
        JsonFile file;
        EXPECT_FALSE(file.parse(text, "f.json")) << text;
        EXPECT_EQ(file.error(), std::string("f.json") + error);
    }
    JsonFile file;
    EXPECT_FALSE(file.load("/nonexistent/f.json"));
    EXPECT_EQ(file.error(), "/nonexistent/f.json: cannot read the file: No such file or directory");
}

TEST(JsonFile, ElementsOfTheRootArrayKnowTheirLine)
{
    JsonFile file;
    ASSERT_TRUE(file.parse("[\n {\"a\": [1,\n 2]},\n 7, \"x\",\n\n [[]]\n]", "f.json"));
    for (const auto& [element, line] : {std::pair{0, 3}, {1, 4}, {2, 4}, {3, 6}, {4, 0}})
        EXPECT_EQ(file.elementLine(element), line) << element; // 0: no such element
    // The text ends at a NUL byte, as the library reads it.
    ASSERT_TRUE(file.parse(std::string("[1]\0garbage", 11), "f.json"));
    EXPECT_EQ(file.document().Size(), 1u);
}

} // namespace
