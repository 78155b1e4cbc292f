// SPDX-License-Identifier: MIT
#include "vexplccommon.h"
#include "vexplccommon_p.h"

#include "vexabstractdatastorage.h"
#include "vexabstractprotocol.h"
#include "vexdbstoragefactory.h"
#include "vexdiagnostic.h"
#include "vexplcactionprotocol.h"
#include "vextime.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace Orrery {

namespace {

using StateLock = std::lock_guard<CvexRecursiveMutex>;
using SendLock = std::lock_guard<CvexMutex>;

constexpr int kMaxPacketSize = 1460;
// About one second of sending: a flood of replies cannot grow memory without bound.
constexpr std::size_t kSendQueueCapacity = 1024;
constexpr long long kDropReportIntervalMs = 1000;
// After this many datagrams processReceive hands control back to the event loop, so that the
// online timer keeps its period under a flood.
constexpr int kMaxDatagramsPerDelivery = 256;
constexpr unsigned int kMoldSetPackSize = 50;
constexpr unsigned int kMaxDownloadRecords = 50;
constexpr int kIdleSleepUs = 10000;
constexpr int kSendPauseUs = 1000;
constexpr int kDataOperatorType = 2;
constexpr unsigned char kFloatDataType = 8;
constexpr int kMinAlarmAnswerSize = 20;
constexpr int kUnknownType = 65535;
constexpr int kLineStatusVersionMismatch = 65535;
constexpr const char* kVersionMismatchLine = "CvexPlcCommon::checkLineStatus: Version dismatch";

enum SendType {
    ActualType = 1,
    ReadParamType = 2,
    WriteParamType = 3,
    ActionType = 6,
    LineStatusType = 7,
    MoldSetStatusType = 8,
    MoldSetType = 9,
    TriggerType = 17,
    AlarmType = 2004,
    TriggerConfirmType = 2018
};

enum ReceiveType {
    ActualReply = 1001,
    ActionReply = 1006,
    AlarmReply = 1004,
    LineStatusReply = 1007,
    MoldSetStatusReply = 1008,
    MoldSetReply = 1009,
    TriggerReply = 1017,
    TriggeredDataReply = 1018
};

int readLe16(const CvexByteArray& bytes, int pos)
{
    const auto low = static_cast<unsigned char>(bytes.at(pos));
    const auto high = static_cast<unsigned char>(bytes.at(pos + 1));
    return low | (high << 8);
}

void appendLe32(CvexByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.append(static_cast<char>((value >> shift) & 0xFFu));
    }
}

CvexByteArray le32Bytes(const std::vector<unsigned int>& values)
{
    CvexByteArray bytes;
    for (unsigned int value : values) {
        appendLe32(bytes, value);
    }
    return bytes;
}

// The value field of a parameter or mold set record: the PLC reads code 8 as a float, every
// other code from the bytes of the value as the storage holds it.
void appendValueField(CvexByteArray& out, unsigned char dataType, const CvexVariant& value)
{
    if (dataType == kFloatDataType) {
        const auto narrowed = static_cast<float>(value.toDouble());
        std::uint32_t bits = 0;
        std::memcpy(&bits, &narrowed, sizeof bits);
        appendLe32(out, bits);
        return;
    }
    out.append(static_cast<const char*>(value.constData()), 4);
}

void appendRecord(CvexByteArray& out, unsigned int id, unsigned char dataType,
                  const CvexVariant& value)
{
    appendLe32(out, id);
    out.append(static_cast<char>(dataType));
    out.append(static_cast<char>(1));
    appendValueField(out, dataType, value);
}

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
        list.push_back(static_cast<unsigned int>(readLe16(codes, pos)) |
                       static_cast<unsigned int>(readLe16(codes, pos + 2)) << 16);
    }
    return list;
}

