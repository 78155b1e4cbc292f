// SPDX-License-Identifier: MIT
#include "vexplccommon.h"
#include "vexplccommon_p.h"

#include "vexabstractdatastorage.h"
#include "vexabstractprotocol.h"
#include "vexdbstoragefactory.h"
#include "vexdiagnostic.h"
#include "vexplcactionprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcvaluerecord.h"
#include "vextime.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <sstream>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace Orrery {

namespace {

using StateLock = std::lock_guard<CvexRecursiveMutex>;
using SendLock = std::lock_guard<CvexMutex>;
using DownloadItem = CvexPlcDownloadGuard::Item;
using Clock = std::chrono::steady_clock;

constexpr int kMaxPacketSize = 1460;
// About one second of sending: a flood of replies cannot grow memory without bound.
constexpr std::size_t kSendQueueCapacity = 1024;
constexpr long long kDropReportIntervalMs = 1000;
// After this many datagrams processReceive hands control back to the event loop, so that the
// online timer keeps its period under a flood.
constexpr int kMaxDatagramsPerDelivery = 256;
constexpr int kMaxDatagramSize = 65507;
constexpr unsigned int kMoldSetPackSize = 50;
constexpr unsigned int kMaxDownloadRecords = 50;
constexpr std::chrono::milliseconds kSendPause{1};
// A timed wait wakes up to about 100 us late; in a burst the pause ends by spinning for the last
// stretch instead, so that a mold set download keeps close to one pack per millisecond.
constexpr std::chrono::microseconds kPauseSpin{100};
// A shorter CycleTime would reset the link at every pass and keep the sending thread spinning.
constexpr long long kMinWatchdogMs = 10;
constexpr int kDataOperatorType = 2;
constexpr int kMinAlarmAnswerSize = 20;
constexpr int kUnknownType = 65535;
constexpr int kLineStatusVersionMismatch = 65535;
constexpr int kTriggeredDataMinimumSize = 16;
constexpr int kTriggeredDataGroupOffset = 8;
constexpr int kPacketNumberOffset = 6;
constexpr const char* kVersionMismatchLine = "CvexPlcCommon::checkLineStatus: Version dismatch";

CvexAbstractDataStorage* dataStorage()
{
    return CvexDBStorageFactory::instance()->get(kDataOperatorType);
}

void printMissingProtocol(const char* operation, int type)
{
    CvexDiagnostic() << "CvexPlcCommon::" << operation << ": Can't Find Protocol (Type: " << type
                     << " )";
}

void applyEndpoint(const CvexParseProtocolData& record, std::unique_ptr<CvexAddress>& address,
                   int& port)
{
    if (!record.isValid()) {
        return;
    }
    address = std::make_unique<CvexAddress>(record.ip());
    port = static_cast<int>(record.port());
    CvexDiagnostic() << "local: " << record.ip() << " port: " << record.port();
}

std::vector<unsigned int> allMoldSetIDs(const std::map<unsigned int, CvexParseMoldBlock>& blocks)
{
    std::vector<unsigned int> ids;
    for (const auto& entry : blocks) {
        const std::vector<unsigned int> blockIDs = entry.second.dataIDSet().array();
        ids.insert(ids.end(), blockIDs.begin(), blockIDs.end());
    }
    return ids;
}

unsigned int moldSetPacks(const CvexParseMoldBlock& block)
{
    const auto values = static_cast<unsigned int>(block.dataIDSet().array().size());
    return (values + kMoldSetPackSize - 1) / kMoldSetPackSize;
}

// `sent`: the values acknowledged so far, the last pack included.
void reportMoldSetPack(CvexPlcMonitor& monitor, unsigned long long sent,
                       const CvexParseMoldBlock& block)
{
    const unsigned int total = moldSetPacks(block);
    const auto acknowledged =
        static_cast<unsigned int>((sent + kMoldSetPackSize - 1) / kMoldSetPackSize);
    monitor.moldSetProgress(acknowledged, total);
    monitor.post(CvexPlcEvent::MoldSetPackAcknowledged, static_cast<int>(total), acknowledged);
}

std::vector<unsigned int> actionCodes(const CvexByteArray& codes)
{
    std::vector<unsigned int> list;
    for (int pos = 0; pos + 4 <= codes.size(); pos += 4) {
        list.push_back(PlcBytes::getU32(codes, pos));
    }
    return list;
}

CvexParseMoldBlock firstMoldBlock(const std::map<unsigned int, CvexParseMoldBlock>& blocks)
{
    const auto found = blocks.find(1);
    return found != blocks.end() ? found->second : CvexParseMoldBlock();
}

// The pause between two datagrams is a timed wait, which the system's default timer slack of
// 50 us would stretch on every datagram of a burst.
void tightenTimerSlack()
{
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

void spinUntil(Clock::time_point end)
{
    while (Clock::now() < end) {
        std::this_thread::yield();
    }
}

// Called under _sendMutex, like every datagram the engine sends. The pause counts from the end of
// the send: the datagram may reach the wire at any moment inside the call.
void sendToPlc(CvexPlcCommonPrivate& d, const CvexByteArray& packet)
{
    if (d._sendSocket && d._sendSocket->writeDatagram(packet.constData(), packet.size(),
                                                      d._plcAddress, d._plcPort) >= 0) {
        d._monitor.datagramSent(CvexPlcPacketType::peekType(packet));
    }
    d._nextSendAllowed = Clock::now() + kSendPause;
}

// Called under _sendMutex. When nothing waits to leave before the packet, its pause is over and
// the watchdog is not due, the packet leaves from the calling thread: waking the sending thread
// for it would only add a thread switch.
bool sendIfIdle(CvexPlcCommonPrivate& d, const CvexByteArray& packet)
{
    const bool idle = !d._stopRequested && d._sendSocket && d._sendQueue.empty() &&
                      d._lineStatusRequest.isEmpty() && Clock::now() >= d._nextSendAllowed &&
                      d._receiveTimer.elapsed() < d._watchdogMs;
    if (idle) {
        sendToPlc(d, packet);
    }
    return idle;
}

std::string droppedPacketsLine(unsigned long long dropped)
{
    return "CvexPlcCommon::prepareData: send queue full, dropped " + std::to_string(dropped) +
           " packets";
}

// Called under _sendMutex: the number of drops to report now, at most once per interval.
unsigned long long takeDropReport(CvexPlcCommonPrivate& d)
{
    if (d._droppedPackets == 0) {
        return 0;
    }
    if (d._dropReportTimer.isValid() && d._dropReportTimer.elapsed() < kDropReportIntervalMs) {
        return 0;
    }
    const unsigned long long dropped = d._droppedPackets;
    d._droppedPackets = 0;
    d._dropReportTimer.start();
    d._monitor.post(CvexPlcEvent::SendQueueOverflow, 0, static_cast<long long>(dropped),
                    droppedPacketsLine(dropped));
    return dropped;
}

void printDroppedPackets(unsigned long long dropped)
{
    if (dropped > 0) {
        CvexDiagnostic::write(droppedPacketsLine(dropped));
    }
}

// Consecutive IDs as one range: "2001-2050, 2071".
std::string idRanges(std::vector<unsigned int> ids)
{
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::ostringstream text;
    for (std::size_t first = 0; first < ids.size();) {
        std::size_t last = first;
        while (last + 1 < ids.size() && ids[last + 1] == ids[last] + 1)
            ++last;
        text << (first == 0 ? "" : ", ") << ids[first];
        if (last > first)
            text << "-" << ids[last];
        first = last + 1;
    }
    return text.str();
}

// A pack leaves out the IDs without a stored value, so the PLC's count cannot match; say which
// once per download rather than once per pack.
void reportMissingMoldSetValues(const CvexParseMoldBlock& block)
{
    CvexAbstractDataStorage* storage = dataStorage();
    const std::vector<unsigned int> ids = block.dataIDSet().array();
    if (!storage || ids.empty()) {
        return;
    }
    // One record per ID, in the order asked.
    const std::vector<CvexDataItem> items = storage->dataItems(ids);
    std::vector<unsigned int> missing;
    for (std::size_t i = 0; i < items.size() && i < ids.size(); ++i) {
        if (items[i].value.isNull()) {
            missing.push_back(ids[i]);
        }
    }
    if (!missing.empty()) {
        CvexDiagnostic() << "CvexPlcCommon::packMoldSetData: no stored value for " << missing.size()
                         << " of " << ids.size() << " mold set IDs: " << idRanges(missing);
    }
}

// Called under _stateMutex. The item waits for its reply for one poll period.
void armDeadline(CvexPlcCommonPrivate& d, DownloadItem item, unsigned int position, bool queued)
{
    if (!queued) {
        d._downloadGuard.clear();
        if (d._resendTimer) {
            d._resendTimer->stop();
        }
        return;
    }
    d._downloadGuard.sent(item, position);
    if (d._resendTimer) {
        d._resendTimer->start(d._checkOnlineTime);
    }
}

void cancelDeadline(CvexPlcCommonPrivate& d)
{
    armDeadline(d, DownloadItem::None, 0, false);
}

// Called under _stateMutex: the waiting item had its resends; the download waits for the PLC.
// Whatever the item, the chain is broken, so the PLC's next line status 1 or 2 starts the whole
// download again: a PLC still waiting for a trigger reports 2 and would otherwise wait forever.
void giveUpWaitingItem(CvexPlcCommonPrivate& d)
{
    const CvexPlcDownloadGuard& guard = d._downloadGuard;
    CvexDiagnostic line;
    switch (guard.item()) {
    case DownloadItem::MoldSetPack:
        line << "CvexPlcCommon::packMoldSetData: mold set pack of " << d._moldBlock.queryPackSize()
             << " IDs from ID " << d._moldBlock.dataIDSet().array().at(guard.position());
        break;
    case DownloadItem::MoldSetStatus:
        line << "CvexPlcCommon::requestMoldSetStatus: mold set status request";
        break;
    case DownloadItem::Trigger:
        line << "CvexPlcCommon::requestTrigger: trigger definition of group "
             << d._triggers.at(guard.position()).groupID();
        break;
    case DownloadItem::None:
        return;
    }
    line << " not acknowledged after " << CvexPlcDownloadGuard::MaxResends
         << " resends; waiting for the PLC";
    d._moldSetPending = true;
    cancelDeadline(d);
}

bool acknowledgedBefore(const std::vector<CvexParseTrigger>& triggers, unsigned int index,
                        int groupID)
{
    for (unsigned int i = 0; i < index && i < triggers.size(); ++i) {
        if (static_cast<long long>(triggers[i].groupID()) == groupID) {
            return true;
        }
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------

CvexPlcWorkerThread::CvexPlcWorkerThread() : CvexThread(nullptr) {}

CvexPlcWorkerThread::~CvexPlcWorkerThread()
{
    quit();
    wait();
}

void CvexPlcWorkerThread::run()
{
    exec();
}

CvexPlcCommonPrivate::CvexPlcCommonPrivate()
    : _factory(std::make_unique<CvexPlcProtocolFactory>()),
      _workerThread(std::make_unique<CvexPlcWorkerThread>())
{
}

CvexPlcCommonPrivate::~CvexPlcCommonPrivate() = default;

void CvexPlcCommonPrivate::ReceiveTimer::restart()
{
    _start.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

long long CvexPlcCommonPrivate::ReceiveTimer::elapsed() const
{
    const Clock::time_point start{Clock::duration(_start.load(std::memory_order_relaxed))};
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// ---------------------------------------------------------------------------------------------

CvexPlcCommon::CvexPlcCommon(CvexObject* parent)
    : CvexAbstractCommSource(CvexAbstractCommSource::PlcComm, parent),
      d_ptr(std::make_unique<CvexPlcCommonPrivate>())
{
    // Emitted from the worker's event loop, so that no lock of the source is held meanwhile.
    d_ptr->_monitor.setReadyNotifier([this] {
        if (CvexPlcWorkerThread* worker = d_func()->_workerThread.get()) {
            worker->post([this] { emitSignal("eventsReady"); });
        }
    });
}

CvexPlcCommon::~CvexPlcCommon()
{
    d_func()->_stopRequested = true;
    wakeSendingThread();
    quit();
    wait();
    stopWorkerThread();
    CvexPlcCommonPrivate* d = d_func();
    d->_udp.reset();
    d->_hostAddress.reset();
    d->_sourceAddress.reset();
    d->_commData.reset();
    d->_onlineTimer.reset();
    d->_resendTimer.reset();
    d->_factory.reset();
    d_ptr.reset();
}

// The socket and the timer deliver their signals in the worker thread; it must have finished
// before they are deleted.
void CvexPlcCommon::stopWorkerThread()
{
    CvexPlcCommonPrivate* d = d_func();
    if (!d->_workerThread) {
        return;
    }
    d->_workerThread->quit();
    d->_workerThread->wait();
    // Leave no affinity to a thread that is about to be deleted.
    moveToThread(nullptr);
    d->_workerThread.reset();
}

void CvexPlcCommon::setCommonFile(std::string path)
{
    if (isRunning()) {
        CvexDiagnostic() << "CvexPlcCommon::setCommonFile: must stop or quit thread first";
        return;
    }
    CvexPlcCommonPrivate* d = d_func();
    CvexAddress sourceAddress;
    unsigned short sourcePort = 0;
    {
        StateLock lock(d->_stateMutex);
        d->_commData = std::make_unique<CvexParsePlcCommon>(path);
        const CvexParsePlcCommon& config = *d->_commData;
        if (config.isValid()) {
            const CvexParseProtocol protocol = config.protocol();
            applyEndpoint(protocol.host(), d->_hostAddress, d->_hostPort);
            applyEndpoint(protocol.source(), d->_sourceAddress, d->_sourcePort);
            const CvexParseLineStatus lineStatus = config.lineStatus();
            CvexDiagnostic() << "_commData linestatus isValid: " << (lineStatus.isValid() ? 1 : 0);
            if (lineStatus.isValid()) {
                d->_checkOnlineTime = static_cast<int>(lineStatus.cycleTime() / 3u);
                CvexDiagnostic() << "data->_checkOnlineTime" << d->_checkOnlineTime;
            }
            const std::map<unsigned int, CvexParseMoldBlock>& blocks =
                config.moldSetRecord().blocks();
            d->_moldBlock = firstMoldBlock(blocks);
            d->_triggers = config.triggerList();
            if (CvexAbstractDataStorage* storage = dataStorage()) {
                storage->setMoldSetIDList(allMoldSetIDs(blocks));
            }
        }
        if (!d->_hostAddress || !d->_sourceAddress) {
            CvexDiagnostic() << "CvexPlcCommon::run Address Error NULL";
            return;
        }
        if (!d->_udp) {
            d->_udp = std::make_unique<CvexUdp>();
        }
        sourceAddress = *d->_sourceAddress;
        sourcePort = static_cast<unsigned short>(d->_sourcePort);
    }

    // The transport is set up outside the lock: the worker thread may be waiting for it.
    if (!d->_udp->bind(sourceAddress, sourcePort, true)) {
        // Without the socket no reply can arrive: the source stays at line status 0.
        const std::string failure = sourceAddress.toString() + ":" + std::to_string(sourcePort) +
                                    ": " + d->_udp->errorString();
        CvexDiagnostic() << "CvexPlcCommon::setCommonFile: cannot bind " << failure;
        d->_monitor.post(CvexPlcEvent::BindFailed, 0, 0, failure);
        return;
    }
    CvexObject::connect(d->_udp.get(), "readyRead", this, "CvexPlcCommon::processReceive()",
                        [this] { processReceive(); });
    if (!d->_onlineTimer) {
        d->_onlineTimer = std::make_unique<CvexTimer>();
        CvexObject::connect(d->_onlineTimer.get(), "timeOut", this, "CvexPlcCommon::checkOnLine",
                            [this] { checkOnLine(); });
    }
    if (!d->_resendTimer) {
        d->_resendTimer = std::make_unique<CvexTimer>();
        CvexObject::connect(d->_resendTimer.get(), "timeOut", this,
                            "CvexPlcCommon::checkDownloadDeadline",
                            [this] { checkDownloadDeadline(); });
    }
    d->_onlineTimer->start(d->_checkOnlineTime);
    d->_udp->moveToThread(d->_workerThread.get());
    d->_onlineTimer->moveToThread(d->_workerThread.get());
    d->_resendTimer->moveToThread(d->_workerThread.get());
    moveToThread(d->_workerThread.get());
    d->_workerThread->start(static_cast<CvexThread::Priority>(7));
}

int CvexPlcCommon::lineStatus() const
{
    return d_func()->_lineStatus.load();
}

CvexPlcStatistics CvexPlcCommon::statistics() const
{
    return d_func()->_monitor.statistics();
}

std::vector<CvexPlcEvent> CvexPlcCommon::takeEvents()
{
    return d_func()->_monitor.takeEvents();
}

// ---------------------------------------------------------------------------------------------
// Sending thread.

void CvexPlcCommon::run()
{
    CvexPlcCommonPrivate* d = d_func();
    d->_receiveTimer.restart();
    long long cycleTime = 0;
    {
        StateLock lock(d->_stateMutex);
        if (!d->_commData) {
            CvexDiagnostic() << "You Should Call setCommonFile At First";
            return;
        }
        // setCommonFile is refused while this thread runs, so the cycle cannot change.
        cycleTime = std::max<long long>(d->_commData->lineStatus().cycleTime(), kMinWatchdogMs);
    }
    tightenTimerSlack();
    resetLink();
    openSendPath(cycleTime);
    for (;;) {
        if (waitForWork(cycleTime)) {
            sendNextPacket();
        }
        reportDroppedPackets();
        if (d->_stopRequested) {
            closeSendPath();
            exec();
            return;
        }
        if (watchdogExpired(cycleTime)) {
            resetLink();
        }
    }
}

void CvexPlcCommon::openSendPath(long long cycleTime)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock stateLock(d->_stateMutex);
    SendLock lock(d->_sendMutex);
    d->_sendSocket = d->_hostAddress ? d->_udp.get() : nullptr;
    if (d->_hostAddress) {
        d->_plcAddress = *d->_hostAddress;
        d->_plcPort = static_cast<unsigned short>(d->_hostPort);
    }
    d->_watchdogMs = cycleTime;
}

void CvexPlcCommon::closeSendPath()
{
    CvexPlcCommonPrivate* d = d_func();
    SendLock lock(d->_sendMutex);
    d->_sendSocket = nullptr;
}

void CvexPlcCommon::resetLink()
{
    CvexPlcCommonPrivate* d = d_func();
    {
        StateLock lock(d->_stateMutex);
        cancelDeadline(*d);
    }
    d->_monitor.lineStatusChanged(d->_lineStatus.exchange(0), 0);
    SendLock lock(d->_sendMutex);
    d->_receiveTimer.restart();
    d->_sendQueue.clear();
    d->_lineStatusRequest.clear();
}

// Returns true once a datagram may leave, false when stop is requested or the watchdog is due
// (no datagram leaves past the watchdog's deadline). Nothing else wakes the thread, so an idle
// source sleeps between its line status polls; a packet queued into an idle source has left from
// the queueing thread already, unless the previous datagram left less than 1 ms ago.
bool CvexPlcCommon::waitForWork(long long cycleTime)
{
    CvexPlcCommonPrivate* d = d_func();
    std::unique_lock<CvexMutex> lock(d->_sendMutex);
    while (!d->_stopRequested) {
        const long long silence = d->_receiveTimer.elapsed();
        if (silence >= cycleTime) {
            return false;
        }
        const Clock::time_point now = Clock::now();
        const Clock::time_point watchdogDue = now + std::chrono::milliseconds(cycleTime - silence);
        const bool hasPacket = !d->_lineStatusRequest.isEmpty() || !d->_sendQueue.empty();
        if (!hasPacket) {
            d->_sendWakeup.wait_until(lock, watchdogDue);
        } else if (now >= d->_nextSendAllowed) {
            return true;
        } else if (d->_nextSendAllowed - now > kPauseSpin) {
            d->_sendWakeup.wait_until(lock,
                                      std::min(d->_nextSendAllowed - kPauseSpin, watchdogDue));
        } else {
            lock.unlock();
            spinUntil(d->_nextSendAllowed);
            lock.lock();
        }
    }
    return false;
}

// The flag is read under the lock by the waiting thread: taking the lock once before notifying
// makes sure it is either not yet checked or already waiting.
void CvexPlcCommon::wakeSendingThread()
{
    CvexPlcCommonPrivate* d = d_func();
    {
        SendLock lock(d->_sendMutex);
    }
    d->_sendWakeup.notify_all();
}

// The line status request goes before the queue's packets; one datagram per call.
bool CvexPlcCommon::sendNextPacket()
{
    CvexPlcCommonPrivate* d = d_func();
    SendLock lock(d->_sendMutex);
    // A queueing thread may have sent since the wait ended.
    if (Clock::now() < d->_nextSendAllowed) {
        return false;
    }
    if (!d->_lineStatusRequest.isEmpty()) {
        sendToPlc(*d, d->_lineStatusRequest);
        d->_lineStatusRequest.clear();
    } else if (!d->_sendQueue.empty()) {
        sendToPlc(*d, d->_sendQueue.front());
        d->_sendQueue.pop_front();
    } else {
        return false;
    }
    return true;
}

void CvexPlcCommon::reportDroppedPackets()
{
    CvexPlcCommonPrivate* d = d_func();
    unsigned long long dropped = 0;
    {
        SendLock lock(d->_sendMutex);
        dropped = takeDropReport(*d);
    }
    printDroppedPackets(dropped);
}

bool CvexPlcCommon::watchdogExpired(long long cycleTime)
{
    return d_func()->_receiveTimer.elapsed() >= cycleTime;
}

void CvexPlcCommon::sendData(const CvexByteArray& packet)
{
    CvexPlcCommonPrivate* d = d_func();
    CvexUdp* udp = nullptr;
    CvexAddress address;
    unsigned short port = 0;
    {
        StateLock lock(d->_stateMutex);
        if (!d->_udp || !d->_hostAddress) {
            return;
        }
        udp = d->_udp.get();
        address = *d->_hostAddress;
        port = static_cast<unsigned short>(d->_hostPort);
    }
    if (udp->writeDatagram(packet.constData(), packet.size(), address, port) >= 0) {
        d->_monitor.datagramSent(CvexPlcPacketType::peekType(packet));
    }
}

// ---------------------------------------------------------------------------------------------
// Send queue.

void CvexPlcCommon::prepareData(const CvexByteArray& packet)
{
    if (packet.size() > kMaxPacketSize) {
        CvexDiagnostic() << "send data len error current size: " << packet.size()
                         << " is bigger than 1460 bytes";
        return;
    }
    CvexPlcCommonPrivate* d = d_func();
    unsigned long long dropped = 0;
    {
        SendLock lock(d->_sendMutex);
        if (sendIfIdle(*d, packet)) {
            return;
        }
        if (d->_sendQueue.size() < kSendQueueCapacity) {
            d->_sendQueue.push_back(packet);
        } else {
            ++d->_droppedPackets;
            d->_monitor.sendQueueDropped();
            dropped = takeDropReport(*d);
        }
    }
    // Notified after the unlock, so that the sending thread does not wake into a held lock.
    d->_sendWakeup.notify_one();
    printDroppedPackets(dropped);
}

void CvexPlcCommon::clearSendQueue()
{
    CvexPlcCommonPrivate* d = d_func();
    SendLock lock(d->_sendMutex);
    d->_sendQueue.clear();
    d->_lineStatusRequest.clear();
}

// A refused compose leaves the packet empty; that is no failure of the caller's request. A host's
// command is queued, or sent, after the state lock is released, so that the worker thread can
// take a reply meanwhile; a reaction that holds the lock already keeps it.
bool CvexPlcCommon::composeAndQueue(int type, const CvexByteArray& in, void* arg, bool* queued)
{
    CvexPlcCommonPrivate* d = d_func();
    CvexByteArray packet;
    {
        StateLock lock(d->_stateMutex);
        CvexAbstractProtocol* protocol = d->_factory->protocol(type);
        if (!protocol) {
            return false;
        }
        protocol->composeProtocol(packet, in, arg);
    }
    if (!packet.isEmpty()) {
        prepareData(packet);
    }
    if (queued) {
        *queued = !packet.isEmpty();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Worker thread: receiving and dispatch.

void CvexPlcCommon::processReceive()
{
    CvexPlcCommonPrivate* d = d_func();
    // The pointer is set before the worker thread is first started and never replaced.
    CvexUdp* udp = d->_udp.get();
    if (!udp) {
        return;
    }
    // One receive call per datagram into a buffer that fits any datagram: asking for the size
    // first would double the system calls.
    std::vector<char>& buffer = d->_receiveBuffer;
    buffer.resize(kMaxDatagramSize);
    for (int handled = 0; handled < kMaxDatagramsPerDelivery; ++handled) {
        const long long read = udp->readDatagram(buffer.data(), kMaxDatagramSize);
        // A failed read is an empty socket or a network error in place of a datagram; the socket
        // announces the datagrams that may still wait behind an error once more.
        if (read < 0) {
            break;
        }
        receiveData(CvexByteArray(buffer.data(), static_cast<int>(read)));
    }
}

void CvexPlcCommon::receiveData(const CvexByteArray& datagram)
{
    CvexPlcCommonPrivate* d = d_func();
    d->_receiveTimer.restart();
    const int peeked = CvexPlcPacketType::peekType(datagram);
    const int type = peeked == PlcPacket::NoType ? kUnknownType : peeked;
    d->_monitor.datagramReceived(type);
    StateLock lock(d->_stateMutex);
    if (type == PlcPacket::TriggerConfirm.receiveCode && isRepeatedTriggeredData(datagram)) {
        return;
    }
    CvexAbstractProtocol* protocol = d->_factory->protocol(type);
    if (!protocol) {
        d->_monitor.unknownReceived();
        printMissingProtocol("receiveData", type);
        return;
    }
    const int result = protocol->parseProtocol(datagram);
    d->_monitor.replyParsed(type, result, datagram);
    switch (type) {
    case PlcPacket::Actual.receiveCode:
        checkActual(result);
        break;
    case PlcPacket::Action.receiveCode:
        d->_monitor.actionAnswered(
            static_cast<CvexPlcActionProtocol*>(protocol)->replyStates(datagram));
        break;
    case PlcPacket::Alarm.receiveCode: {
        const int alarmByte = static_cast<CvexPlcAlarmProtocol*>(protocol)->alarmByte(datagram);
        if (result >= 0 && alarmByte >= 0) {
            d->_monitor.post(CvexPlcEvent::AlarmReceived, result, alarmByte);
        }
        if (datagram.size() >= kMinAlarmAnswerSize) {
            requestAlarm(static_cast<unsigned int>(result), static_cast<unsigned char>(alarmByte));
        }
        break;
    }
    case PlcPacket::LineStatus.receiveCode:
        checkLineStatus(result);
        break;
    case PlcPacket::MoldSetStatus.receiveCode:
        checkMoldSetStatus(result);
        break;
    case PlcPacket::MoldSet.receiveCode:
        checkMoldSet(result);
        break;
    case PlcPacket::Trigger.receiveCode:
        checkTrigger(result);
        break;
    case PlcPacket::TriggerConfirm.receiveCode:
        requestTriggerConfirm(static_cast<unsigned int>(result));
        break;
    default:
        break;
    }
}

bool CvexPlcCommon::isRepeatedTriggeredData(const CvexByteArray& datagram)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (datagram.size() < kTriggeredDataMinimumSize) {
        return false;
    }
    switch (d->_duplicateFilter.check(datagram)) {
    case CvexPlcDuplicateFilter::Verdict::Repeat: {
        const int group = PlcBytes::getU16(datagram, kTriggeredDataGroupOffset);
        d->_monitor.duplicateIgnored(group);
        requestTriggerConfirm(static_cast<unsigned int>(group));
        return true;
    }
    case CvexPlcDuplicateFilter::Verdict::FilterTurnedOff:
        CvexDiagnostic()
            << "CvexPlcCommon::receiveData: two different triggered-data packets "
               "with number "
            << PlcBytes::getU16(datagram, kPacketNumberOffset)
            << "; the PLC does not number its packets, repeats are stored as they come";
        return false;
    case CvexPlcDuplicateFilter::Verdict::New:
        break;
    }
    return false;
}

int CvexPlcCommon::ID(const CvexByteArray& packet) const
{
    return CvexPlcPacketType::peekType(packet);
}

// ---------------------------------------------------------------------------------------------
// Line status.

void CvexPlcCommon::checkOnLine()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (!d->_commData || !d->_commData->lineStatus().isValid()) {
        CvexDiagnostic() << "CvexPlcCommon::checkOnLine: LineStatus Data InValid";
        return;
    }
    CvexAbstractProtocol* protocol = d->_factory->protocol(PlcPacket::LineStatus.sendCode);
    if (!protocol) {
        return;
    }
    CvexParseLineStatus record = d->_commData->lineStatus();
    CvexByteArray packet;
    protocol->composeProtocol(packet, CvexByteArray(), &record);
    if (packet.isEmpty()) {
        return;
    }
    // An earlier request that is still unsent is superseded by this one.
    {
        SendLock sendLock(d->_sendMutex);
        if (sendIfIdle(*d, packet)) {
            return;
        }
        d->_lineStatusRequest = packet;
    }
    d->_sendWakeup.notify_one();
}

void CvexPlcCommon::checkLineStatus(int status)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    switch (status) {
    case kLineStatusVersionMismatch:
        CvexDiagnostic::write(kVersionMismatchLine);
        d->_monitor.post(CvexPlcEvent::VersionMismatch, 0, 0, kVersionMismatchLine);
        break;
    case 1:
        d->_moldSetPending = false;
        startMoldSetDownload();
        break;
    case 2:
        if (d->_moldSetPending) {
            d->_moldSetPending = false;
            startMoldSetDownload();
        }
        break;
    case 3:
        d->_moldSetPending = true;
        break;
    default:
        CvexDiagnostic() << "CvexPlcCommon::checkLineStatus: Unknown Status";
        break;
    }
    d->_monitor.lineStatusChanged(d->_lineStatus.exchange(status), status);
}

void CvexPlcCommon::startMoldSetDownload()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    clearSendQueue();
    d->_downloadGuard.clear();
    d->_moldBlock.setPackSize(kMoldSetPackSize);
    d->_moldBlock.setStartPos(0);
    d->_monitor.moldSetProgress(0, moldSetPacks(d->_moldBlock));
    packMoldSetData();
    // Looked at while the first pack is on its way: a large block takes milliseconds.
    reportMissingMoldSetValues(d->_moldBlock);
}

// ---------------------------------------------------------------------------------------------
// Actual values.

void CvexPlcCommon::requestActual()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    CvexParseActual actual = d->_commData ? d->_commData->actual() : CvexParseActual();
    if (!actual.isValid()) {
        CvexDiagnostic() << "CvexPlcCommon::requestActual: Actual Data InValid";
        return;
    }
    if (!composeAndQueue(PlcPacket::Actual.sendCode, CvexByteArray(), &actual)) {
        printMissingProtocol("requestActual", PlcPacket::Actual.sendCode);
    }
}

void CvexPlcCommon::checkActual(int validCount)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    const CvexParseActual actual = d->_commData ? d->_commData->actual() : CvexParseActual();
    if (!actual.isValid()) {
        CvexDiagnostic() << "CvexPlcCommon::checkActual: Actual Data InValid";
        return;
    }
    const auto total = static_cast<long long>(actual.dataIDSet().array().size());
    if (validCount != total) {
        CvexDiagnostic() << "CvexPlcCommon::checkActual: Actual Update MayBe Failed(total count: "
                         << total << " valid count:  " << validCount << " )";
    }
}

// ---------------------------------------------------------------------------------------------
// Mold set.

void CvexPlcCommon::packMoldSetData()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (!d->_moldBlock.isValid() || d->_moldBlock.dataIDSet().array().empty()) {
        CvexDiagnostic() << "CvexPlcCommon::packMoldSetData: MoldSet Block Data InValid";
        return;
    }
    bool queued = false;
    if (!composeAndQueue(PlcPacket::MoldSet.sendCode, CvexByteArray(), &d->_moldBlock, &queued)) {
        printMissingProtocol("packMoldSetData", PlcPacket::MoldSet.sendCode);
    }
    armDeadline(*d, DownloadItem::MoldSetPack, d->_moldBlock.queryStartPos(), queued);
}

