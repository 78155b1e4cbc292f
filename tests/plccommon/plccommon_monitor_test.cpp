// SPDX-License-Identifier: MIT
// What the source tells its host besides the stored data: statistics, events with the
// "eventsReady" signal, and its diagnostic lines through the sink.
#include "plccommonfixture.h"

#include "vexdiagnostic.h"

#include <algorithm>

namespace plccommontest {
namespace {

using MonitorTest = PlcCommonTest;

std::uint64_t total(const std::map<int, std::uint64_t>& counts)
{
    std::uint64_t sum = 0;
    for (const auto& entry : counts)
        sum += entry.second;
    return sum;
}

// The counts match the datagrams the peer received and sent, type by type; the line status poll
// goes on meanwhile, so its count is bracketed by what the peer saw before and after.
TEST_F(MonitorTest, StatisticsMatchWhatThePeerCounted)
{
    storage()->setItemProperty(401, "ValueT", CvexVariant(6u));
    bringOnline();
    // What the peer has sent is read again on every try: a slow source may have made it resend
    // an item, and the peer then answers once more.
    const auto wantReplies = [&] {
        return vextest::waitUntil(
            [&] {
                auto got = source->statistics().receivedByType;
                auto want = repliedByType();
                got.erase(1007);
                want.erase(1007);
                return got == want;
            },
            kDeadline);
    };
    ASSERT_TRUE(wantReplies());

    sendReply(reply::alarm({{1, 10}}));
    sendReply(reply::triggeredData(5, {{401, 7}}));
    sendReply(reply::readParam({{401, 6, 1, 9}}));
    sendReply(reply::curve(103, 1, {1, 2, 3, 4, 5, 6, 7, 8}));
    sendReply(reply::curve(103, 3, {9, 10}));
    source->downloadAction(std::vector<unsigned int>{7, 9});
    ASSERT_TRUE(peer.waitForCount(6, 1, kDeadline));
    sendReply(reply::action({1, 0x80000002u}));
    sendReply(reply::common(1999, 0, 0, 0, ""));
    sendReply(std::string("\x88\x55\x14\x00", 4));
    std::string unmarked = reply::triggerAck(1);
    unmarked[0] = '\x99';
    sendReply(unmarked);
    ASSERT_TRUE(peer.waitForCount(2018, 3, kDeadline));
    ASSERT_TRUE(wantReplies());
    // A datagram is counted once the socket took it, which may be after the peer has it.
    ASSERT_TRUE(vextest::waitUntil(
        [&] {
            auto sent = source->statistics().sentByType;
            return sent[2018] == 3 && sent[2004] == 1;
        },
        kDeadline));

    const std::size_t pollsBefore = peer.count(7);
    Orrery::CvexPlcStatistics s = source->statistics();
    std::map<int, std::uint64_t> replied = repliedByType();
    EXPECT_EQ(s.receivedByType[1004], 1u);
    EXPECT_EQ(s.receivedByType[1999], 1u);
    EXPECT_EQ(s.receivedByType[65535], 1u);
    EXPECT_EQ(s.unknownReceived, 2u);
    EXPECT_EQ(s.malformedReceived, 1u);
    EXPECT_LE(s.receivedByType[1007], replied[1007]);
    EXPECT_EQ(s.datagramsReceived, total(s.receivedByType));
    EXPECT_GE(s.msSinceLastDatagram, 0);
    EXPECT_LT(s.msSinceLastDatagram, static_cast<std::int64_t>(kDeadline.count()));

    // Sent: the start-up chain exactly, the "link" datagram without a type, the action and the
    // answers.
    for (const int type : {1, 6, 8, 9, 17, 2004, 2018})
        EXPECT_EQ(s.sentByType[type], peer.count(static_cast<uint16_t>(type))) << type;
    EXPECT_EQ(s.sentByType[-1], 1u);
    EXPECT_EQ(s.sentByType[9], 3u);
    EXPECT_GE(s.sentByType[7] + 1, pollsBefore);
    ASSERT_TRUE(peer.waitForCount(7, s.sentByType[7], kDeadline));
    EXPECT_EQ(s.datagramsSent, total(s.sentByType));
    EXPECT_EQ(s.sendQueueDropped + s.retransmissions + s.duplicatesIgnored, 0u);

    const Events events = source->takeEvents();
    EXPECT_EQ(shown(events, {CvexPlcEvent::AlarmReceived, CvexPlcEvent::TriggeredDataStored,
                             CvexPlcEvent::ParameterReplyStored, CvexPlcEvent::CurveSaved,
                             CvexPlcEvent::ActionAnswered}),
              (std::vector<std::string>{"AlarmReceived 10 1", "TriggeredDataStored 5 0",
                                        "ParameterReplyStored 1002 1", "CurveSaved 3 3",
                                        "ActionAnswered 7 1", "ActionAnswered 9 2147483650"}));
}

// A host that never drains keeps the newest 4095 events behind one EventsDropped that counts
// the rest, and is signalled once, when the first event came.
TEST_F(MonitorTest, HostThatNeverDrainsLosesOnlyTheOldest)
{
    std::atomic<int> signals{0};
    Orrery::CvexObject::connect(source.get(), "eventsReady", nullptr, "count", [&] { ++signals; });
    answerPolls = false;
    vextest::StdoutCapture capture;
    start();
    constexpr uint32_t alarms = 5000;
    // In batches the socket can hold, so that every alarm is handled.
    for (uint32_t number = 1; number <= alarms; ++number) {
        sendReply(reply::alarm({{1, number}}));
        if (number % 200 == 0) {
            ASSERT_TRUE(vextest::waitUntil(
                [&] { return source->statistics().receivedByType[1004] == number; }, kDeadline));
        }
    }
    ASSERT_TRUE(vextest::waitUntil([&] { return signals.load() >= 1; }, kDeadline));
    const Events events = source->takeEvents();

    ASSERT_EQ(events.size(), 4096u);
    ASSERT_EQ(events[0].kind, CvexPlcEvent::EventsDropped);
    std::vector<long long> numbers;
    for (const CvexPlcEvent& event : Events(events.begin() + 1, events.end())) {
        if (event.kind == CvexPlcEvent::AlarmReceived)
            numbers.push_back(event.code);
        else
            EXPECT_EQ(event.kind, CvexPlcEvent::SendQueueOverflow) << show(event);
    }
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), static_cast<long long>(alarms));
    for (std::size_t i = 1; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], numbers[i - 1] + 1);
    // Every event made is either kept or counted as dropped.
    const long overflowMade =
        countStartingWith(capture.lines(), "CvexPlcCommon::prepareData: send queue full");
    EXPECT_EQ(events[0].value + 4095, static_cast<long long>(alarms) + overflowMade);
    EXPECT_EQ(signals.load(), 1);
    EXPECT_TRUE(source->takeEvents().empty());
}

