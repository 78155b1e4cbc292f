// SPDX-License-Identifier: MIT
// Private to the communication source. Not part of the library's interface.
#ifndef VEXPLCDUPLICATEFILTER_P_H
#define VEXPLCDUPLICATEFILTER_P_H

#include "vexbytearray.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace Orrery {

// Recognises a triggered-data datagram the PLC sent again: same bytes, packet number included,
// as one handled (stored or confirmed again)
// within the window. A PLC that does not number its packets would make different
// data look alike by number, so two different datagrams with one number within the window turn
// the filter off for good. Not thread-safe: one owner calls it, under the owner's lock.
class CvexPlcDuplicateFilter {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict {
        New,            // handle it
        Repeat,         // confirm it again, nothing else
        FilterTurnedOff // handle it; from now on every datagram is New
    };

    explicit CvexPlcDuplicateFilter(
        std::chrono::milliseconds window = std::chrono::milliseconds(2000));

    Verdict check(const CvexByteArray& datagram, Clock::time_point now = Clock::now());
    bool isEnabled() const { return _enabled; }

private:
    struct Seen {
        std::string bytes;
        Clock::time_point at;
    };

    void forgetBefore(Clock::time_point limit);

    std::chrono::milliseconds _window;
    bool _enabled = true;
    std::unordered_map<std::uint16_t, Seen> _byNumber;
    // Arrival order, so that old entries leave from the front.
    std::deque<std::pair<Clock::time_point, std::uint16_t>> _arrivals;
};

} // namespace Orrery

#endif // VEXPLCDUPLICATEFILTER_P_H