int CvexPlcCommon::downloadMoldSet(const CvexParseMoldBlock& block)
{
    CvexPlcCommonPrivate* d = d_func();
    {
        StateLock lock(d->_stateMutex);
        d->_moldBlock = block;
        d->_downloadGuard.clear();
        d->_moldBlock.setPackSize(kMoldSetPackSize);
        d->_moldBlock.setStartPos(0);
        d->_monitor.moldSetProgress(0, moldSetPacks(d->_moldBlock));
        packMoldSetData();
    }
    // Without the lock, so that the worker thread takes the first acknowledgement meanwhile.
    reportMissingMoldSetValues(block);
    return 0;
}

void CvexPlcCommon::checkMoldSet(int acceptedCount)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    // An acknowledgement no pack waits for (a repeat, or one after the pack was given up)
    // changes nothing.
    if (!d->_downloadGuard.isWaitingFor(DownloadItem::MoldSetPack)) {
        return;
    }
    const unsigned int pack = d->_moldBlock.queryPackSize();
    if (static_cast<long long>(acceptedCount) != pack) {
        resendWaitingItem();
        return;
    }
    const unsigned long long next =
        static_cast<unsigned long long>(d->_moldBlock.queryStartPos()) + pack;
    reportMoldSetPack(d->_monitor, next, d->_moldBlock);
    if (next == d->_moldBlock.dataIDSet().array().size()) {
        requestMoldSetStatus();
        return;
    }
    d->_moldBlock.setStartPos(static_cast<unsigned int>(next));
    packMoldSetData();
}

