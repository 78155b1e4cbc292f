// SPDX-License-Identifier: MIT
#include "vexbytearray.h"
#include "vexbytearray_p.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using Orrery::CvexByteArray;

TEST(CvexByteArray, CopiesShareUntilOneIsWritten)
{
    const CvexByteArray original("abc");
    CvexByteArray copy = original;
    // Reading, even through the non-const object, keeps the share.
    EXPECT_EQ(copy.size(), 3);
    EXPECT_EQ(static_cast<const CvexByteArray&>(copy).data()[1], 'b');
    EXPECT_EQ(copy.at(2), 'c');
    EXPECT_TRUE(copy.isSharedWith(original));
    EXPECT_EQ(copy.constData(), original.constData());
    copy.data()[0] = 'x';
    EXPECT_FALSE(copy.isSharedWith(original));
    EXPECT_EQ(copy.toStdString(), "xbc");

    CvexByteArray appended = original;
    appended.append('d');
    CvexByteArray resized = original;
    resized.resize(5);
    CvexByteArray assigned;
    assigned = original;
    EXPECT_TRUE(assigned.isSharedWith(original));
    EXPECT_EQ(original.toStdString(), "abc");
    EXPECT_EQ(appended.toStdString(), "abcd");
    EXPECT_EQ(resized.toStdString(), std::string("abc\0\0", 5));

    copy.append(copy);
    EXPECT_EQ(copy.toStdString(), "xbcxbc");
}

TEST(CvexByteArray, ConstructionAndReadsStayWithinTheBytes)
{
    EXPECT_EQ(CvexByteArray("a\0b", 3).size(), 3);
    EXPECT_EQ(CvexByteArray("abc\0def", -1).toStdString(), "abc");
    EXPECT_TRUE(CvexByteArray(nullptr, 5).isEmpty());
    EXPECT_EQ(CvexByteArray(3, 'z').toStdString(), "zzz");
    EXPECT_TRUE(CvexByteArray(-2, 'z').isEmpty());
#if !VEX_ADDRESS_SANITIZER
    // The bytes are followed by a NUL that size() leaves out (poisoned under AddressSanitizer).
    EXPECT_EQ(CvexByteArray("xy", 2).constData()[2], '\0');
#endif
    // Reads outside the bytes through at() give NUL.
    EXPECT_EQ(CvexByteArray("ab").at(-1), '\0');
    EXPECT_EQ(CvexByteArray("ab")[2], '\0');
    EXPECT_EQ(CvexByteArray("ab"), CvexByteArray("ab", 2));
    EXPECT_NE(CvexByteArray("ab"), CvexByteArray("ab\0", 3));

    const CvexByteArray bytes("012345");
    EXPECT_EQ(bytes.mid(2).toStdString(), "2345");
    EXPECT_EQ(bytes.mid(2, 2).toStdString(), "23");
    EXPECT_EQ(bytes.mid(-2, 4).toStdString(), "01");
    EXPECT_EQ(bytes.mid(4, 100).toStdString(), "45");
    EXPECT_TRUE(bytes.mid(9).isEmpty());
    EXPECT_EQ(bytes.left(3).toStdString(), "012");
    EXPECT_TRUE(bytes.left(-1).isEmpty());
}

TEST(CvexByteArray, NumberWritesDigitsInTheGivenBase)
{
    EXPECT_EQ(CvexByteArray::number(0u, 10).toStdString(), "0");
    EXPECT_EQ(CvexByteArray::number(4294967295u, 10).toStdString(), "4294967295");
    EXPECT_EQ(CvexByteArray::number(-42).toStdString(), "-42");
    EXPECT_EQ(CvexByteArray::number(255u, 16).toStdString(), "ff");
    EXPECT_EQ(CvexByteArray::number(5, 2).toStdString(), "101");
    EXPECT_EQ(CvexByteArray::number(LLONG_MIN).toStdString(), "-9223372036854775808");
    EXPECT_EQ(CvexByteArray::number(ULLONG_MAX, 36).toStdString(), "3w5e11264sgsf");
}

// Each row: text, base, then toInt's ok and value, then toUInt's ok and value.
struct ConversionRow {
    const char* text;
    int base;
    bool intOk;
    int intValue;
    bool uintOk;
    unsigned int uintValue;
};

class CvexByteArrayConversion : public testing::TestWithParam<ConversionRow> {};

TEST_P(CvexByteArrayConversion, ConvertsTheWholeTextOrClearsTheFlag)
{
    const ConversionRow& row = GetParam();
    const CvexByteArray text(row.text);
    bool ok = !row.intOk;
    EXPECT_EQ(text.toInt(&ok, row.base), row.intValue);
    EXPECT_EQ(ok, row.intOk);
    ok = !row.uintOk;
    EXPECT_EQ(text.toUInt(&ok, row.base), row.uintValue);
    EXPECT_EQ(ok, row.uintOk);
}

