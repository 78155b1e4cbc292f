// SPDX-License-Identifier: MIT
#include "vexbytearray.h"
#include "vexbytearray_p.h"

#include <climits>
#include <cstring>

#if VEX_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace Orrery {

namespace {

int clampedSize(std::size_t size)
{
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Base 0 picks the base from a C-style prefix ("0x" hexadecimal, a leading 0 octal).
int resolveBase(const char*& text, const char* end, int base)
{
    if (base != 0)
        return base;
    if (end - text > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text += 2;
        return 16;
    }
    return (end - text > 1 && text[0] == '0') ? 8 : 10;
}

// The magnitude of an unsigned digit string; false on an empty string, a foreign character or
// a value above `limit`.
bool parseMagnitude(const char* text, const char* end, int base, unsigned long long limit,
                    unsigned long long* result)
{
    base = resolveBase(text, end, base);
    if (base < 2 || base > 36 || text == end)
        return false;
    unsigned long long value = 0;
    for (; text != end; ++text) {
        const int digit = digitValue(*text);
        if (digit >= base)
            return false;
        const auto ubase = static_cast<unsigned long long>(base);
        const auto udigit = static_cast<unsigned long long>(digit);
        if (value > (limit - udigit) / ubase)
            return false;
        value = value * ubase + udigit;
    }
    *result = value;
    return true;
}

CvexByteArray unsignedText(unsigned long long magnitude, bool negative, int base)
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (base < 2 || base > 36)
        base = 10;
    char buffer[72];
    int pos = sizeof(buffer);
    do {
        buffer[--pos] = kDigits[magnitude % static_cast<unsigned long long>(base)];
        magnitude /= static_cast<unsigned long long>(base);
    } while (magnitude != 0);
    if (negative)
        buffer[--pos] = '-';
    return CvexByteArray(buffer + pos, static_cast<int>(sizeof(buffer)) - pos);
}

CvexByteArray signedText(long long n, int base)
{
    // The magnitude is taken in unsigned arithmetic so that the most negative value survives.
    const unsigned long long magnitude =
        n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    return unsignedText(magnitude, n < 0, base);
}

void setOk(bool* ok, bool value)
{
    if (ok)
        *ok = value;
}

std::string bytesOf(const char* data, int size)
{
    if (!data)
        return std::string();
    return size < 0 ? std::string(data) : std::string(data, static_cast<std::size_t>(size));
}

} // namespace

void CvexByteArrayData::poisonTail() const
{
#if VEX_ADDRESS_SANITIZER
    ASAN_POISON_MEMORY_REGION(_bytes.data() + _bytes.size(), _bytes.capacity() - _bytes.size() + 1);
#endif
}

void CvexByteArrayData::unpoisonTail() const
{
#if VEX_ADDRESS_SANITIZER
    ASAN_UNPOISON_MEMORY_REGION(_bytes.data() + _bytes.size(),
                                _bytes.capacity() - _bytes.size() + 1);
#endif
}

CvexByteArray::CvexByteArray() : d_ptr(std::make_shared<CvexByteArrayData>()) {}

CvexByteArray::CvexByteArray(const char* data, int size)
    : d_ptr(std::make_shared<CvexByteArrayData>(bytesOf(data, size)))
{
}

CvexByteArray::CvexByteArray(const char* text) : CvexByteArray(text, -1) {}

CvexByteArray::CvexByteArray(int size, char fill)
    : d_ptr(std::make_shared<CvexByteArrayData>(
          std::string(static_cast<std::size_t>(size > 0 ? size : 0), fill)))
{
}

int CvexByteArray::size() const
{
    return clampedSize(d_ptr->bytes().size());
}

bool CvexByteArray::isEmpty() const
{
    return d_ptr->bytes().empty();
}

char* CvexByteArray::data()
{
    detach();
    return d_ptr->data();
}

const char* CvexByteArray::data() const
{
    return d_ptr->bytes().data();
}

const char* CvexByteArray::constData() const
{
    return d_ptr->bytes().data();
}

char CvexByteArray::at(int index) const
{
    return index >= 0 && index < size() ? d_ptr->bytes()[static_cast<std::size_t>(index)] : '\0';
}

char CvexByteArray::operator[](int index) const
{
    return at(index);
}