void CvexPlcCommon::requestMoldSetStatus()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (!d->_moldBlock.isValid()) {
        return;
    }
    const auto count = static_cast<unsigned int>(d->_moldBlock.dataIDSet().array().size());
    bool queued = false;
    if (!composeAndQueue(PlcPacket::MoldSetStatus.sendCode, CvexByteArray::number(count, 10),
                         nullptr, &queued)) {
        printMissingProtocol("requestMoldSetStatus", PlcPacket::MoldSetStatus.sendCode);
    }
    armDeadline(*d, DownloadItem::MoldSetStatus, 0, queued);
}

void CvexPlcCommon::checkMoldSetStatus(int heldCount)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    // While the triggers go down the mold set is confirmed: a reply then is a repeat.
    if (!d->_moldBlock.isValid() || d->_downloadGuard.isWaitingFor(DownloadItem::Trigger)) {
        return;
    }
    const auto count = static_cast<long long>(d->_moldBlock.dataIDSet().array().size());
    d->_downloadGuard.clear();
    if (heldCount != count) {
        d->_monitor.post(CvexPlcEvent::MoldSetRefused, static_cast<int>(count), heldCount);
        d->_moldBlock.setPackSize(kMoldSetPackSize);
        d->_moldBlock.setStartPos(0);
        packMoldSetData();
        return;
    }
    d->_monitor.post(CvexPlcEvent::MoldSetConfirmed, 0, count);
    d->_monitor.lineStatusChanged(d->_lineStatus.exchange(3), 3);
    requestActual();
    d->_triggerIndex = 0;
    d->_monitor.triggerProgress(0, static_cast<unsigned int>(d->_triggers.size()));
    requestTrigger();
}

