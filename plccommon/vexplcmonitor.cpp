// SPDX-License-Identifier: MIT
#include "vexplcmonitor_p.h"

#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplctriggerconfirmprotocol.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace Orrery {

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
// Requests a PLC never answers must not pile up.
constexpr std::size_t kMaxPendingActionRequests = 64;
constexpr int kTriggerStatusOffset = 10;
constexpr int kTriggerReplyMinimumSize = 16;

// Every received datagram is stamped: a coarse clock (a few milliseconds of resolution, enough
// for a figure in milliseconds) costs a fraction of a precise one.
std::int64_t coarseMs()
{
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#else
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

// Curve and CAN transmit replies are accepted and dropped; their parsers always answer -1.
bool alwaysRefused(int type)
{
    return type == PlcPacket::Curve.receiveCode || type == PlcPacket::CanTransmit.receiveCode ||
           type == PlcPacket::CanTransmitVariant1.receiveCode;
}

} // namespace

void CvexPlcMonitor::TypeCounts::count(int type)
{
    if (type >= 0 && type < tableSize) {
        table[static_cast<std::size_t>(type)].fetch_add(1, relaxed);
        return;
    }
    const std::lock_guard<std::mutex> lock(otherMutex);
    ++other[type];
}

std::map<int, std::uint64_t> CvexPlcMonitor::TypeCounts::snapshot(std::uint64_t& total) const
{
    std::map<int, std::uint64_t> byType;
    {
        const std::lock_guard<std::mutex> lock(otherMutex);
        byType = other;
    }
    for (int type = 0; type < tableSize; ++type) {
        const std::uint64_t count = table[static_cast<std::size_t>(type)].load(relaxed);
        if (count != 0)
            byType[type] = count;
    }
    total = 0;
    for (const auto& entry : byType)
        total += entry.second;
    return byType;
}

CvexPlcMonitor::CvexPlcMonitor() = default;

void CvexPlcMonitor::setReadyNotifier(std::function<void()> notifier)
{
    const std::lock_guard<std::mutex> lock(_eventMutex);
    _readyNotifier = std::move(notifier);
}

void CvexPlcMonitor::datagramSent(int type)
{
    _sent.count(type);
}

void CvexPlcMonitor::datagramReceived(int type)
{
    _lastDatagramMs.store(coarseMs(), relaxed);
    _received.count(type);
}

void CvexPlcMonitor::malformedReceived()
{
    _malformed.fetch_add(1, relaxed);
}

void CvexPlcMonitor::unknownReceived()
{
    _unknown.fetch_add(1, relaxed);
}

void CvexPlcMonitor::sendQueueDropped()
{
    _sendQueueDropped.fetch_add(1, relaxed);
}

void CvexPlcMonitor::retransmitted(int type)
{
    _retransmissions.fetch_add(1, relaxed);
    post(CvexPlcEvent::Retransmitted, type);
}

void CvexPlcMonitor::duplicateIgnored(int group)
{
    _duplicatesIgnored.fetch_add(1, relaxed);
    post(CvexPlcEvent::DuplicateIgnored, group);
}

void CvexPlcMonitor::lineStatusChanged(int from, int to)
{
    if (from == to)
        return;
    _lineStatusChanges.fetch_add(1, relaxed);
    post(CvexPlcEvent::LineStatusChanged, from, to);
}

void CvexPlcMonitor::moldSetProgress(unsigned int acknowledged, unsigned int total)
{
    _moldSetProgress.store(packPair(acknowledged, total), relaxed);
}

void CvexPlcMonitor::triggerProgress(unsigned int acknowledged, unsigned int total)
{
    _triggerProgress.store(packPair(acknowledged, total), relaxed);
}

void CvexPlcMonitor::actionRequested(std::vector<unsigned int> codes)
{
    const std::lock_guard<std::mutex> lock(_eventMutex);
    if (_actionRequests.size() == kMaxPendingActionRequests)
        _actionRequests.pop_front();
    _actionRequests.push_back(std::move(codes));
}

void CvexPlcMonitor::actionAnswered(const std::vector<std::uint32_t>& states)
{
    if (states.empty())
        return;
    std::vector<unsigned int> codes;
    {
        const std::lock_guard<std::mutex> lock(_eventMutex);
        if (!_actionRequests.empty()) {
            codes = std::move(_actionRequests.front());
            _actionRequests.pop_front();
        }
    }
    for (std::size_t i = 0; i < states.size(); ++i) {
        const int code = i < codes.size() ? static_cast<int>(codes[i]) : -1;
        post(CvexPlcEvent::ActionAnswered, code, states[i]);
    }
}

