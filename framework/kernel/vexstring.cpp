// SPDX-License-Identifier: MIT
#include "vexstring.h"

namespace Orrery {

CvexString::CvexString(const std::string& utf8) : _text(utf8) {}

CvexString CvexString::fromUtf8(const char* utf8, int size)
{
    if (!utf8)
        return CvexString();
    if (size < 0)
        return CvexString(std::string(utf8));
    return CvexString(std::string(utf8, static_cast<std::size_t>(size)));
}

CvexByteArray CvexString::toUtf8() const
{
    return CvexByteArray(_text.data(), static_cast<int>(_text.size()));
}

} // namespace Orrery