CvexParseMoldBlock firstMoldBlock(const std::map<unsigned int, CvexParseMoldBlock>& blocks)
{
    const auto found = blocks.find(1);
    return found != blocks.end() ? found->second : CvexParseMoldBlock();
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
    _stopRequested = true;
    quit();
    wait();
    stopWorkerThread();
    CvexPlcCommonPrivate* d = d_func();
    d->_udp.reset();
    d->_hostAddress.reset();
    d->_sourceAddress.reset();
    d->_commData.reset();
    d->_onlineTimer.reset();
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
            const std::map<unsigned int, CvexParseMoldBlock> blocks = config.moldSet().moldList();
            d->_moldBlock = firstMoldBlock(blocks);
            d->_triggers = config.triggers();
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
    if (d->_udp->bind(sourceAddress, sourcePort, true)) {
        CvexObject::connect(d->_udp.get(), "readyRead", this, "CvexPlcCommon::processReceive()",
                            [this] { processReceive(); });
    } else {
        d->_monitor.post(CvexPlcEvent::BindFailed, 0, 0,
                         sourceAddress.toString() + ":" + std::to_string(sourcePort));
    }
    if (!d->_onlineTimer) {
        d->_onlineTimer = std::make_unique<CvexTimer>();
        CvexObject::connect(d->_onlineTimer.get(), "timeOut", this, "CvexPlcCommon::checkOnLine",
                            [this] { checkOnLine(); });
    }
    d->_onlineTimer->start(d->_checkOnlineTime);
    d->_udp->moveToThread(d->_workerThread.get());
    d->_onlineTimer->moveToThread(d->_workerThread.get());
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
    {
        SendLock lock(d->_sendMutex);
        d->_receiveTimer.invalidate();
        d->_receiveTimer.start();
    }
    long long cycleTime = 0;
    {
        StateLock lock(d->_stateMutex);
        if (!d->_commData) {
            CvexDiagnostic() << "You Should Call setCommonFile At First";
            return;
        }
        // setCommonFile is refused while this thread runs, so the cycle cannot change.
        cycleTime = d->_commData->lineStatus().cycleTime();
    }
    resetLink();
    for (;;) {
        if (sendNextPacket()) {
            CvexTime::usleep(kSendPauseUs);
        } else {
            CvexTime::usleep(kIdleSleepUs);
        }
        reportDroppedPackets();
        if (_stopRequested) {
            exec();
            return;
        }
        if (watchdogExpired(cycleTime)) {
            resetLink();
        }
    }
}

void CvexPlcCommon::resetLink()
{
    CvexPlcCommonPrivate* d = d_func();
    d->_monitor.lineStatusChanged(d->_lineStatus.exchange(0), 0);
    SendLock lock(d->_sendMutex);
    d->_receiveTimer.restart();
    d->_sendQueue.clear();
    d->_lineStatusRequest.clear();
}

// The line status request goes before the queue's packets; one datagram per call.
bool CvexPlcCommon::sendNextPacket()
{
    CvexPlcCommonPrivate* d = d_func();
    CvexByteArray packet;
    {
        SendLock lock(d->_sendMutex);
        if (!d->_lineStatusRequest.isEmpty()) {
            packet = d->_lineStatusRequest;
            d->_lineStatusRequest.clear();
        } else if (!d->_sendQueue.empty()) {
            packet = d->_sendQueue.front();
            d->_sendQueue.pop_front();
        } else {
            return false;
        }
    }
    sendData(packet);
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
    CvexPlcCommonPrivate* d = d_func();
    SendLock lock(d->_sendMutex);
    return d->_receiveTimer.elapsed() >= cycleTime;
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
        d->_monitor.datagramSent(packet.size() > 5 ? readLe16(packet, 4) : -1);
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
        if (d->_sendQueue.size() < kSendQueueCapacity) {
            d->_sendQueue.push_back(packet);
            return;
        }
        ++d->_droppedPackets;
        d->_monitor.sendQueueDropped();
        dropped = takeDropReport(*d);
    }
    printDroppedPackets(dropped);
}