// ---------------------------------------------------------------------------------------------
// Triggers.

void CvexPlcCommon::requestTrigger()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    const unsigned int index = d->_triggerIndex.load();
    if (index >= d->_triggers.size()) {
        cancelDeadline(*d);
        return;
    }
    CvexParseTrigger trigger = d->_triggers[index];
    bool queued = false;
    if (!composeAndQueue(PlcPacket::Trigger.sendCode, CvexByteArray(), &trigger, &queued)) {
        printMissingProtocol("requestTrigger", PlcPacket::Trigger.sendCode);
    }
    armDeadline(*d, DownloadItem::Trigger, index, queued);
}

void CvexPlcCommon::checkTrigger(int groupID)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    const unsigned int index = d->_triggerIndex.load();
    if (index >= d->_triggers.size() || !d->_downloadGuard.isWaitingFor(DownloadItem::Trigger)) {
        return;
    }
    if (static_cast<long long>(d->_triggers[index].groupID()) == groupID) {
        d->_triggerIndex.fetch_add(1);
        d->_monitor.triggerProgress(index + 1, static_cast<unsigned int>(d->_triggers.size()));
        d->_monitor.post(CvexPlcEvent::TriggerAcknowledged, groupID, index + 1);
        requestTrigger();
    } else if (!acknowledgedBefore(d->_triggers, index, groupID)) {
        resendWaitingItem();
    }
}

