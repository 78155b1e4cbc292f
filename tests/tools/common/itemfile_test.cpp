// SPDX-License-Identifier: MIT
// The items file: what plcsim and plchost both accept, and the words of every refusal.
#include "itemfile.h"

#include <gtest/gtest.h>

namespace {

using vextools::ItemFile;

TEST(ItemFile, ReadsEveryFieldAndTheLineOfEachItem)
{
    ItemFile file;
    ASSERT_TRUE(file.parse(R"([
      {"ID": 1001, "Name": "Zone 1", "DataType": 7, "Value": 220.5},
      {"ID": 4102, "Name": "Deviation", "DataType": 3, "ValueT": 2, "Value": -7},
      {"ID": 5001, "Name": "Curve", "DataType": 8, "Value": null}
    ])",
                           "items.json"));
    ASSERT_EQ(file.items().size(), 3u);
    const vextools::ItemEntry& zone = file.items()[0];
    EXPECT_EQ(zone.id, 1001u);
    EXPECT_EQ(zone.name, "Zone 1");
    EXPECT_EQ(zone.dataType, 7u);
    EXPECT_EQ(zone.valueT, 0u) << "0: not given";
    EXPECT_EQ(zone.value, 220.5);
    EXPECT_TRUE(zone.hasValue);
    EXPECT_EQ(zone.line, 2);
    EXPECT_EQ(file.items()[1].valueT, 2u);
    EXPECT_EQ(file.items()[1].value, -7);
    EXPECT_FALSE(file.items()[2].hasValue);
    EXPECT_EQ(file.items()[2].line, 4);
}

TEST(ItemFile, RefusalsNameTheLineTheItemAndTheReason)
{
    const std::pair<const char*, const char*> rows[] = {
        {R"({"ID": 1})", ": the items file must be an array of item objects, not an object"},
        {"[]", ": the items file holds no items"},
        {"[{\"ID\": 1, \"Name\": \"a\", \"DataType\": 1},\n 3]",
         ":2: item 2: must be an object, not the number 3"},
        {R"([{"ID": -1, "Name": "a", "DataType": 1}])",
         ":1: item 1: \"ID\" must be an unsigned integer, not the number -1"},
        {R"([{"ID": 5, "Name": "a", "DataType": 12}])",
         ":1: item 1 (ID 5): \"DataType\" 12 is not a data type code (1 to 9)"},
        {R"([{"ID": 5, "Name": "a"}])", ":1: item 1 (ID 5): \"DataType\" is missing"},
        {R"([{"ID": 5, "Name": "a", "DataType": 1, "Value": 128}])",
         ":1: item 1 (ID 5): \"Value\" 128 does not fit data type 1 (signed 8-bit)"},
        {R"([{"ID": 5, "Name": "a", "DataType": 6, "Value": -1}])",
         ":1: item 1 (ID 5): \"Value\" -1 does not fit data type 6 (unsigned 32-bit)"},
        {R"([{"ID": 5, "Name": "a", "DataType": 4, "Value": 2.5}])",
         ":1: item 1 (ID 5): \"Value\" 2.5 does not fit data type 4 (signed 32-bit)"},
        {R"([{"ID": 5, "Name": "a", "DataType": 7, "Value": 1e39}])",
         ":1: item 1 (ID 5): \"Value\" 1e+39 does not fit data type 7 (32-bit float)"},
        {R"([{"ID": 5, "Name": "a", "DataType": 4, "ValueT": 10}])",
         ":1: item 1 (ID 5): \"ValueT\" 10 is not a storage value type (1 to 9, 13 or 14)"},
        {R"([{"ID": 5, "DataType": 4}])", ":1: item 1 (ID 5): \"Name\" is missing"},
        {R"([{"ID": 5, "Name": 5, "DataType": 4}])",
         ":1: item 1 (ID 5): \"Name\" must be a non-empty string, not the number 5"},
        {R"([{"ID": 5, "Name": "a", "DataType": 4, "Value": true}])",
         ":1: item 1 (ID 5): \"Value\" must be a number, not a boolean"},
        {R"([{"ID": 5, "Name": "a", "Datatype": 4, "DataType": 4}])",
         ":1: item 1 (ID 5): unknown key \"Datatype\" (expected ID, Name, DataType, ValueT, "
         "Value)"},
        {"[{\"ID\": 5, \"Name\": \"a\", \"DataType\": 4},\n {\"ID\": 5, \"Name\": \"b\", "
         "\"DataType\": 4}]",
         ":2: item 2 (ID 5): ID 5 is already used by \"a\""},
        {"[{\"ID\": 5, \"Name\": \"a\", \"DataType\": 4},\n\n {\"ID\": 6, \"Name\": \"a\", "
         "\"DataType\": 4}]",
         ":3: item 2 (ID 6): the name \"a\" is already used by ID 5"},
        {"[\n{\"ID\": 5,}\n]", ":2:10: JSON syntax error: Missing a name for object member."}};
    for (const auto& [json, error] : rows) {
        ItemFile file;
        EXPECT_FALSE(file.parse(json, "items.json")) << json;
        EXPECT_EQ(file.errors(), std::vector<std::string>{std::string("items.json") + error});
    }
}

TEST(ItemFile, EveryFaultIsNamedNotOnlyTheFirst)
{
    ItemFile file;
    EXPECT_FALSE(file.parse(
        "[{\"ID\": 1, \"DataType\": 1},\n {\"ID\": 2, \"Name\": \"b\", \"DataType\": 0}]", "i"));
    EXPECT_EQ(file.errors(),
              (std::vector<std::string>{
                  "i:1: item 1 (ID 1): \"Name\" is missing",
                  "i:2: item 2 (ID 2): \"DataType\" 0 is not a data type code (1 to 9)"}));
}

} // namespace
