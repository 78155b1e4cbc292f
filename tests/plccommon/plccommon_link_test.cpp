// SPDX-License-Identifier: MIT
// The conversation with the PLC: the start-up chain, the steady state and the supervision.
#include "plccommonfixture.h"

#include "vexthread.h"

#include <numeric>
#include <thread>
#ifdef __linux__
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace plccommontest {
namespace {

using LinkTest = PlcCommonTest;

// Collects what a host receives through "eventsReady", in whichever thread the call runs.
struct EventDrain {
    std::mutex mutex;
    Events events;
    std::vector<Orrery::CvexThread*> threads;

    void take(Orrery::CvexPlcCommon& source)
    {
        Events taken = source.takeEvents();
        const std::lock_guard<std::mutex> lock(mutex);
        threads.push_back(Orrery::CvexThread::currentThread());
        events.insert(events.end(), taken.begin(), taken.end());
    }
    Events copy()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
};

#ifdef __linux__
// The descriptor of this process's socket on the port.
int socketOn(uint16_t port)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
            address.sin_family == AF_INET && ntohs(address.sin_port) == port)
            return fd;
    }
    return -1;
}
#endif

// The start-up chain on the wire, and its events as a host thread with its own event loop drains
// them when signalled: in order, each kind with its figures, and timestamps never go back.
TEST_F(LinkTest, StartUpChainReachesLineStatusThreeWithMoldSetAndTriggers)
{
    Orrery::CvexThread hostThread;
    hostThread.start();
    Orrery::CvexObject receiver;
    receiver.moveToThread(&hostThread);
    EventDrain drain;
    Orrery::CvexObject::connect(source.get(), "eventsReady", &receiver, "drain",
                                [&] { drain.take(*source); });
    shortMoldAcks = 1;
    wrongTriggerAcks = 1;
    bringOnline();
    ASSERT_TRUE(peer.waitForCount(17, 4, kDeadline));
    ASSERT_TRUE(vextest::waitUntil(
        [&] { return shown(drain.copy(), {CvexPlcEvent::TriggerAcknowledged}).size() >= 3; },
        kDeadline));
    const Events events = drain.copy();
    hostThread.quit();
    hostThread.wait();

    EXPECT_TRUE(matchesPattern(peer.received(7).front().bytes,
                               "99 88 14 00 07 00 ?? ?? 02 00 01 00 2C 01 00 00 05 00 88 66"));

    // The first pack is acknowledged one short and goes again, unchanged.
    const std::vector<vexsim::Datagram> packs = peer.received(9);
    ASSERT_EQ(packs.size(), 4u);
    const unsigned int firstIDs[] = {2001, 2001, 2051, 2101};
    for (size_t i = 0; i < packs.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string& pack = packs[i].bytes;
        const uint16_t count = le16(pack, 10);
        EXPECT_EQ(count, i == 3 ? 20 : 50);
        ASSERT_EQ(pack.size(), 14u + 10u * count);
        for (uint16_t r = 0; r < count; ++r) {
            const unsigned int id = firstIDs[i] + r;
            ASSERT_EQ(le32(pack, 12 + 10 * r), id);
            ASSERT_EQ(pack.substr(16 + 10 * r, 2), std::string("\x04\x01"));
            ASSERT_EQ(le32(pack, 18 + 10 * r), id * 10);
        }
    }
    EXPECT_TRUE(matchesPattern(peer.received(8).at(0).bytes,
                               "99 88 12 00 08 00 ?? ?? 00 00 01 00 78 00 00 00 88 66"));
    ASSERT_EQ(peer.count(1), 1u);
    EXPECT_TRUE(matchesPattern(peer.received(1)[0].bytes, "99 88 1A 00 01 00 ?? ?? 64 00 03 00 "
                                                          "65 00 00 00 66 00 00 00 67 00 00 00 "
                                                          "88 66"));

    // The subscription goes before the first definition; the mismatched group 2 is repeated.
    const std::vector<vexsim::Datagram> all = peer.received();
    const auto typeAt = [&](uint16_t type) {
        return std::find_if(all.begin(), all.end(),
                            [type](const vexsim::Datagram& d) { return d.type() == type; }) -
               all.begin();
    };
    EXPECT_LT(typeAt(1), typeAt(17));
    EXPECT_EQ(definedGroups(), (std::vector<uint16_t>{1, 2, 2, 3}));
    EXPECT_TRUE(matchesPattern(peer.received(17)[1].bytes,
                               "99 88 24 00 11 00 ?? ?? 02 00 E8 03 00 00 01 00 00 00 00 00 00 00 "
                               "01 00 02 00 2E 01 00 00 2F 01 00 00 88 66"));

    // The list is done: further polls bring no further definition.
    ASSERT_TRUE(waitForMorePolls(2));
    EXPECT_EQ(peer.count(17), 4u);
    EXPECT_EQ(source->lineStatus(), 3);

    EXPECT_EQ(shown(events, {CvexPlcEvent::LineStatusChanged}),
              (std::vector<std::string>{"LineStatusChanged 0 2", "LineStatusChanged 2 3"}));
    // The short first acknowledgement sends the first pack again: it is acknowledged once. The
    // mismatched group 2 is sent again too.
    EXPECT_EQ(shown(events, {CvexPlcEvent::MoldSetPackAcknowledged, CvexPlcEvent::MoldSetConfirmed,
                             CvexPlcEvent::TriggerAcknowledged, CvexPlcEvent::Retransmitted}),
              (std::vector<std::string>{"Retransmitted 9 0", "MoldSetPackAcknowledged 3 1",
                                        "MoldSetPackAcknowledged 3 2",
                                        "MoldSetPackAcknowledged 3 3", "MoldSetConfirmed 0 120",
                                        "TriggerAcknowledged 1 1", "Retransmitted 17 0",
                                        "TriggerAcknowledged 2 2", "TriggerAcknowledged 3 3"}));
    const auto firstPack = std::find_if(events.begin(), events.end(), [](const CvexPlcEvent& e) {
        return e.kind == CvexPlcEvent::MoldSetPackAcknowledged;
    });
    ASSERT_NE(firstPack, events.end());
    // The short acknowledgement counts as the pack's first retransmission.
    EXPECT_EQ(show(*(firstPack - 1)), "Retransmitted 9 0");
    EXPECT_EQ(show(*(firstPack - 2)), "LineStatusChanged 0 2");
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end(),
                               [](const CvexPlcEvent& a, const CvexPlcEvent& b) {
                                   return a.msSinceStart < b.msSinceStart;
                               }));
    for (Orrery::CvexThread* thread : drain.threads)
        EXPECT_EQ(thread, &hostThread);

    const Orrery::CvexPlcStatistics statistics = source->statistics();
    EXPECT_EQ(statistics.moldSetPacksAcknowledged, 3u);
    EXPECT_EQ(statistics.moldSetPacksTotal, 3u);
    EXPECT_EQ(statistics.triggersAcknowledged, 3u);
    EXPECT_EQ(statistics.triggersTotal, 3u);
    EXPECT_GE(statistics.lineStatusChanges, 2u);
}