const ConversionRow conversionRows[] = {{"", 10, false, 0, false, 0u},
                                        {"0", 10, true, 0, true, 0u},
                                        {"123", 10, true, 123, true, 123u},
                                        {"-1", 10, true, -1, false, 0u},
                                        {"+5", 10, true, 5, false, 0u},
                                        {"-", 10, false, 0, false, 0u},
                                        {"12a", 10, false, 0, false, 0u},
                                        {" 1", 10, false, 0, false, 0u},
                                        {"1 ", 10, false, 0, false, 0u},
                                        {"2147483647", 10, true, INT_MAX, true, 2147483647u},
                                        {"2147483648", 10, false, 0, true, 2147483648u},
                                        {"-2147483648", 10, true, INT_MIN, false, 0u},
                                        {"-2147483649", 10, false, 0, false, 0u},
                                        {"4294967295", 10, false, 0, true, 4294967295u},
                                        {"4294967296", 10, false, 0, false, 0u},
                                        {"99999999999999999999999", 10, false, 0, false, 0u},
                                        {"ff", 16, true, 255, true, 255u},
                                        {"FF", 16, true, 255, true, 255u},
                                        {"12", 2, false, 0, false, 0u},
                                        {"1", 1, false, 0, false, 0u}};
INSTANTIATE_TEST_SUITE_P(Rows, CvexByteArrayConversion, testing::ValuesIn(conversionRows));

namespace {

// Each row: how an array came by its bytes (made, then edited), and the bytes it must hold. Sizes
// around 8 and 16 put the byte behind the data at the start, inside and at the end of a sanitizer
// granule, in the string's inline buffer and on the heap.
struct TerminatorRow {
    const char* name;
    CvexByteArray (*make)();
    void (*edit)(CvexByteArray&);
    std::string expected;
};

void PrintTo(const TerminatorRow& row, std::ostream* out)
{
    *out << row.name;
}

void appendCharByChar(CvexByteArray& bytes)
{
    for (int i = 0; i < 37; ++i)
        bytes.append('x');
}

const CvexByteArray sharedOriginal("shared");

const TerminatorRow terminatorRows[] = {
    {"Empty", [] { return CvexByteArray(); }, nullptr, ""},
    {"Short", [] { return CvexByteArray("xy"); }, nullptr, "xy"},
    {"Seven", [] { return CvexByteArray("0123456", 7); }, nullptr, "0123456"},
    {"Eight", [] { return CvexByteArray("01234567", 8); }, nullptr, "01234567"},
    {"Fifteen", [] { return CvexByteArray("0123456789abcde"); }, nullptr, "0123456789abcde"},
    {"Sixteen", [] { return CvexByteArray("0123456789abcdef"); }, nullptr, "0123456789abcdef"},
    {"Filled", [] { return CvexByteArray(100, 'f'); }, nullptr, std::string(100, 'f')},
    {"GrownByChars", [] { return CvexByteArray("abc"); }, appendCharByChar,
     "abc" + std::string(37, 'x')},
    {"Appended", [] { return CvexByteArray("abc").append(CvexByteArray(20, 'y')); }, nullptr,
     "abc" + std::string(20, 'y')},
    {"AppendedToItself", [] { return CvexByteArray("0123456789"); },
     [](CvexByteArray& bytes) { bytes.append(bytes); }, "01234567890123456789"},
    {"Shrunk", [] { return CvexByteArray(50, 'q'); }, [](CvexByteArray& bytes) { bytes.resize(3); },
     "qqq"},
    {"Grown", [] { return CvexByteArray("ab"); }, [](CvexByteArray& bytes) { bytes.resize(20); },
     std::string("ab") + std::string(18, '\0')},
    {"Mid", [] { return CvexByteArray("0123456789abcdefghij").mid(5, 9); }, nullptr, "56789abcd"},
    {"WrittenCopy", [] { return sharedOriginal; },
     [](CvexByteArray& bytes) { bytes.data()[0] = 'S'; }, "Shared"},
    {"Cleared", [] { return CvexByteArray("abc"); }, [](CvexByteArray& bytes) { bytes.clear(); },
     ""},
    {"Number", [] { return CvexByteArray::number(-1234567890); }, nullptr, "-1234567890"},
};

class CvexByteArrayTerminator : public testing::TestWithParam<TerminatorRow> {};

#if VEX_ADDRESS_SANITIZER
// A volatile read, so that the compiler keeps it.
void readByte(const char* byte)
{
    static_cast<void>(*static_cast<const volatile char*>(byte));
}
#endif

TEST_P(CvexByteArrayTerminator, ReadingTheByteBehindTheDataIsReported)
{
    CvexByteArray made = GetParam().make();
    if (GetParam().edit)
        GetParam().edit(made);
    const CvexByteArray& bytes = made;
    ASSERT_EQ(bytes.toStdString(), GetParam().expected);
    const char* data = bytes.data();
    const int size = bytes.size();
#if VEX_ADDRESS_SANITIZER
    if (size > 0)
        readByte(data + size - 1);
    EXPECT_DEATH(readByte(data + size),
                 "AddressSanitizer: (use-after-poison|heap-buffer-overflow)");
#else
    static_cast<void>(data);
    GTEST_SKIP() << "only an AddressSanitizer build poisons the byte behind the data of " << size
                 << " bytes";
#endif
}

INSTANTIATE_TEST_SUITE_P(Rows, CvexByteArrayTerminator, testing::ValuesIn(terminatorRows),
                         [](const testing::TestParamInfo<TerminatorRow>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
