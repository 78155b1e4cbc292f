// SPDX-License-Identifier: MIT
//
//  W A R N I N G
//  -------------
// This file is not part of the library's API. It may change or disappear without notice.
//
#ifndef VEXPLCMONITOR_P_H
#define VEXPLCMONITOR_P_H

#include "vexbytearray.h"
#include "vexplcevent.h"
#include "vexplcstatistics.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace Orrery {

// The counters and the event queue of one communication source, fed by one-line hooks where the
// source acts. Counting is lock-free with relaxed atomics, per type code in fixed tables, so the
// receive path pays a few uncontended increments; the queue's mutex is taken only for an event.
// Any thread may call any member. Owned by the source's private data.
class CvexPlcMonitor {
public:
    static constexpr std::size_t eventCapacity = 4096;

    CvexPlcMonitor();
    CvexPlcMonitor(const CvexPlcMonitor&) = delete;
    CvexPlcMonitor& operator=(const CvexPlcMonitor&) = delete;

    // Called, outside the queue's lock, whenever the held events go from none to some.
    void setReadyNotifier(std::function<void()> notifier);

    void datagramSent(int type);
    void datagramReceived(int type);
    void malformedReceived();
    void unknownReceived();
    void sendQueueDropped();
    void retransmitted(int type);
    void duplicateIgnored(int group);
    // Counts and reports a change; a "change" to the same status is none.
    void lineStatusChanged(int from, int to);
    void moldSetProgress(unsigned int acknowledged, unsigned int total);
    void triggerProgress(unsigned int acknowledged, unsigned int total);
    // Remembers the codes of an action request, to name them in ActionAnswered.
    void actionRequested(std::vector<unsigned int> codes);
    // One ActionAnswered per state, paired with the oldest unanswered request; a reply without
    // states answers none.
    void actionAnswered(const std::vector<std::uint32_t>& states);

    // Reports what a parsed reply did, from its type, the parser's result and its bytes.
    void replyParsed(int type, int result, const CvexByteArray& datagram);

    void post(CvexPlcEvent::Kind kind, int code = 0, long long value = 0, std::string text = {});

    CvexPlcStatistics statistics() const;
    std::vector<CvexPlcEvent> takeEvents();

private:
    using Counter = std::atomic<std::uint64_t>;
    // Type codes below this are counted in a table; the rest (garbage) in a locked map.
    static constexpr int tableSize = 4096;
    struct TypeCounts {
        std::array<Counter, tableSize> table{};
        mutable std::mutex otherMutex;
        std::map<int, std::uint64_t> other;

        void count(int type);
        std::map<int, std::uint64_t> snapshot(std::uint64_t& total) const;
    };

    void triggeredDataParsed(int group, const CvexByteArray& datagram);
    static std::uint64_t packPair(unsigned int high, unsigned int low);
    std::int64_t msSinceStart() const;

    const std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
    TypeCounts _sent;
    TypeCounts _received;
    Counter _malformed{0};
    Counter _unknown{0};
    Counter _sendQueueDropped{0};
    Counter _retransmissions{0};
    Counter _duplicatesIgnored{0};
    Counter _lineStatusChanges{0};
    // Acknowledged in the high half, total in the low half: read and written together.
    Counter _moldSetProgress{0};
    Counter _triggerProgress{0};
    // When the last datagram was received, on a coarse monotonic clock; -1 before the first.
    std::atomic<std::int64_t> _lastDatagramMs{-1};

    std::mutex _eventMutex;
    std::deque<CvexPlcEvent> _events;
    std::deque<std::vector<unsigned int>> _actionRequests;
    // Records received of each open curve.
    std::map<int, long long> _openCurveRecords;
    std::function<void()> _readyNotifier;
};

} // namespace Orrery

#endif // VEXPLCMONITOR_P_H
