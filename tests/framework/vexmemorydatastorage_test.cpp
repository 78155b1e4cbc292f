// SPDX-License-Identifier: MIT
#include "vexdbstoragefactory.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

using Orrery::CvexAbstractDataStorage;
using Orrery::CvexDBStorageFactory;
using Orrery::CvexVariant;

class DataStorageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(storage, nullptr);
        storage->clear();
    }
    void TearDown() override { storage->clear(); }

    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
};

TEST_F(DataStorageTest, ItemsResolveByNameAndID)
{
    // One storage per type, the same on every call.
    EXPECT_EQ(storage, CvexDBStorageFactory::instance()->get(2));
    EXPECT_NE(storage, CvexDBStorageFactory::instance()->get(3));
    EXPECT_EQ(CvexDBStorageFactory::instance()->get(-1), nullptr);
    storage->addItem(100, "Old", 5);
    storage->addItem(100, "Temp1", 4, CvexVariant(-3));
    storage->addItem(200, "Speed", 6);
    EXPECT_EQ(storage->dataID("Speed"), 200u);
    // Redeclaring renames: the old name is gone.
    EXPECT_EQ(storage->dataID("Old"), 0xFFFFFFFFu);
    EXPECT_EQ(storage->dataIDs({"Speed", "Nope", "Temp1"}),
              (std::vector<unsigned int>{200u, 0xFFFFFFFFu, 100u}));
    EXPECT_EQ(storage->itemName(100), "Temp1");
    EXPECT_EQ(storage->itemIDs(), (std::vector<unsigned int>{100u, 200u}));
    EXPECT_EQ(storage->dataItem(100).dataType, 4);
    EXPECT_EQ(storage->value(100), CvexVariant(-3));

    // One record per ID asked, in that order; an unknown ID has type 0 and no value.
    std::vector<std::tuple<unsigned int, int, CvexVariant>> records;
    for (const auto& record : storage->dataItems({200, 999, 100}))
        records.emplace_back(record.dataID, record.dataType, record.value);
    EXPECT_EQ(records, (decltype(records){
                           {200u, 6, CvexVariant()}, {999u, 0, CvexVariant()}, {100u, 4, -3}}));
}

TEST_F(DataStorageTest, ValuesAndPropertiesStayAsGivenUntilClear)
{
    storage->addItem(100, "Temp1", 4, CvexVariant(1));
    EXPECT_EQ(storage->setValue(100, CvexVariant(7u)), 0);
    EXPECT_EQ(storage->value(100), CvexVariant(7u));
    EXPECT_EQ(storage->setValue(555, CvexVariant(2.5)), 0);
    EXPECT_EQ(storage->value(555), CvexVariant(2.5));
    EXPECT_TRUE(storage->value(556).isNull());
    storage->setItemProperty(100, "ValueT", CvexVariant(5));
    EXPECT_EQ(storage->itemProperty(100, "ValueT", 0), CvexVariant(5));
    EXPECT_TRUE(storage->itemProperty(100, "Other", 0).isNull());
    EXPECT_TRUE(storage->itemProperty(101, "ValueT", 0).isNull());
    storage->setMoldSetIDList({5, 6, 6, 7});
    EXPECT_EQ(storage->moldSetIDList(), (std::vector<unsigned int>{5, 6, 6, 7}));

    storage->clear();
    EXPECT_TRUE(storage->value(100).isNull());
    EXPECT_TRUE(storage->value(555).isNull());
    EXPECT_TRUE(storage->itemProperty(100, "ValueT").isNull());
    EXPECT_EQ(storage->dataID("Temp1"), 0xFFFFFFFFu);
    EXPECT_TRUE(storage->moldSetIDList().empty());
    EXPECT_TRUE(storage->itemIDs().empty());
}

struct ConvertRow {
    unsigned char code;
    CvexVariant input;
    CvexVariant expected;
};

class DataStorageConvert : public DataStorageTest,
                           public testing::WithParamInterface<ConvertRow> {};

TEST_P(DataStorageConvert, ConvertsToTheRangeOfTheCode)
{
    const ConvertRow& row = GetParam();
    const CvexVariant converted = storage->convertValue(row.code, row.input);
    EXPECT_EQ(converted.type(), row.expected.type());
    EXPECT_EQ(converted, row.expected);
}

const ConvertRow convertRows[] = {{1, CvexVariant(127), CvexVariant(127)},
                                  {1, CvexVariant(128), CvexVariant()},
                                  {9, CvexVariant(-128), CvexVariant(-128)},
                                  {9, CvexVariant(-129), CvexVariant()},
                                  {2, CvexVariant(32767.9), CvexVariant(32767)},
                                  {3, CvexVariant(-32769), CvexVariant()},
                                  {4, CvexVariant(-2.7), CvexVariant(-2)},
                                  {5, CvexVariant(2147483648u), CvexVariant()},
                                  {5, CvexVariant(2147483647u), CvexVariant(INT_MAX)},
                                  {6, CvexVariant(-1), CvexVariant()},
                                  {6, CvexVariant(42), CvexVariant(42u)},
                                  {6, CvexVariant(4294967295.0), CvexVariant(4294967295u)},
                                  {6, CvexVariant(4294967296.0), CvexVariant()},
                                  {7, CvexVariant(0.1), CvexVariant(static_cast<double>(0.1f))},
                                  {8, CvexVariant(3), CvexVariant(3.0)},
                                  {7, CvexVariant(1e39), CvexVariant()},
                                  {0, CvexVariant(1), CvexVariant()},
                                  {10, CvexVariant(1), CvexVariant()},
                                  {4, CvexVariant(), CvexVariant()}};
INSTANTIATE_TEST_SUITE_P(Rows, DataStorageConvert, testing::ValuesIn(convertRows));