void CvexPlcCommon::checkDownloadDeadline()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (d->_downloadGuard.isWaitingFor(DownloadItem::None)) {
        cancelDeadline(*d);
    } else if (d->_downloadGuard.isDue(d->_checkOnlineTime)) {
        resendWaitingItem();
    }
}

// The item goes out again, rebuilt from the same cursor, or is given up after its resends.
void CvexPlcCommon::resendWaitingItem()
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (!d->_downloadGuard.takeResend()) {
        giveUpWaitingItem(*d);
        return;
    }
    switch (d->_downloadGuard.item()) {
    case DownloadItem::MoldSetPack:
        d->_monitor.retransmitted(PlcPacket::MoldSet.sendCode);
        packMoldSetData();
        break;
    case DownloadItem::MoldSetStatus:
        d->_monitor.retransmitted(PlcPacket::MoldSetStatus.sendCode);
        requestMoldSetStatus();
        break;
    case DownloadItem::Trigger:
        d->_monitor.retransmitted(PlcPacket::Trigger.sendCode);
        requestTrigger();
        break;
    case DownloadItem::None:
        break;
    }
}

int CvexPlcCommon::downloadTrigger(const CvexParseTrigger& trigger)
{
    CvexParseTrigger copy = trigger;
    return composeAndQueue(PlcPacket::Trigger.sendCode, CvexByteArray(), &copy) ? 0 : -1;
}

