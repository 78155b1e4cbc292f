// SPDX-License-Identifier: MIT
#include "vexbytearray.h"

#include <climits>
#include <cstring>

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

} // namespace

CvexByteArray::CvexByteArray() : _d(std::make_shared<std::string>()) {}

CvexByteArray::CvexByteArray(const char* data, int size) : _d(std::make_shared<std::string>())
{
    if (!data)
        return;
    if (size < 0)
        _d->assign(data);
    else
        _d->assign(data, static_cast<std::size_t>(size));
}

CvexByteArray::CvexByteArray(const char* text) : CvexByteArray(text, -1) {}

CvexByteArray::CvexByteArray(int size, char fill)
    : _d(std::make_shared<std::string>(static_cast<std::size_t>(size > 0 ? size : 0), fill))
{
}

int CvexByteArray::size() const
{
    return clampedSize(_d->size());
}

bool CvexByteArray::isEmpty() const
{
    return _d->empty();
}

char* CvexByteArray::data()
{
    detach();
    return _d->data();
}

const char* CvexByteArray::data() const
{
    return _d->c_str();
}

const char* CvexByteArray::constData() const
{
    return _d->c_str();
}

char CvexByteArray::at(int index) const
{
    return index >= 0 && index < size() ? (*_d)[static_cast<std::size_t>(index)] : '\0';
}

char CvexByteArray::operator[](int index) const
{
    return at(index);
}

CvexByteArray& CvexByteArray::append(const CvexByteArray& other)
{
    if (isEmpty()) {
        _d = other._d;
        return *this;
    }
    // Appending an array to itself reads the bytes before they are detached.
    const std::shared_ptr<std::string> source = other._d;
    detach();
    _d->append(*source);
    return *this;
}

CvexByteArray& CvexByteArray::append(char c)
{
    detach();
    _d->push_back(c);
    return *this;
}

CvexByteArray& CvexByteArray::append(const char* data, int size)
{
    return append(CvexByteArray(data, size));
}

void CvexByteArray::resize(int size)
{
    detach();
    _d->resize(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
}

void CvexByteArray::clear()
{
    _d = std::make_shared<std::string>();
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
    return CvexByteArray(_d->data() + first, static_cast<int>(last - first));
}

CvexByteArray CvexByteArray::left(int length) const
{
    return mid(0, length < 0 ? 0 : length);
}

std::string CvexByteArray::toStdString() const
{
    return *_d;
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
    const char* text = _d->data();
    const char* end = text + _d->size();
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
    const char* text = _d->data();
    unsigned long long value = 0;
    if (!parseMagnitude(text, text + _d->size(), base, UINT_MAX, &value)) {
        setOk(ok, false);
        return 0;
    }
    setOk(ok, true);
    return static_cast<unsigned int>(value);
}

bool CvexByteArray::isSharedWith(const CvexByteArray& other) const
{
    return _d == other._d;
}

bool operator==(const CvexByteArray& a, const CvexByteArray& b)
{
    return *a._d == *b._d;
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
    const std::shared_ptr<std::string> probe = _d;
    if (probe.use_count() > 2)
        _d = std::make_shared<std::string>(*probe);
}

} // namespace Orrery
