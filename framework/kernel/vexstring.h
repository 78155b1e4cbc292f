// SPDX-License-Identifier: MIT
#ifndef VEXSTRING_H
#define VEXSTRING_H

#include "vexbytearray.h"
#include "vexglobal.h"

#include <string>

namespace Orrery {

// UTF-8 text.
class VEX_KERNEL_EXPORT CvexString {
public:
    CvexString() = default;
    CvexString(const std::string& utf8);

    // `size` bytes of UTF-8; a negative size reads up to the NUL.
    static CvexString fromUtf8(const char* utf8, int size = -1);

    bool isEmpty() const { return _text.empty(); }
    int size() const { return static_cast<int>(_text.size()); }
    std::string toStdString() const { return _text; }
    CvexByteArray toUtf8() const;

    friend bool operator==(const CvexString& a, const CvexString& b) { return a._text == b._text; }

private:
    std::string _text;
};

} // namespace Orrery

#endif // VEXSTRING_H