// Actual values, alarms, triggered data and curves once the link is up.
TEST_F(LinkTest, SteadyStateRepliesAreStoredLoggedAndAnswered)
{
    storage()->setItemProperty(401, "ValueT", CvexVariant(6u));
    storage()->setItemProperty(402, "ValueT", CvexVariant(9u));
    storage()->setItemProperty(403, "ValueT", CvexVariant(3u));
    bringOnline();
    vextest::StdoutCapture capture;
    peer.send(reply::actualValues(
        {{101, 2, 1, 0x0000FFFE}, {102, 7, 1, vexsim::floatBits(1.5f)}, {103, 6, 0, 5}}));
    peer.send(reply::alarm({{3, 1000}, {4, 2000}}));
    peer.send(reply::triggeredData(5, {{401, 0x0000FFFE}, {402, vexsim::floatBits(0.5f)}}));
    peer.send(reply::triggeredData(2, {{403, 7}}));
    peer.send(reply::curve(103, 1, {1, 2, 3, 4, 5, 6, 7, 8}));
    peer.send(reply::curve(103, 3, {9, 10, 11, 12}));
    ASSERT_TRUE(peer.waitForCount(2018, 4, kDeadline));

    // Only two of the three actual values are valid: stored, and the shortfall reported.
    EXPECT_EQ(capture.count("CvexPlcCommon::checkActual: Actual Update MayBe Failed(total count: "
                            "3 valid count:  2 )"),
              1);
    EXPECT_EQ(storage()->value(101), CvexVariant(-2));
    EXPECT_EQ(storage()->value(102), CvexVariant(1.5));
    EXPECT_TRUE(storage()->value(103).isNull());

    // Both alarms are logged; the first is answered with its own number.
    ASSERT_EQ(peer.count(2004), 1u);
    const std::string answer = peer.received(2004)[0].bytes;
    EXPECT_TRUE(matchesPattern(answer, "99 88 14 00 D4 07 ?? ?? ?? ?? 01 00 03 00 E8 03 00 00 "
                                       "88 66"));
    EXPECT_EQ(le16(answer, 6), le16(answer, 8));
    const std::vector<Orrery::CvexErrorLog> logs = controlData(0)->errorLogs();
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0].alarmNumber, 1000u);
    EXPECT_EQ(logs[0].category, 1u);
    EXPECT_EQ(logs[0].alarmByte, 3u);
    EXPECT_EQ(logs[1].alarmNumber, 2000u);

    // Triggered data is stored by the kind each item declares and confirmed by group.
    const std::vector<vexsim::Datagram> confirms = peer.received(2018);
    EXPECT_TRUE(matchesPattern(confirms[0].bytes, "99 88 0C 00 E2 07 ?? ?? 05 00 88 66"));
    EXPECT_TRUE(matchesPattern(confirms[1].bytes, "99 88 0C 00 E2 07 ?? ?? 02 00 88 66"));
    EXPECT_EQ(storage()->value(401), CvexVariant(-2));
    EXPECT_EQ(storage()->value(402), CvexVariant(0.5));
    EXPECT_EQ(storage()->value(403), CvexVariant(7));
    EXPECT_EQ(controlData(1)->moniLogCount(), 1u);

    // The curve's last packet saves it.
    EXPECT_TRUE(matchesPattern(confirms[3].bytes, "99 88 0C 00 E2 07 ?? ?? 67 00 88 66"));
    const auto saved = controlData(2)->savedCurves(3);
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].size(), 3u);
    EXPECT_EQ(saved[0][1].samples[0], 5.0);
    EXPECT_EQ(saved[0][2].samples[3], 12.0);
    EXPECT_TRUE(controlData(2)->openCurve(3).empty());
}

