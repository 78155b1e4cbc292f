// SPDX-License-Identifier: MIT
// Private to the communication source. Not part of the library's interface.
#ifndef VEXPLCDOWNLOADGUARD_P_H
#define VEXPLCDOWNLOADGUARD_P_H

#include "vexelapsedtimer.h"

namespace Orrery {

// The one download item (a mold set pack, the mold set status request or a trigger definition)
// that waits for the PLC's reply, and how often it went out again. An item is a kind and a
// position: the pack's start position or the trigger's index. Not thread-safe: the source calls
// it under its state lock.
class CvexPlcDownloadGuard {
public:
    enum class Item { None, MoldSetPack, MoldSetStatus, Trigger };
    static constexpr int MaxResends = 3;

    // The item went out; a different item than the one waiting starts with no resends.
    void sent(Item item, unsigned int position);
    // Counts one more resend of the waiting item; false when it had its share.
    bool takeResend();
    // Nothing waits any more: the reply came, the item was given up or the link was reset.
    void clear();

    bool isWaitingFor(Item item) const { return _item == item; }
    Item item() const { return _item; }
    unsigned int position() const { return _position; }
    // True once `periodMs` passed since the item last went out.
    bool isDue(long long periodMs) const;

private:
    Item _item = Item::None;
    unsigned int _position = 0;
    int _resends = 0;
    CvexElapsedTimer _sentAt;
};

} // namespace Orrery

#endif // VEXPLCDOWNLOADGUARD_P_H
