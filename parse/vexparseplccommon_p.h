// SPDX-License-Identifier: MIT
//
//  W A R N I N G
//  -------------
// This file is not part of the library's API. It may change or disappear without notice.
//
#ifndef VEXPARSEPLCCOMMON_P_H
#define VEXPARSEPLCCOMMON_P_H

#include "vexglobal.h"
#include "vexparseplccommon.h"

#include <cstddef>

namespace Orrery {

// For tools and fuzz targets: parses common-file text held in memory exactly as
// CvexParsePlcCommon(path) parses the content of a file, without touching the disk. The text ends
// at its first NUL or after `size` bytes; nothing past them is read. Any thread may call it; the
// result belongs to the caller.
class VEX_PLCCOMMON_EXPORT CvexParsePlcCommonText {
public:
    static CvexParsePlcCommon parse(const char* text, std::size_t size);
};

} // namespace Orrery

#endif // VEXPARSEPLCCOMMON_P_H