TEST_F(LinkTest, SilenceTakesTheLinkDownAndEmptiesTheQueue)
{
    bringOnline();
    // The link stays up while the requests are queued, however long that takes on a slow
    // machine: the silence, and the reset that empties the queue, start after the last one.
    for (int i = 0; i < 1000; ++i)
        source->uploadParam(static_cast<unsigned int>(i));
    answerPolls = false;
    ASSERT_TRUE(reaches(0));
    // The peer may still be reading what left before the reset; three polls later it has read
    // at least one poll sent after it, and with it everything sent before.
    ASSERT_TRUE(waitForMorePolls(3));
    const size_t sentBeforeReset = peer.count(2);
    EXPECT_LT(sentBeforeReset, 1000u);
    // The poll goes on after the reset, but the discarded requests never leave.
    ASSERT_TRUE(waitForMorePolls(2));
    EXPECT_EQ(peer.count(2), sentBeforeReset);
    // What left is the head of the queue, in order.
    const std::vector<vexsim::Datagram> sent = peer.received(2);
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(le32(sent[i].bytes, 12), i) << "request " << i;
}

// Under a flood of alarms the polls keep their period (every 100 ms, never as long as the
// watchdog's CycleTime) and are answered, so the link never drops; destroying the source does
// not wait for the flood to end.
TEST_F(LinkTest, PollAndLinkSurviveAFloodOfAlarms)
{
    bringOnline();
    const size_t pollsBefore = peer.count(7);
    bool polled = false;
    int lineStatus = 0;
    std::chrono::steady_clock::duration took{};
    std::vector<std::string> lines;
    {
        // Ends before the checks: a failure's message would go into the capture.
        vextest::StdoutCapture capture;
        std::atomic<bool> flooding{true};
        // Still far more alarms than the 1,000 answers a second the pacing lets out, but the
        // sender gives way after each one, so that on two busy cores it does not take a whole
        // core from the source it floods.
        std::thread flood([&] {
            while (flooding) {
                peer.send(reply::alarm({{1, 5}}));
                std::this_thread::yield();
            }
        });
        polled = peer.waitForCount(7, pollsBefore + 12, kDeadline);
        lineStatus = source->lineStatus();
        const auto before = std::chrono::steady_clock::now();
        source.reset();
        took = std::chrono::steady_clock::now() - before;
        flooding = false;
        flood.join();
        lines = capture.lines();
    }
    EXPECT_LT(took, 2s);
    ASSERT_TRUE(polled);
    EXPECT_GE(peer.count(2004), 10u);
    std::vector<vexsim::Datagram> polls = peer.received(7);
    polls.erase(polls.begin(), polls.begin() + static_cast<long>(pollsBefore));
    for (size_t i = 1; i < polls.size(); ++i)
        EXPECT_LT(polls[i].at - polls[i - 1].at,
                  std::chrono::milliseconds(kCycleTime * vextest::kTimeScale))
            << "poll " << i;
    EXPECT_EQ(lineStatus, 3);
    EXPECT_LE(countStartingWith(lines, "CvexPlcCommon::prepareData: send queue full"), 3);
}

