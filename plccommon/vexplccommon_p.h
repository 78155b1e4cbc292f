// SPDX-License-Identifier: MIT
// Private data of the communication source. Not part of the library's interface.
#ifndef VEXPLCCOMMON_P_H
#define VEXPLCCOMMON_P_H

#include "vexaddress.h"
#include "vexbytearray.h"
#include "vexelapsedtimer.h"
#include "vexmutex.h"
#include "vexparseplccommon.h"
#include "vexplcdownloadguard_p.h"
#include "vexplcduplicatefilter_p.h"
#include "vexplcmonitor_p.h"
#include "vexplcprotocolfactory.h"
#include "vexthread.h"
#include "vextimer.h"
#include "vexudp.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace Orrery {

// The thread whose event loop delivers the socket's and the online timer's signals. Owned by
// the source's private data; stopped (quit and waited for) before it is deleted.
class CvexPlcWorkerThread : public CvexThread {
public:
    CvexPlcWorkerThread();
    ~CvexPlcWorkerThread() override;

protected:
    void run() override;
};

class CvexPlcCommonPrivate {
public:
    CvexPlcCommonPrivate();
    ~CvexPlcCommonPrivate();
    CvexPlcCommonPrivate(const CvexPlcCommonPrivate&) = delete;
    CvexPlcCommonPrivate& operator=(const CvexPlcCommonPrivate&) = delete;

    // Guarded by _stateMutex: the configuration, the endpoints, the protocol objects (composing
    // and parsing on one object never overlap), the mold block, the trigger list and
    // _moldSetPending. Recursive, because the reactions to replies call one another.
    std::unique_ptr<CvexUdp> _udp;
    std::unique_ptr<CvexAddress> _hostAddress;
    int _hostPort = 65535;
    std::unique_ptr<CvexAddress> _sourceAddress;
    int _sourcePort = 65535;
    std::unique_ptr<CvexParsePlcCommon> _commData;
    std::unique_ptr<CvexTimer> _onlineTimer;
    std::unique_ptr<CvexPlcProtocolFactory> _factory;
    std::unique_ptr<CvexPlcWorkerThread> _workerThread;
    int _checkOnlineTime = 1000;

    // The time since the last received datagram, for the receive watchdog. The worker thread
    // restarts it for every datagram without a lock, so that a reply is never held up behind a
    // datagram another thread is sending; the sending thread that reads a restart late wakes at
    // the old deadline and looks again.
    class ReceiveTimer {
    public:
        void restart();
        long long elapsed() const;

    private:
        std::atomic<std::chrono::steady_clock::rep> _start{0};
    };
    ReceiveTimer _receiveTimer;

    // Guarded by _sendMutex: the queue, the line status slot and the bookkeeping of dropped
    // packets.
    std::deque<CvexByteArray> _sendQueue;
    // The line status request waits here rather than behind the queue, so that the poll goes out
    // on time even while replies to a flood of datagrams fill the queue.
    CvexByteArray _lineStatusRequest;
    unsigned long long _droppedPackets = 0;
    CvexElapsedTimer _dropReportTimer;
    CvexMutex _sendMutex;
    // The sending thread sleeps on it until a packet is queued, the line status slot is filled,
    // stop is requested or the watchdog's deadline comes.
    std::condition_variable_any _sendWakeup;
    // Set by the destructor: the sending thread leaves its loop, and no packet leaves from a
    // queueing thread any more.
    std::atomic<bool> _stopRequested{false};
    // The PLC needs at least 1 ms between two datagrams. Every datagram of the engine leaves under
    // _sendMutex, from the sending thread or, into an idle engine, from the thread that queues it.
    std::chrono::steady_clock::time_point _nextSendAllowed{};
    // Set while the sending thread runs, from the configuration it started with (setCommonFile is
    // refused meanwhile), so that a datagram leaves under _sendMutex alone.
    CvexUdp* _sendSocket = nullptr;
    CvexAddress _plcAddress;
    unsigned short _plcPort = 0;
    long long _watchdogMs = 0;

    bool _moldSetPending = true;
    std::atomic<int> _lineStatus{0};
    CvexParseMoldBlock _moldBlock;
    std::vector<CvexParseTrigger> _triggers;
    // Wide enough for any trigger list.
    std::atomic<unsigned int> _triggerIndex{0};

    // Guarded by _stateMutex as well: the download item waiting for its reply and the repeats of
    // triggered data. The deadline timer delivers its signal in the worker thread.
    CvexPlcDownloadGuard _downloadGuard;
    std::unique_ptr<CvexTimer> _resendTimer;
    CvexPlcDuplicateFilter _duplicateFilter;

    // Lock order: _stateMutex, then the lock of a protocol object (taken inside its compose and
    // parse), then those of the data storage and the control data (taken inside their calls,
    // which take no other); and _stateMutex, then _sendMutex. Every compose and parse of the
    // source runs under _stateMutex, and a packet is composed before it is queued, so a protocol's
    // lock and _sendMutex are never held together. Under _sendMutex only locks inside the socket,
    // the monitor and the event loops are taken, and none of those takes a lock of the source;
    // _stateMutex is never taken under any of the others. The host commands that look up names
    // reach the data storage with no lock of the source held.
    CvexRecursiveMutex _stateMutex;

    // Used by the worker thread only: every received datagram is read into it.
    std::vector<char> _receiveBuffer;
    CvexPlcMonitor _monitor;
};

} // namespace Orrery

#endif // VEXPLCCOMMON_P_H
