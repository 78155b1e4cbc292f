// SPDX-License-Identifier: MIT
#include "vexevent.h"

namespace Orrery {

// Out of line so that the vtable lives in the kernel library.
CvexEvent::~CvexEvent() = default;

} // namespace Orrery
