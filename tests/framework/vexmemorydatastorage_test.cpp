// SPDX-License-Identifier: MIT
#include "vexdbstoragefactory.h"

#include <gtest/gtest.h>

#include <climits>

using Orrery::CvexAbstractDataStorage;
using Orrery::CvexDBStorageFactory;
using Orrery::CvexVariant;

class DataStorageTest : public testing::Test {
protected:
    void SetUp() override
    {
        storage = CvexDBStorageFactory::instance()->get(2);
        ASSERT_NE(storage, nullptr);
        storage->clear();
    }
    void TearDown() override { storage->clear(); }

    CvexAbstractDataStorage* storage = nullptr;
};

TEST(CvexDBStorageFactory, OneStoragePerTypeOnEveryCall)
{
    CvexDBStorageFactory* factory = CvexDBStorageFactory::instance();
    EXPECT_EQ(factory, CvexDBStorageFactory::instance());
    EXPECT_EQ(factory->get(2), factory->get(2));
    EXPECT_NE(factory->get(2), factory->get(3));
    EXPECT_EQ(factory->get(-1), nullptr);
}

TEST_F(DataStorageTest, NamesResolveToTheirIDs)
{
    storage->addItem(100, "Temp1", 4);
    storage->addItem(200, "Speed", 6);
    EXPECT_EQ(storage->dataID("Speed"), 200u);
    EXPECT_EQ(storage->dataID("Unknown"), 0xFFFFFFFFu);
    EXPECT_EQ(storage->dataIDs({"Speed", "Nope", "Temp1"}),
              (std::vector<unsigned int>{200u, 0xFFFFFFFFu, 100u}));
    EXPECT_EQ(storage->itemName(100), "Temp1");
    EXPECT_EQ(storage->itemIDs(), (std::vector<unsigned int>{100u, 200u}));
}

TEST_F(DataStorageTest, RedeclaringAnItemRenamesIt)
{
    storage->addItem(100, "Old", 4);
    storage->addItem(100, "New", 6, CvexVariant(3u));
    EXPECT_EQ(storage->dataID("Old"), 0xFFFFFFFFu);
    EXPECT_EQ(storage->dataID("New"), 100u);
    EXPECT_EQ(storage->dataItem(100).dataType, 6);
    EXPECT_EQ(storage->value(100), CvexVariant(3u));
}

TEST_F(DataStorageTest, SetValueStoresTheVariantAsGiven)
{
    storage->addItem(100, "Temp1", 4);
    EXPECT_EQ(storage->setValue(100, CvexVariant(7u)), 0);
    EXPECT_EQ(storage->value(100), CvexVariant(7u));
    EXPECT_EQ(storage->setValue(555, CvexVariant(2.5)), 0);
    EXPECT_EQ(storage->value(555), CvexVariant(2.5));
    EXPECT_TRUE(storage->value(556).isNull());
}

TEST_F(DataStorageTest, ItemRecordsComeOnePerIdInTheOrderAsked)
{
    storage->addItem(100, "Temp1", 4, CvexVariant(-3));
    storage->addItem(200, "Speed", 6);
    const auto records = storage->dataItems({200, 999, 100});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].dataID, 200u);
    EXPECT_EQ(records[0].dataType, 6);
    EXPECT_TRUE(records[0].value.isNull());
    EXPECT_EQ(records[1].dataID, 999u);
    EXPECT_EQ(records[1].dataType, 0);
    EXPECT_TRUE(records[1].value.isNull());
    EXPECT_EQ(records[2].value, CvexVariant(-3));
}

TEST_F(DataStorageTest, PropertiesAreNullWhenAbsent)
{
    storage->addItem(100, "Temp1", 4);
    storage->setItemProperty(100, "ValueT", CvexVariant(5));
    EXPECT_EQ(storage->itemProperty(100, "ValueT", 0), CvexVariant(5));
    EXPECT_TRUE(storage->itemProperty(100, "Other", 0).isNull());
    EXPECT_TRUE(storage->itemProperty(101, "ValueT", 0).isNull());
}

TEST_F(DataStorageTest, ClearForgetsEverything)
{
    storage->addItem(100, "Temp1", 4, CvexVariant(1));
    storage->setItemProperty(100, "ValueT", CvexVariant(5));
    storage->setMoldSetIDList({5, 6, 6, 7});
    EXPECT_EQ(storage->moldSetIDList(), (std::vector<unsigned int>{5, 6, 6, 7}));
    storage->clear();
    EXPECT_TRUE(storage->value(100).isNull());
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

INSTANTIATE_TEST_SUITE_P(
    Rows, DataStorageConvert,
    testing::Values(ConvertRow{1, CvexVariant(127), CvexVariant(127)},
                    ConvertRow{1, CvexVariant(128), CvexVariant()},
                    ConvertRow{9, CvexVariant(-128), CvexVariant(-128)},
                    ConvertRow{9, CvexVariant(-129), CvexVariant()},
                    ConvertRow{2, CvexVariant(32767.9), CvexVariant(32767)},
                    ConvertRow{3, CvexVariant(-32769), CvexVariant()},
                    ConvertRow{4, CvexVariant(-2.7), CvexVariant(-2)},
                    ConvertRow{5, CvexVariant(2147483648u), CvexVariant()},
                    ConvertRow{5, CvexVariant(2147483647u), CvexVariant(INT_MAX)},
                    ConvertRow{6, CvexVariant(-1), CvexVariant()},
                    ConvertRow{6, CvexVariant(42), CvexVariant(42u)},
                    ConvertRow{6, CvexVariant(4294967295.0), CvexVariant(4294967295u)},
                    ConvertRow{6, CvexVariant(4294967296.0), CvexVariant()},
                    ConvertRow{7, CvexVariant(0.1), CvexVariant(static_cast<double>(0.1f))},
                    ConvertRow{8, CvexVariant(3), CvexVariant(3.0)},
                    ConvertRow{7, CvexVariant(1e39), CvexVariant()},
                    ConvertRow{0, CvexVariant(1), CvexVariant()},
                    ConvertRow{10, CvexVariant(1), CvexVariant()},
                    ConvertRow{4, CvexVariant(), CvexVariant()}));