#ifdef __linux__
TEST_F(LinkTest, OneDeliveryHandlesAtMostTwoHundredFiftySixDatagrams)
{
    constexpr unsigned int kDatagrams = 300;
    configure(CommonFile());
    ASSERT_NO_FATAL_FAILURE(link());
    // The system's default receive buffer holds no more than 256 small datagrams.
    const int fd = socketOn(peer.hostEndpoint().port);
    ASSERT_GE(fd, 0);
    const int bufferSize = 1 << 20;
    ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize), 0);

    // A task in the worker's own loop keeps "readyRead" from being delivered while the socket
    // fills up; then it reads the socket there, one processReceive call after the other. On the
    // loopback a datagram is queued at the receiver before the sender's call returns.
    std::atomic<bool> inWorker{false};
    std::atomic<bool> filled{false};
    std::atomic<bool> done{false};
    std::vector<size_t> handledPerCall;
    source->thread()->post([&] {
        inWorker = true;
        vextest::waitUntil([&] { return filled.load(); }, kDeadline);
        for (size_t handled = 0; handled < kDatagrams && handledPerCall.size() < 4;) {
            const size_t before = controlData(0)->errorLogs().size();
            source->processReceive();
            handledPerCall.push_back(controlData(0)->errorLogs().size() - before);
            handled += handledPerCall.back();
        }
        done = true;
    });
    ASSERT_TRUE(vextest::waitUntil([&] { return inWorker.load(); }, kDeadline));
    for (unsigned int number = 0; number < kDatagrams; ++number)
        peer.send(reply::alarm({{1, number}}));
    filled = true;
    ASSERT_TRUE(vextest::waitUntil([&] { return done.load(); }, kDeadline));

    EXPECT_EQ(handledPerCall, (std::vector<size_t>{256, kDatagrams - 256}));
    const std::vector<Orrery::CvexErrorLog> logs = controlData(0)->errorLogs();
    ASSERT_EQ(logs.size(), kDatagrams);
    for (unsigned int number = 0; number < kDatagrams; ++number)
        ASSERT_EQ(logs[number].alarmNumber, number);
}
#endif

TEST_F(LinkTest, MoreThanTwoHundredFiftyFiveTriggersAreDownloadedOnceInOrder)
{
    std::vector<uint16_t> groups(300);
    std::iota(groups.begin(), groups.end(), 1);
    CommonFile file;
    // A definition goes again when its acknowledgement takes longer than a poll period; the
    // period here leaves room for a slow build.
    file.cycleTime = 1500;
    file.triggers.clear();
    for (unsigned int group : groups)
        file.triggers.push_back({group, {1000 + group}});
    answerLikePlc();
    start(file);
    ASSERT_TRUE(peer.waitForCount(17, groups.size(), kDeadline));
    // The list is done once the last definition is acknowledged: polls go on, definitions not.
    ASSERT_TRUE(waitForMorePolls(2));
    EXPECT_EQ(definedGroups(), groups);
}

// After each reply has been handled the host sends a read request; the queue sends in order, so
// once the request has arrived, every pack the reply started has arrived too.
TEST_F(LinkTest, LineStatusRepliesStartTheMoldSetDownloadWhilePending)
{
    CommonFile file;
    file.cycleTime = 3000;
    start(file);
    struct Step {
        int status;
        size_t packs;
    };
    // An unknown code between two equal ones shows when the second has been handled.
    const Step steps[] = {{2, 1}, {4, 1}, {2, 1}, {3, 1}, {2, 2}, {4, 2},
                          {2, 2}, {1, 3}, {4, 3}, {1, 4}, {4, 4}, {2, 4}};
    size_t requests = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "status " << step.status << " packs " << step.packs);
        peer.send(reply::lineStatus(step.status));
        ASSERT_TRUE(
            vextest::waitUntil([&] { return source->lineStatus() == step.status; }, kDeadline));
        source->uploadParam(1u);
        ASSERT_TRUE(peer.waitForCount(2, ++requests, kDeadline));
        EXPECT_EQ(peer.count(9), step.packs);
    }
    for (const vexsim::Datagram& pack : peer.received(9)) {
        EXPECT_EQ(le16(pack.bytes, 10), 50u);
        EXPECT_EQ(le32(pack.bytes, 12), kFirstMoldID);
    }
}

} // namespace
} // namespace plccommontest