CvexByteArray& CvexByteArray::append(const CvexByteArray& other)
{
    if (isEmpty()) {
        d_ptr = other.d_ptr;
        return *this;
    }
    // Appending an array to itself reads the bytes before they are detached.
    const std::shared_ptr<CvexByteArrayData> source = other.d_ptr;
    detach();
    d_ptr->change([&source](std::string& bytes) { bytes.append(source->bytes()); });
    return *this;
}

CvexByteArray& CvexByteArray::append(char c)
{
    detach();
    d_ptr->change([c](std::string& bytes) { bytes.push_back(c); });
    return *this;
}

CvexByteArray& CvexByteArray::append(const char* data, int size)
{
    return append(CvexByteArray(data, size));
}

void CvexByteArray::resize(int size)
{
    detach();
    const auto length = static_cast<std::size_t>(size > 0 ? size : 0);
    d_ptr->change([length](std::string& bytes) { bytes.resize(length, '\0'); });
}

void CvexByteArray::clear()
{
    d_ptr = std::make_shared<CvexByteArrayData>();
}

CvexByteArray CvexByteArray::mid(int pos, int length) const
{
    const long long total = size();
    long long first = pos;
    long long last = length < 0 ? total : first + length;
    first = first < 0 ? 0 : first;
    last = last > total ? total : last;
    if (first >= last)
        return CvexByteArray();
    if (first == 0 && last == total)
        return *this;
    return CvexByteArray(d_ptr->bytes().data() + first, static_cast<int>(last - first));
}

CvexByteArray CvexByteArray::left(int length) const
{
    return mid(0, length < 0 ? 0 : length);
}

std::string CvexByteArray::toStdString() const
{
    return d_ptr->bytes();
}

CvexByteArray CvexByteArray::number(int n, int base)
{
    return signedText(n, base);
}

CvexByteArray CvexByteArray::number(unsigned int n, int base)
{
    return unsignedText(n, false, base);
}

CvexByteArray CvexByteArray::number(long n, int base)
{
    return signedText(n, base);
}

CvexByteArray CvexByteArray::number(unsigned long n, int base)
{
    return unsignedText(n, false, base);
}

CvexByteArray CvexByteArray::number(long long n, int base)
{
    return signedText(n, base);
}

CvexByteArray CvexByteArray::number(unsigned long long n, int base)
{
    return unsignedText(n, false, base);
}

int CvexByteArray::toInt(bool* ok, int base) const
{
    const char* text = d_ptr->bytes().data();
    const char* end = text + d_ptr->bytes().size();
    bool negative = false;
    if (text != end && (*text == '-' || *text == '+')) {
        negative = *text == '-';
        ++text;
    }
    const unsigned long long limit = negative ? 0ULL + INT_MAX + 1 : 0ULL + INT_MAX;
    unsigned long long magnitude = 0;
    if (!parseMagnitude(text, end, base, limit, &magnitude)) {
        setOk(ok, false);
        return 0;
    }
    setOk(ok, true);
    const long long value =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    return static_cast<int>(value);
}

unsigned int CvexByteArray::toUInt(bool* ok, int base) const
{
    const char* text = d_ptr->bytes().data();
    unsigned long long value = 0;
    if (!parseMagnitude(text, text + d_ptr->bytes().size(), base, UINT_MAX, &value)) {
        setOk(ok, false);
        return 0;
    }
    setOk(ok, true);
    return static_cast<unsigned int>(value);
}

bool CvexByteArray::isSharedWith(const CvexByteArray& other) const
{
    return d_ptr == other.d_ptr;
}

bool operator==(const CvexByteArray& a, const CvexByteArray& b)
{
    return a.d_ptr->bytes() == b.d_ptr->bytes();
}

bool operator!=(const CvexByteArray& a, const CvexByteArray& b)
{
    return !(a == b);
}

void CvexByteArray::detach()
{
    // Taking a reference is an acquire-release step on the shared count: when the count then says
    // that nobody else holds the bytes, the last reads of a copy just released by another thread
    // are ordered before the write that follows.
    const std::shared_ptr<CvexByteArrayData> probe = d_ptr;
    if (probe.use_count() > 2)
        d_ptr = std::make_shared<CvexByteArrayData>(*probe);
}

} // namespace Orrery
