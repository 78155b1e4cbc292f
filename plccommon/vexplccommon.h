// SPDX-License-Identifier: MIT
#ifndef VEXPLCCOMMON_H
#define VEXPLCCOMMON_H

#include "vexabstractcommsource.h"
#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexplcevent.h"
#include "vexplcstatistics.h"
#include "vexvariant.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Orrery {

class CvexParseMoldBlock;
class CvexParseTrigger;
class CvexPlcCommonPrivate;

// The communication source that talks to one PLC over UDP.
//
// Ownership: the source owns its socket, endpoints, configuration, online and download deadline
// timers, protocol factory and worker thread; destroying it stops both of its threads before any of
// them is released. Threads: the host constructs it, calls setCommonFile, starts it
// (CvexThread::start), reads lineStatus() and calls the command operations (uploadParam,
// downloadParam, downloadAction, downloadMoldSet, downloadTrigger, checkAlarm) from any thread, and
// destroys it. run() is the sending thread, which sleeps until there is something to send, a stop
// or a watchdog deadline; a packet queued into an idle engine leaves from the queueing thread
// itself, under the same send lock and pacing. The reactions to received datagrams, the line status
// poll and the download deadline run in the worker thread. Every operation may be called from any
// thread: the configuration and the download state are guarded by one lock of the source, the send
// queue by another.
class VEX_PLCCOMMON_EXPORT CvexPlcCommon : public CvexAbstractCommSource {
public:
    explicit CvexPlcCommon(CvexObject* parent = nullptr);
    ~CvexPlcCommon() override;

    void run() override;
    void setCommonFile(std::string path) override;
    int lineStatus() const override;

    // What the source has counted so far: a snapshot, cheap enough to take at any rate from any
    // thread.
    CvexPlcStatistics statistics() const;
    // The events since the last call, oldest first; any thread may call it. The source holds at
    // most 4096: when full, the oldest give way to one EventsDropped event with their count. When
    // the held events go from none to some, the source emits the named signal "eventsReady" from
    // its worker thread's event loop, with none of its locks held: connect a receiver of the
    // host's thread to it (CvexObject::connect) and drain with takeEvents() there. A receiver that
    // belongs to no thread is called in the worker thread itself and should return quickly.
    std::vector<CvexPlcEvent> takeEvents();

    int uploadParam(const std::vector<std::string>& names) override;
    int uploadParam(const std::string& name) override;
    int uploadParam(const std::vector<unsigned int>& ids) override;
    int uploadParam(unsigned int id) override;
    int uploadParam(const CvexByteArray& ids) override;
    int downloadParam(const std::map<std::string, CvexVariant>& values) override;
    int downloadParam(const std::string& name, const CvexVariant& value) override;
    int downloadParam(const std::map<unsigned int, CvexVariant>& values) override;
    int downloadParam(unsigned int id, const CvexVariant& value) override;
    int downloadParam(const CvexByteArray& records) override;
    int downloadAction(const std::vector<unsigned int>& codes) override;
    int downloadAction(unsigned int code) override;
    int downloadAction(const CvexByteArray& codes) override;
    int downloadTrigger(const CvexParseTrigger& trigger) override;
    int downloadMoldSet(const CvexParseMoldBlock& block) override;
    using CvexAbstractCommSource::downloadMoldSet;

    // Transport.
    void prepareData(const CvexByteArray& packet);
    void sendData(const CvexByteArray& packet);
    void processReceive();
    void receiveData(const CvexByteArray& datagram);
    int ID(const CvexByteArray& packet) const;

    // Supervision of the link.
    void checkOnLine();
    void checkLineStatus(int status);

    // Requests and the reactions to the PLC's replies.
    void requestActual();
    void checkActual(int validCount);
    void packMoldSetData();
    void checkMoldSet(int acceptedCount);
    void requestMoldSetStatus();
    void checkMoldSetStatus(int heldCount);
    void requestTrigger();
    void checkTrigger(int groupID);
    void requestTriggerConfirm(unsigned int groupID);
    void checkTriggerConfirm(int groupID);
    void requestAlarm(unsigned int alarmNumber, unsigned char alarmByte);
    void checkAlarm(int alarmNumber, unsigned char alarmByte);

private:
    CvexPlcCommonPrivate* d_func() { return d_ptr.get(); }
    const CvexPlcCommonPrivate* d_func() const { return d_ptr.get(); }

    // While the send path is open, a packet queued into an idle engine leaves from the queueing
    // thread.
    void openSendPath(long long cycleTime);
    void closeSendPath();
    void resetLink();
    bool waitForWork(long long cycleTime);
    void wakeSendingThread();
    bool sendNextPacket();
    void reportDroppedPackets();
    bool watchdogExpired(long long cycleTime);
    void startMoldSetDownload();
    void clearSendQueue();
    // False when the factory has no protocol of `type`; a composed packet is queued, and
    // `queued` (when given) says whether there was one.
    bool composeAndQueue(int type, const CvexByteArray& in, void* arg, bool* queued = nullptr);
    // The download item that waits for its reply goes out again, or is given up.
    void checkDownloadDeadline();
    void resendWaitingItem();
    // A repeat is confirmed again and goes no further.
    bool isRepeatedTriggeredData(const CvexByteArray& datagram);
    void stopWorkerThread();

    std::unique_ptr<CvexPlcCommonPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXPLCCOMMON_H