void CvexPlcCommon::clearSendQueue()
{
    CvexPlcCommonPrivate* d = d_func();
    SendLock lock(d->_sendMutex);
    d->_sendQueue.clear();
    d->_lineStatusRequest.clear();
}

// A refused compose leaves the packet empty; that is no failure of the caller's request.
bool CvexPlcCommon::composeAndQueue(int type, const CvexByteArray& in, void* arg)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    CvexAbstractProtocol* protocol = d->_factory->protocol(type);
    if (!protocol) {
        return false;
    }
    CvexByteArray packet;
    protocol->composeProtocol(packet, in, arg);
    if (!packet.isEmpty()) {
        prepareData(packet);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Worker thread: receiving and dispatch.

void CvexPlcCommon::processReceive()
{
    // The pointer is set before the worker thread is first started and never replaced.
    CvexUdp* udp = d_func()->_udp.get();
    if (!udp) {
        return;
    }
    for (int handled = 0; handled < kMaxDatagramsPerDelivery && udp->hasPendingDatagrams();
         ++handled) {
        const long long announced = udp->pendingDatagramSize();
        if (announced < 0) {
            break;
        }
        std::vector<char> buffer(static_cast<std::size_t>(announced) + 1);
        const long long read = udp->readDatagram(buffer.data(), announced);
        if (read < 0) {
            continue;
        }
        receiveData(CvexByteArray(buffer.data(), static_cast<int>(read)));
    }
}

void CvexPlcCommon::receiveData(const CvexByteArray& datagram)
{
    CvexPlcCommonPrivate* d = d_func();
    {
        SendLock lock(d->_sendMutex);
        d->_receiveTimer.restart();
    }
    const int type = datagram.size() > 5 ? readLe16(datagram, 4) : kUnknownType;
    d->_monitor.datagramReceived(type);
    StateLock lock(d->_stateMutex);
    CvexAbstractProtocol* protocol = d->_factory->protocol(type);
    if (!protocol) {
        d->_monitor.unknownReceived();
        printMissingProtocol("receiveData", type);
        return;
    }
    const int result = protocol->parseProtocol(datagram);
    d->_monitor.replyParsed(type, result, datagram);
    switch (type) {
    case ActualReply:
        checkActual(result);
        break;
    case ActionReply:
        d->_monitor.actionAnswered(
            static_cast<CvexPlcActionProtocol*>(protocol)->replyStates(datagram));
        break;
    case AlarmReply:
        if (result >= 0 && datagram.size() > 12) {
            d->_monitor.post(CvexPlcEvent::AlarmReceived, result,
                             static_cast<unsigned char>(datagram.at(12)));
        }
        if (datagram.size() >= kMinAlarmAnswerSize) {
            requestAlarm(static_cast<unsigned int>(result),
                         static_cast<unsigned char>(datagram.at(12)));
        }
        break;
    case LineStatusReply:
        checkLineStatus(result);
        break;
    case MoldSetStatusReply:
        checkMoldSetStatus(result);
        break;
    case MoldSetReply:
        checkMoldSet(result);
        break;
    case TriggerReply:
        checkTrigger(result);
        break;
    case TriggeredDataReply:
        requestTriggerConfirm(static_cast<unsigned int>(result));
        break;
    default:
        break;
    }
}

int CvexPlcCommon::ID(const CvexByteArray& packet) const
{
    return packet.size() > 5 ? readLe16(packet, 4) : -1;
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
    CvexAbstractProtocol* protocol = d->_factory->protocol(LineStatusType);
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
    SendLock sendLock(d->_sendMutex);
    d->_lineStatusRequest = packet;
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
    d->_moldBlock.setPackSize(kMoldSetPackSize);
    d->_moldBlock.setStartPos(0);
    d->_monitor.moldSetProgress(0, moldSetPacks(d->_moldBlock));
    packMoldSetData();
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
    if (!composeAndQueue(ActualType, CvexByteArray(), &actual)) {
        printMissingProtocol("requestActual", ActualType);
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
    if (!composeAndQueue(MoldSetType, CvexByteArray(), &d->_moldBlock)) {
        printMissingProtocol("packMoldSetData", MoldSetType);
    }
}

int CvexPlcCommon::downloadMoldSet(const CvexParseMoldBlock& block)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    d->_moldBlock = block;
    d->_moldBlock.setPackSize(kMoldSetPackSize);
    d->_moldBlock.setStartPos(0);
    d->_monitor.moldSetProgress(0, moldSetPacks(d->_moldBlock));
    packMoldSetData();
    return 0;
}

void CvexPlcCommon::checkMoldSet(int acceptedCount)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    const unsigned int pack = d->_moldBlock.queryPackSize();
    if (static_cast<long long>(acceptedCount) != pack) {
        packMoldSetData();
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
    if (!composeAndQueue(MoldSetStatusType, CvexByteArray::number(count, 10), nullptr)) {
        printMissingProtocol("requestMoldSetStatus", MoldSetStatusType);
    }
}

void CvexPlcCommon::checkMoldSetStatus(int heldCount)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    if (!d->_moldBlock.isValid()) {
        return;
    }
    const auto count = static_cast<long long>(d->_moldBlock.dataIDSet().array().size());
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
        return;
    }
    CvexParseTrigger trigger = d->_triggers[index];
    if (!composeAndQueue(TriggerType, CvexByteArray(), &trigger)) {
        printMissingProtocol("requestTrigger", TriggerType);
    }
}

