// SPDX-License-Identifier: MIT
#include "vexabstractcontroldata.h"

namespace Orrery {

CvexAbstractControlData::~CvexAbstractControlData() = default;

} // namespace Orrery