void CvexPlcMonitor::replyParsed(int type, int result, const CvexByteArray& datagram)
{
    if (result < 0) {
        if (!alwaysRefused(type))
            _malformed.fetch_add(1, relaxed);
        return;
    }
    switch (type) {
    case PlcPacket::ReadParam.receiveCode:
    case PlcPacket::WriteParam.receiveCode:
        post(CvexPlcEvent::ParameterReplyStored, type, result);
        break;
    case PlcPacket::Trigger.receiveCode:
        if (datagram.size() >= kTriggerReplyMinimumSize &&
            PlcBytes::getU16(datagram, kTriggerStatusOffset) != 0)
            post(CvexPlcEvent::TriggerRefused, result,
                 PlcBytes::getU16(datagram, kTriggerStatusOffset));
        break;
    case PlcPacket::TriggerConfirm.receiveCode:
        triggeredDataParsed(result, datagram);
        break;
    default:
        break;
    }
}

void CvexPlcMonitor::triggeredDataParsed(int group, const CvexByteArray& datagram)
{
    const int curve = CvexPlcTriggerConfirmProtocol::curveOf(datagram);
    if (curve < 0) {
        post(CvexPlcEvent::TriggeredDataStored, group);
        return;
    }
    long long saved = -1;
    {
        const std::lock_guard<std::mutex> lock(_eventMutex);
        long long& records = _openCurveRecords[curve];
        records += CvexPlcTriggerConfirmProtocol::curveRecords(datagram);
        if (CvexPlcTriggerConfirmProtocol::closesCurve(datagram)) {
            saved = records;
            _openCurveRecords.erase(curve);
        }
    }
    if (saved >= 0)
        post(CvexPlcEvent::CurveSaved, curve, saved);
}

void CvexPlcMonitor::post(CvexPlcEvent::Kind kind, int code, long long value, std::string text)
{
    CvexPlcEvent event{kind, msSinceStart(), code, value, std::move(text)};
    std::function<void()> notify;
    {
        const std::lock_guard<std::mutex> lock(_eventMutex);
        if (_events.size() == eventCapacity) {
            // The oldest give way; one EventsDropped at the front stands for all of them.
            if (_events.front().kind != CvexPlcEvent::EventsDropped)
                _events.push_front({CvexPlcEvent::EventsDropped, event.msSinceStart, 0, 0, {}});
            while (_events.size() >= eventCapacity) {
                _events.erase(_events.begin() + 1);
                ++_events.front().value;
            }
            _events.front().msSinceStart = event.msSinceStart;
        }
        if (_events.empty())
            notify = _readyNotifier;
        _events.push_back(std::move(event));
    }
    if (notify)
        notify();
}

std::vector<CvexPlcEvent> CvexPlcMonitor::takeEvents()
{
    std::deque<CvexPlcEvent> taken;
    {
        const std::lock_guard<std::mutex> lock(_eventMutex);
        taken.swap(_events);
    }
    return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}

CvexPlcStatistics CvexPlcMonitor::statistics() const
{
    CvexPlcStatistics s;
    s.sentByType = _sent.snapshot(s.datagramsSent);
    s.receivedByType = _received.snapshot(s.datagramsReceived);
    s.malformedReceived = _malformed.load(relaxed);
    s.unknownReceived = _unknown.load(relaxed);
    s.sendQueueDropped = _sendQueueDropped.load(relaxed);
    s.retransmissions = _retransmissions.load(relaxed);
    s.duplicatesIgnored = _duplicatesIgnored.load(relaxed);
    s.lineStatusChanges = _lineStatusChanges.load(relaxed);
    const std::uint64_t mold = _moldSetProgress.load(relaxed);
    s.moldSetPacksAcknowledged = mold >> 32;
    s.moldSetPacksTotal = mold & 0xFFFFFFFFu;
    const std::uint64_t triggers = _triggerProgress.load(relaxed);
    s.triggersAcknowledged = triggers >> 32;
    s.triggersTotal = triggers & 0xFFFFFFFFu;
    const std::int64_t last = _lastDatagramMs.load(relaxed);
    s.msSinceLastDatagram = last < 0 ? -1 : std::max<std::int64_t>(coarseMs() - last, 0);
    return s;
}

std::uint64_t CvexPlcMonitor::packPair(unsigned int high, unsigned int low)
{
    return static_cast<std::uint64_t>(high) << 32 | low;
}

std::int64_t CvexPlcMonitor::msSinceStart() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 _start)
        .count();
}

} // namespace Orrery
