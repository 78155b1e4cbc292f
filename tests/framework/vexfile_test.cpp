// SPDX-License-Identifier: MIT
#include "vexfile.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

using Orrery::CvexByteArray;
using Orrery::CvexDevice;
using Orrery::CvexFile;
using Orrery::CvexString;

TEST(CvexFile, WrittenBytesReadBackWholeAndAMissingFileDoesNotOpen)
{
    const std::string content("{\"a\": 1}\n\0\xff tail", 16);
    const vextest::TempFile file(content);
    CvexFile reader(CvexString::fromUtf8(file.path().c_str(), -1));
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.write(CvexByteArray("x")), -1);
    EXPECT_EQ(reader.readAll().toStdString(), content);
    reader.close();
    EXPECT_FALSE(reader.isOpen());

    {
        CvexFile writer(CvexString(file.path()));
        ASSERT_TRUE(writer.open(CvexDevice::WriteOnly));
        EXPECT_EQ(writer.write(CvexByteArray("new")), 3);
        EXPECT_TRUE(writer.readAll().isEmpty());
    }
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_EQ(reader.readAll().toStdString(), "new");

    CvexFile missing(CvexString("/nonexistent/vexplc/common.json"));
    EXPECT_FALSE(missing.open(CvexDevice::ReadOnly));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_TRUE(missing.readAll().isEmpty());
}