void CvexPlcCommon::requestTriggerConfirm(unsigned int groupID)
{
    composeAndQueue(PlcPacket::TriggerConfirm.sendCode, CvexByteArray::number(groupID, 10),
                    nullptr);
}

void CvexPlcCommon::checkTriggerConfirm(int groupID)
{
    requestTriggerConfirm(static_cast<unsigned int>(groupID));
}

// ---------------------------------------------------------------------------------------------
// Alarms.

void CvexPlcCommon::requestAlarm(unsigned int alarmNumber, unsigned char alarmByte)
{
    CvexByteArray payload;
    payload.append(static_cast<char>(alarmByte));
    payload.append('\0');
    PlcBytes::putU32(payload, alarmNumber);
    composeAndQueue(PlcPacket::Alarm.sendCode, payload, nullptr);
}

void CvexPlcCommon::checkAlarm(int alarmNumber, unsigned char alarmByte)
{
    requestAlarm(static_cast<unsigned int>(alarmNumber), alarmByte);
}

// ---------------------------------------------------------------------------------------------
// Host commands: parameters and actions. Each overload hands its work on through the virtual
// interface, so an override of a lower overload serves all the higher ones.

int CvexPlcCommon::uploadParam(const std::vector<std::string>& names)
{
    CvexAbstractDataStorage* storage = dataStorage();
    return uploadParam(storage ? storage->dataIDs(names) : std::vector<unsigned int>());
}

