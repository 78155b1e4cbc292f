// SPDX-License-Identifier: MIT
#include "vexfile.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

// A file of known size comes in one piece; one whose size the system does not tell (a /proc
// file reports 0) still comes whole through the chunks.
TEST(CvexFile, ReadAllTakesLargeFilesAndFilesWithoutASize)
{
    std::string large(200000, '\0');
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 7919u) >> 3);
    const vextest::TempFile file(large);
    CvexFile reader(CvexString::fromUtf8(file.path().c_str(), -1));
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_EQ(reader.readAll().toStdString(), large);
    EXPECT_TRUE(reader.readAll().isEmpty());
#ifdef __linux__
    CvexFile unsized(CvexString("/proc/self/status"));
    ASSERT_TRUE(unsized.open(CvexDevice::ReadOnly));
    const std::string status = unsized.readAll().toStdString();
    EXPECT_EQ(status.rfind("Name:", 0), 0u) << status.substr(0, 40);
    EXPECT_NE(status.find("\nPid:"), std::string::npos);
#endif
}

// Host folders carry names such as "Größe"; the UTF-8 name must reach the file system as those
// letters, not as the bytes read in some code page (Windows' narrow calls would do that).
TEST(CvexFile, Utf8NamesOpenTheFileOfThatName)
{
    const vextest::TempFile marker("", "");
    const std::string root = marker.path() + ".d";
    const struct Cleanup {
        std::filesystem::path path;
        ~Cleanup()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } cleanup{std::filesystem::u8path(root)};
    const std::filesystem::path folder = std::filesystem::u8path(root + "/Maschinenpark/Größe");
    std::filesystem::create_directories(folder);
    const std::string name = root + "/Maschinenpark/Größe/common.json";
    std::ofstream(folder / "common.json", std::ios::binary) << "{\"Größe\": 1}";

    CvexFile reader(CvexString::fromUtf8(name.c_str(), -1));
    ASSERT_TRUE(reader.open(CvexDevice::ReadOnly));
    EXPECT_EQ(reader.readAll().toStdString(), "{\"Größe\": 1}");

    CvexFile writer(CvexString::fromUtf8((name + ".copy").c_str(), -1));
    ASSERT_TRUE(writer.open(CvexDevice::WriteOnly));
    EXPECT_EQ(writer.write(CvexByteArray("copy")), 4);
    writer.close();
    EXPECT_TRUE(std::filesystem::exists(folder / "common.json.copy"));
}