void CvexPlcCommon::checkTrigger(int groupID)
{
    CvexPlcCommonPrivate* d = d_func();
    StateLock lock(d->_stateMutex);
    const unsigned int index = d->_triggerIndex.load();
    if (index >= d->_triggers.size()) {
        return;
    }
    if (static_cast<long long>(d->_triggers[index].groupID()) == groupID) {
        d->_triggerIndex.fetch_add(1);
        d->_monitor.triggerProgress(index + 1, static_cast<unsigned int>(d->_triggers.size()));
        d->_monitor.post(CvexPlcEvent::TriggerAcknowledged, groupID, index + 1);
    }
    requestTrigger();
}

int CvexPlcCommon::downloadTrigger(const CvexParseTrigger& trigger)
{
    CvexParseTrigger copy = trigger;
    return composeAndQueue(TriggerType, CvexByteArray(), &copy) ? 0 : -1;
}

void CvexPlcCommon::requestTriggerConfirm(unsigned int groupID)
{
    composeAndQueue(TriggerConfirmType, CvexByteArray::number(groupID, 10), nullptr);
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
    appendLe32(payload, alarmNumber);
    composeAndQueue(AlarmType, payload, nullptr);
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
    return uploadParam(le32Bytes(ids));
}

int CvexPlcCommon::uploadParam(unsigned int id)
{
    return uploadParam(std::vector<unsigned int>{id});
}

int CvexPlcCommon::uploadParam(const CvexByteArray& ids)
{
    return composeAndQueue(ReadParamType, ids, nullptr) ? 0 : -1;
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
        appendRecord(records, entry.first, dataType, converted);
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
    appendRecord(record, id, dataType, storage->convertValue(dataType, value));
    return downloadParam(record);
}

int CvexPlcCommon::downloadParam(const CvexByteArray& records)
{
    return composeAndQueue(WriteParamType, records, nullptr) ? 0 : -1;
}

int CvexPlcCommon::downloadAction(const std::vector<unsigned int>& codes)
{
    if (codes.empty()) {
        return -1;
    }
    return downloadAction(le32Bytes(codes));
}

int CvexPlcCommon::downloadAction(unsigned int code)
{
    return downloadAction(le32Bytes({code}));
}

int CvexPlcCommon::downloadAction(const CvexByteArray& codes)
{
    d_func()->_monitor.actionRequested(actionCodes(codes));
    return composeAndQueue(ActionType, codes, nullptr) ? 0 : -1;
}

} // namespace Orrery
