// SPDX-License-Identifier: MIT
#include "vexfile.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

using Orrery::CvexDevice;
using Orrery::CvexFile;
using Orrery::CvexString;

TEST(CvexFile, ReadAllGivesTheWholeContent)
{
    const std::string content("{\"a\": 1}\n\0\xff tail", 16);
    const vextest::TempFile file(content);
    CvexFile reader(CvexString::fromUtf8(file.path().c_str(), -1));
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.readAll().toStdString(), content);
    reader.close();
    EXPECT_FALSE(reader.isOpen());
}

TEST(CvexFile, MissingFileDoesNotOpen)
{
    CvexFile reader(CvexString("/nonexistent/vexplc/common.json"));
    EXPECT_FALSE(reader.open(CvexDevice::ReadOnly));
    EXPECT_FALSE(reader.isOpen());
    EXPECT_TRUE(reader.readAll().isEmpty());
}

TEST(CvexFile, WrittenBytesReadBack)
{
    const vextest::TempFile file("old content");
    {
        CvexFile writer(CvexString(file.path()));
        ASSERT_TRUE(writer.open(CvexDevice::WriteOnly));
        EXPECT_EQ(writer.write(Orrery::CvexByteArray("new")), 3);
        EXPECT_TRUE(writer.readAll().isEmpty());
    }
    CvexFile reader(CvexString(file.path()));
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_EQ(reader.write(Orrery::CvexByteArray("x")), -1);
    EXPECT_EQ(reader.readAll().toStdString(), "new");
}
