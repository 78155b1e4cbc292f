// SPDX-License-Identifier: MIT
#include "vexplcdownloadguard_p.h"

namespace Orrery {

void CvexPlcDownloadGuard::sent(Item item, unsigned int position)
{
    if (item != _item || position != _position)
        _resends = 0;
    _item = item;
    _position = position;
    _sentAt.restart();
}

bool CvexPlcDownloadGuard::takeResend()
{
    if (_item == Item::None || _resends >= MaxResends)
        return false;
    ++_resends;
    return true;
}

void CvexPlcDownloadGuard::clear()
{
    _item = Item::None;
    _position = 0;
    _resends = 0;
}

bool CvexPlcDownloadGuard::isDue(long long periodMs) const
{
    return _item != Item::None && _sentAt.isValid() && _sentAt.elapsed() >= periodMs;
}

} // namespace Orrery
