// SPDX-License-Identifier: MIT
#include "itemdictionary.h"

#include "vexdbstoragefactory.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

namespace {

using Orrery::CvexVariant;

TEST(ItemDictionary, FillsTheStorageWithNamesTypesValuesAndValueTypes)
{
    vextest::TempFile file(R"([
      {"ID": 1001, "Name": "Barrel zone 1 temperature", "DataType": 7, "Value": 220.5},
      {"ID": 1018, "Name": "Shot counter", "DataType": 6, "Value": 4000000000},
      {"ID": 4102, "Name": "Mold temperature deviation", "DataType": 3, "ValueT": 2, "Value": -7},
      {"ID": 5001, "Name": "Injection pressure curve", "DataType": 8, "ValueT": 9}
    ])");
    plchost::ItemDictionary items;
    ASSERT_TRUE(items.load(file.path())) << items.errors().front();
    auto& storage = *Orrery::CvexDBStorageFactory::instance()->get(2);
    storage.clear();
    items.fillStorage(storage);

    EXPECT_EQ(storage.value(1001), CvexVariant(220.5));
    EXPECT_EQ(storage.value(1018), CvexVariant(4000000000u));
    EXPECT_EQ(storage.value(4102), CvexVariant(-7));
    EXPECT_TRUE(storage.value(5001).isNull());
    EXPECT_EQ(storage.dataItem(4102).dataType, 3);
    EXPECT_EQ(storage.itemProperty(4102, "ValueT"), CvexVariant(2u));
    EXPECT_TRUE(storage.itemProperty(1001, "ValueT").isNull());
    EXPECT_EQ(storage.dataID("Shot counter"), 1018u);
    EXPECT_EQ(items.label(5001), "Injection pressure curve");
    EXPECT_EQ(items.label(9999), "ID 9999");
    storage.clear();
}

TEST(ItemDictionary, RefusesWhatTheItemsFileRefuses)
{
    vextest::TempFile file(R"([{"ID": 5, "Name": "a", "DataType": 1, "Value": 128}])");
    plchost::ItemDictionary items;
    EXPECT_FALSE(items.load(file.path()));
    EXPECT_EQ(items.errors(),
              std::vector<std::string>{file.path() + ":1: item 1 (ID 5): \"Value\" 128 does not "
                                                     "fit data type 1 (signed 8-bit)"});
    EXPECT_TRUE(items.items().empty());
}

} // namespace
