// SPDX-License-Identifier: MIT
#ifndef VEXBYTEARRAY_H
#define VEXBYTEARRAY_H

#include "vexglobal.h"

#include <memory>
#include <string>

namespace Orrery {

class CvexByteArrayData;

// A byte buffer, implicitly shared: copies share the bytes until one of them is written to.
// The bytes are followed by a NUL that size() does not count, for the byte buffers of other
// libraries; code of this project passes sizes instead, and under AddressSanitizer that NUL is
// poisoned, so a read past the bytes is reported. One object may be read from several threads at
// once; writing to one object needs the caller's own guard (copies are independent).
class VEX_KERNEL_EXPORT CvexByteArray {
public:
    CvexByteArray();
    // Copies `size` bytes; a negative size takes `data` up to its NUL.
    CvexByteArray(const char* data, int size);
    CvexByteArray(const char* text);
    CvexByteArray(int size, char fill);

    int size() const;
    bool isEmpty() const;
    char* data();
    const char* data() const;
    const char* constData() const;
    char at(int index) const;
    char operator[](int index) const;

    CvexByteArray& append(const CvexByteArray& other);
    CvexByteArray& append(char c);
    CvexByteArray& append(const char* data, int size);
    void resize(int size);
    void clear();
    CvexByteArray mid(int pos, int length = -1) const;
    CvexByteArray left(int length) const;
    std::string toStdString() const;

    // Base-`base` text of a number (bases 2 to 36, lower-case digits).
    static CvexByteArray number(int n, int base = 10);
    static CvexByteArray number(unsigned int n, int base = 10);
    static CvexByteArray number(long n, int base = 10);
    static CvexByteArray number(unsigned long n, int base = 10);
    static CvexByteArray number(long long n, int base = 10);
    static CvexByteArray number(unsigned long long n, int base = 10);

    // Base-`base` conversions of the whole text. On any failure (empty text, a sign on an unsigned
    // number, a character that is not a digit, overflow) they return 0 and clear *ok.
    int toInt(bool* ok = nullptr, int base = 10) const;
    unsigned int toUInt(bool* ok = nullptr, int base = 10) const;

    // True when both share the same bytes (no copy was made yet).
    bool isSharedWith(const CvexByteArray& other) const;

    friend VEX_KERNEL_EXPORT bool operator==(const CvexByteArray& a, const CvexByteArray& b);
    friend VEX_KERNEL_EXPORT bool operator!=(const CvexByteArray& a, const CvexByteArray& b);

private:
    void detach();
    std::shared_ptr<CvexByteArrayData> d_ptr;
};

} // namespace Orrery

#endif // VEXBYTEARRAY_H
