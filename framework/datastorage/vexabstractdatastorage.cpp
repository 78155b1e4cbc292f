// SPDX-License-Identifier: MIT
#include "vexabstractdatastorage.h"

namespace Orrery {

CvexAbstractDataStorage::~CvexAbstractDataStorage() = default;

} // namespace Orrery