// Line status codes and malformed datagrams are each reported by one line, and every line of the
// session goes to the sink once and none to standard output; restoring the default brings the
// lines back to standard output.
TEST_F(MonitorTest, LineStatusCodesAndMalformedDatagramsGoToTheSinkOnce)
{
    vextest::StdoutCapture capture;
    std::mutex mutex;
    std::vector<std::string> lines;
    struct RestoreSink {
        ~RestoreSink() { Orrery::CvexDiagnostic::setSink(nullptr); }
    } restore;
    Orrery::CvexDiagnostic::setSink([&](const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
    });
    const auto sinkCount = [&](const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex);
        return std::count(lines.begin(), lines.end(), line);
    };
    const std::string unknown = "CvexPlcCommon::receiveData: Can't Find Protocol (Type: ";
    answerPolls = false;
    start();
    peer.send(std::string("\x88\x55\x14\x00", 4));
    peer.send(reply::common(1999, 0, 0, 0, ""));
    peer.send(reply::lineStatus(4));
    peer.send(reply::lineStatus(65535));
    peer.send(reply::lineStatus(4));
    peer.send(reply::lineStatus(1).substr(0, 19));
    // A 19-byte alarm packet is logged but not answered; a 20-byte one is.
    peer.send(reply::alarm({{1, 77}}).substr(0, 19));
    peer.send(reply::alarm({{2, 88}}));
    ASSERT_TRUE(peer.waitForCount(2004, 1, kDeadline));
    const Events events = source->takeEvents();
    EXPECT_EQ(source->lineStatus(), 65535);
    EXPECT_EQ(le32(peer.received(2004)[0].bytes, 14), 88u);
    EXPECT_EQ(controlData(0)->errorLogs().back().alarmNumber, 88u);
    EXPECT_EQ(shown(events, {CvexPlcEvent::VersionMismatch, CvexPlcEvent::LineStatusChanged}),
              (std::vector<std::string>{"LineStatusChanged 0 4", "VersionMismatch 0 0",
                                        "LineStatusChanged 4 65535", "LineStatusChanged 65535 4",
                                        "VersionMismatch 0 0", "LineStatusChanged 4 65535"}));

    Orrery::CvexDiagnostic::setSink(nullptr);
    peer.send(reply::common(1998, 0, 0, 0, ""));
    EXPECT_TRUE(
        vextest::waitUntil([&] { return capture.contains(unknown + "1998 )"); }, kDeadline));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{unknown + "1998 )"});
    EXPECT_EQ(sinkCount(unknown + "1998 )"), 0);
    EXPECT_EQ(sinkCount(unknown + "1999 )"), 1);
    EXPECT_EQ(sinkCount(unknown + "65535 )"), 1);
    EXPECT_EQ(sinkCount("parse version: 2"), 1);
    EXPECT_EQ(sinkCount("_commData linestatus isValid: 1"), 1);
    EXPECT_EQ(sinkCount("CvexPlcCommon::checkLineStatus: Unknown Status"), 2);
    EXPECT_EQ(sinkCount("CvexPlcCommon::checkLineStatus: Version dismatch"), 2);
}

} // namespace
} // namespace plccommontest