int CvexPlcCommon::uploadParam(const std::string& name)
{
    CvexAbstractDataStorage* storage = dataStorage();
    return uploadParam(storage ? storage->dataID(name) : 0xFFFFFFFFu);
}

int CvexPlcCommon::uploadParam(const std::vector<unsigned int>& ids)
{
    if (ids.empty()) {
        return -1;
    }
    return uploadParam(PlcBytes::u32List(ids));
}

int CvexPlcCommon::uploadParam(unsigned int id)
{
    return uploadParam(std::vector<unsigned int>{id});
}

int CvexPlcCommon::uploadParam(const CvexByteArray& ids)
{
    return composeAndQueue(PlcPacket::ReadParam.sendCode, ids, nullptr) ? 0 : -1;
}

int CvexPlcCommon::downloadParam(const std::map<std::string, CvexVariant>& values)
{
    CvexAbstractDataStorage* storage = dataStorage();
    std::map<unsigned int, CvexVariant> byID;
    for (const auto& entry : values) {
        const unsigned int id = storage ? storage->dataID(entry.first) : 0xFFFFFFFFu;
        // The name first in name order wins when two names give the same ID.
        byID.insert({id, entry.second});
    }
    return downloadParam(byID);
}

int CvexPlcCommon::downloadParam(const std::string& name, const CvexVariant& value)
{
    CvexAbstractDataStorage* storage = dataStorage();
    return downloadParam(storage ? storage->dataID(name) : 0xFFFFFFFFu, value);
}

