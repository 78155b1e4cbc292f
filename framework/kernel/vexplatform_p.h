// SPDX-License-Identifier: MIT
//
// Not part of the public API: what the kernel does differently per platform, one implementation
// each (vexplatform_posix.cpp, vexplatform_win.cpp).
#ifndef VEXPLATFORM_P_H
#define VEXPLATFORM_P_H

#include <cstdio>
#include <string>

namespace Orrery {
namespace vexplatform {

// Opens a file whose name is UTF-8 text, whatever the system's own code page is.
std::FILE* openFile(const std::string& utf8Name, const char* mode);

// While at least one thread holds a request, timers and sleeps wake within about a millisecond:
// Windows otherwise rounds them up to its 15.6 ms tick, which would stretch the pacing of
// datagrams, the line status period and the watchdog. Calls pair up; they may come from any
// thread.
void requestFineTimers();
void releaseFineTimers();

} // namespace vexplatform
} // namespace Orrery

#endif // VEXPLATFORM_P_H
