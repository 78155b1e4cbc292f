// SPDX-License-Identifier: MIT
#include "vexabstractpartprotocol.h"

#include <cstring>

namespace Orrery {

CvexAbstractPartProtocol::CvexAbstractPartProtocol(int mode) : _mode(mode) {}

void CvexAbstractPartProtocol::setFixedSize(int size)
{
    _bytes.resize(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
}

int CvexAbstractPartProtocol::fixedSize() const
{
    return static_cast<int>(_bytes.size());
}

bool CvexAbstractPartProtocol::setPartValue(int pos, const void* src, int size)
{
    const long long end = static_cast<long long>(pos) + size;
    if (pos < 0 || size < 0 || end > fixedSize() || (size > 0 && !src))
        return false;
    if (size > 0)
        std::memcpy(_bytes.data() + pos, src, static_cast<std::size_t>(size));
    return true;
}

CvexByteArray CvexAbstractPartProtocol::buffer() const
{
    return CvexByteArray(_bytes.data(), fixedSize());
}

} // namespace Orrery