int CvexPlcCommon::downloadParam(const std::map<unsigned int, CvexVariant>& values)
{
    CvexAbstractDataStorage* storage = dataStorage();
    if (values.empty() || !storage) {
        return -1;
    }
    CvexByteArray records;
    unsigned int count = 0;
    for (const auto& entry : values) {
        if (count == kMaxDownloadRecords) {
            break;
        }
        const unsigned char dataType = storage->dataItem(entry.first).dataType;
        const CvexVariant converted = storage->convertValue(dataType, entry.second);
        if (converted.isNull()) {
            continue;
        }
        CvexPlcValueRecord::append(records, entry.first, dataType, converted);
        ++count;
    }
    if (count == 0) {
        return -1;
    }
    return downloadParam(records);
}

int CvexPlcCommon::downloadParam(unsigned int id, const CvexVariant& value)
{
    CvexAbstractDataStorage* storage = dataStorage();
    if (value.isNull() || !storage) {
        return -1;
    }
    const unsigned char dataType = storage->dataItem(id).dataType;
    CvexByteArray record;
    CvexPlcValueRecord::append(record, id, dataType, storage->convertValue(dataType, value));
    return downloadParam(record);
}

int CvexPlcCommon::downloadParam(const CvexByteArray& records)
{
    return composeAndQueue(PlcPacket::WriteParam.sendCode, records, nullptr) ? 0 : -1;
}

int CvexPlcCommon::downloadAction(const std::vector<unsigned int>& codes)
{
    if (codes.empty()) {
        return -1;
    }
    return downloadAction(PlcBytes::u32List(codes));
}

int CvexPlcCommon::downloadAction(unsigned int code)
{
    return downloadAction(PlcBytes::u32List({code}));
}

int CvexPlcCommon::downloadAction(const CvexByteArray& codes)
{
    d_func()->_monitor.actionRequested(actionCodes(codes));
    return composeAndQueue(PlcPacket::Action.sendCode, codes, nullptr) ? 0 : -1;
}

} // namespace Orrery
