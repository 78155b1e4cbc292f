// SPDX-License-Identifier: MIT
#include "vexplatform_p.h"

namespace Orrery {
namespace vexplatform {

std::FILE* openFile(const std::string& utf8Name, const char* mode)
{
    return std::fopen(utf8Name.c_str(), mode);
}

// Linux timers are fine-grained already.
void requestFineTimers() {}
void releaseFineTimers() {}

} // namespace vexplatform
} // namespace Orrery
