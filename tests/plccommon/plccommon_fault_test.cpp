// SPDX-License-Identifier: MIT
// The source on a faulty wire: lost and mismatching replies, values missing in the storage,
// repeated triggered data, values the PLC reads as floats, and a port that is taken.
#include "plccommonfixture.h"

#include <set>

namespace plccommontest {
namespace {

using Orrery::CvexPlcEvent;

constexpr unsigned int kSlowCycle = 600; // a poll period of 200 ms
constexpr auto kSlowPeriod = std::chrono::milliseconds(kSlowCycle / 3);

// The same request sent again: equal bytes but for the packet number.
::testing::AssertionResult isResendOf(const vexsim::Datagram& again, const vexsim::Datagram& first)
{
    const std::string& a = again.bytes;
    const std::string& b = first.bytes;
    if (a.size() == b.size() && a.size() > 8 && a.compare(0, 6, b, 0, 6) == 0 &&
        a.compare(8, std::string::npos, b, 8, std::string::npos) == 0 &&
        again.number() != first.number())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "first " << vextest::hex(b) << "\nagain " << vextest::hex(a);
}

std::string giveUpLine(uint16_t type)
{
    const std::map<uint16_t, std::string> lines{
        {9, "packMoldSetData: mold set pack of 50 IDs from ID 2001"},
        {8, "requestMoldSetStatus: mold set status request"},
        {17, "requestTrigger: trigger definition of group 1"}};
    return "CvexPlcCommon::" + lines.at(type) +
           " not acknowledged after 3 resends; waiting for the PLC";
}

class FaultTest : public PlcCommonTest {
protected:
    // Like answerLikePlc(), but the first `drops` requests of `type` go unanswered; a negative
    // count leaves every one unanswered.
    void answerLikePlcDropping(uint16_t type, int drops)
    {
        dropsLeft = drops;
        peer.setHandler([this, type, drops](const vexsim::Datagram& datagram) {
            if (datagram.type() == type && (drops < 0 || dropsLeft.fetch_sub(1) > 0))
                return;
            answer(datagram);
        });
    }
    void downloadDefaultBlock()
    {
        source->downloadMoldSet(fromJson<Orrery::CvexParseMoldBlock>(
            R"({"Type": 1, "DataIDList": )" + jsonList(idRange(kFirstMoldID, kMoldCount)) + "}"));
    }
    // Online with a PLC that holds its mold set and never answers `silentType`; the peer forgets
    // what came so far.
    void startOnline(uint16_t silentType = 0)
    {
        plcLineStatus = 3;
        answerLikePlcDropping(silentType, -1);
        start();
        ASSERT_TRUE(reaches(3));
        peer.clearReceived();
    }
    std::atomic<int> dropsLeft{0};
};

class ItemTest : public FaultTest, public ::testing::WithParamInterface<uint16_t> {};

// A lost reply: the item goes again after one poll period, the chain goes on from there.
TEST_P(ItemTest, LostReplyRecoversWithinTwoPollPeriods)
{
    const uint16_t type = GetParam();
    answerLikePlcDropping(type, 1);
    CommonFile slow;
    slow.cycleTime = kSlowCycle;
    start(slow);
    ASSERT_TRUE(peer.waitForCount(type, 2, kDeadline));
    ASSERT_TRUE(reaches(3));
    ASSERT_TRUE(peer.waitForCount(17, type == 17 ? 4 : 3, kDeadline));

    const std::vector<vexsim::Datagram> sent = peer.received(type);
    EXPECT_TRUE(isResendOf(sent[1], sent[0]));
    EXPECT_LE(sent[1].at - sent[0].at, 2 * kSlowPeriod);
    EXPECT_GE(sent[1].at - sent[0].at, kSlowPeriod / 2);
    // Only the lost item went again: no new download, no other item twice.
    EXPECT_EQ(peer.count(9), type == 9 ? 4u : 3u);
    EXPECT_EQ(peer.count(8), type == 8 ? 2u : 1u);
    EXPECT_EQ(definedGroups(),
              type == 17 ? std::vector<uint16_t>({1, 1, 2, 3}) : std::vector<uint16_t>({1, 2, 3}));
}

// A PLC that never answers an item: 1 + 3 sends, one poll period apart, then one line.
TEST_P(ItemTest, SilentPlcGetsTheItemFourTimesThenTheDownloadWaits)
{
    const uint16_t type = GetParam();
    ASSERT_NO_FATAL_FAILURE(startOnline(type));
    vextest::StdoutCapture capture;
    downloadDefaultBlock();
    ASSERT_TRUE(vextest::waitUntil([&] { return capture.contains(giveUpLine(type)); }, kDeadline))
        << capture.text();
    const std::vector<vexsim::Datagram> sent = peer.received(type);
    ASSERT_EQ(sent.size(), 4u);
    for (size_t i = 1; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(isResendOf(sent[i], sent[0]));
        EXPECT_GE(sent[i].at - sent[i - 1].at, std::chrono::milliseconds(kCycleTime / 6));
    }
    // The download waits: nothing more goes out over the next polls.
    ASSERT_TRUE(waitForMorePolls(3));
    EXPECT_EQ(peer.count(type), 4u);
    EXPECT_EQ(capture.count(giveUpLine(type)), 1);
}

INSTANTIATE_TEST_SUITE_P(PackStatusTrigger, ItemTest, ::testing::Values(9, 8, 17));

// A PLC that still reports 2 while a trigger definition goes unacknowledged: once the definition
// is given up, its next 2 starts the whole download again, and the link comes up.
TEST_F(FaultTest, GivenUpTriggerRestartsTheDownloadAtTheNextLineStatusTwo)
{
    dropsLeft = 4;
    peer.setHandler([this](const vexsim::Datagram& datagram) {
        if (datagram.type() == 17 && dropsLeft.fetch_sub(1) > 0)
            return;
        answer(datagram);
        if (datagram.type() == 8)
            plcLineStatus = 2; // until the last trigger is defined
        if (datagram.type() == 17 && le16(datagram.bytes, 8) == 3)
            plcLineStatus = 3;
    });
    vextest::StdoutCapture capture;
    start();
    ASSERT_TRUE(vextest::waitUntil([&] { return peer.count(9) == 6u; }, kDeadline))
        << capture.text();
    ASSERT_TRUE(reaches(3));
    ASSERT_TRUE(peer.waitForCount(17, 7, kDeadline));
    EXPECT_EQ(capture.count(giveUpLine(17)), 1);
    EXPECT_EQ(peer.count(8), 2u);
    EXPECT_EQ(definedGroups(), std::vector<uint16_t>({1, 1, 1, 1, 1, 2, 3}));
}

// Values missing in the storage are named once per download; the count never matches, so the
// pack goes four times.
TEST_F(FaultTest, MissingValuesAreNamedOnceAndThePackGoesAtMostFourTimes)
{
    const std::string prefix = "CvexPlcCommon::packMoldSetData: no stored value for ";
    const struct {
        std::vector<unsigned int> missing;
        std::string line;
        uint16_t firstPackRecords;
    } rows[] = {
        {idRange(kFirstMoldID, kMoldCount), "120 of 120 mold set IDs: 2001-2120", 0},
        {{2005, 2010, 2011, 2012, 2120}, "5 of 120 mold set IDs: 2005, 2010-2012, 2120", 46}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        nextRow();
        ASSERT_NO_FATAL_FAILURE(startOnline());
        for (unsigned int id : row.missing)
            storage()->addItem(id, "mold" + std::to_string(id), 4);
        vextest::StdoutCapture capture;
        downloadDefaultBlock();
        ASSERT_TRUE(vextest::waitUntil([&] { return capture.contains(giveUpLine(9)); }, kDeadline));
        ASSERT_TRUE(waitForMorePolls(3));
        EXPECT_EQ(peer.count(9), 4u);
        EXPECT_EQ(capture.lines(), (std::vector<std::string>{prefix + row.line, giveUpLine(9)}));
        for (const vexsim::Datagram& pack : peer.received(9))
            EXPECT_EQ(le16(pack.bytes, 10), row.firstPackRecords);
    }
}

// Repeated triggered data: confirmed every time, stored once.
TEST_F(FaultTest, RepeatIsConfirmedEveryTimeAndStoredOnce)
{
    const std::string shot[] = {
        reply::triggeredData(2, {{301, 7}}, 40),
        reply::curve(100, 1, {1, 2, 3, 4, 5, 6, 7, 8}, 41), // first part of curve 0
        reply::curve(100, 3, {9, 10, 11, 12}, 42),          // its last part
    };
    const struct {
        const char* name;
        std::vector<int> order; // indexes into the shot's packets
    } rows[] = {{"duplicated", {0, 0, 1, 1, 2, 2}},
                {"duplicated and reordered", {1, 0, 2, 0, 1, 2}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        nextRow();
        ASSERT_NO_FATAL_FAILURE(startOnline());
        vextest::StdoutCapture capture;
        for (int index : row.order)
            ASSERT_TRUE(peer.send(shot[index]));
        ASSERT_TRUE(peer.waitForCount(2018, row.order.size(), kDeadline));

        std::multiset<uint16_t> confirmed;
        for (const vexsim::Datagram& confirmation : peer.received(2018))
            confirmed.insert(le16(confirmation.bytes, 8));
        EXPECT_EQ(confirmed.count(2), 2u);
        EXPECT_EQ(confirmed.count(100), row.order.size() - 2);
        EXPECT_EQ(controlData(1)->moniLogCount(), 1u);
        const auto curves = controlData(2)->savedCurves(0);
        ASSERT_EQ(curves.size(), 1u);
        ASSERT_EQ(curves[0].size(), 3u);
        for (size_t r = 0; r < 3; ++r)
            EXPECT_EQ(curves[0][r].samples[0], 1 + 4.0 * r);
        EXPECT_TRUE(controlData(2)->openCurve(0).empty());
        EXPECT_EQ(capture.text(), "");
    }
}

TEST_F(FaultTest, PlcThatDoesNotNumberItsPacketsTurnsTheFilterOff)
{
    ASSERT_NO_FATAL_FAILURE(startOnline());
    const std::string second = reply::triggeredData(2, {{301, 8}}, 0);
    vextest::StdoutCapture capture;
    // After the second, even an exact repeat is taken as new data.
    for (const std::string& datagram : {reply::triggeredData(2, {{301, 7}}, 0), second, second})
        ASSERT_TRUE(peer.send(datagram));
    ASSERT_TRUE(peer.waitForCount(2018, 3, kDeadline));
    ASSERT_TRUE(vextest::waitUntil([&] { return controlData(1)->moniLogCount() == 3; }, kDeadline));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"CvexPlcCommon::receiveData: two different triggered-data "
                                       "packets with number 0; the PLC does not number its "
                                       "packets, repeats are stored as they come"});
}

// Code 7 travels as a 32-bit float, like code 8.
TEST_F(FaultTest, CodeSevenValueTravelsAsFloatBytes)
{
    ASSERT_NO_FATAL_FAILURE(startOnline());
    storage()->addItem(7, "ratio", 7, CvexVariant(12.5));
    source->downloadParam(7u, CvexVariant(12.5));
    source->downloadMoldSet(
        fromJson<Orrery::CvexParseMoldBlock>(R"({"Type": 1, "DataIDList": [7]})"));
    const std::string record = " ?? ?? 00 00 01 00 07 00 00 00 07 01 00 00 48 41 88 66";
    ASSERT_TRUE(peer.waitForCount(3, 1, kDeadline));
    ASSERT_TRUE(peer.waitForCount(9, 1, kDeadline));
    EXPECT_TRUE(matchesPattern(peer.received(3).front().bytes, "99 88 18 00 03 00" + record));
    EXPECT_TRUE(matchesPattern(peer.received(9).front().bytes, "99 88 18 00 09 00" + record));
}

// A second source on the same endpoint cannot bind: the line and the event name the endpoint,
// and the source stays down.
TEST_F(FaultTest, BindToATakenPortIsReportedAndAnEvent)
{
    CommonFile taken;
    taken.sourcePort = peer.port();
    vextest::StdoutCapture capture;
    configure(taken);
    const std::string endpoint = "127.0.0.1:" + std::to_string(peer.port()) + ": ";
    EXPECT_TRUE(capture.contains("CvexPlcCommon::setCommonFile: cannot bind " + endpoint +
                                 "Address already in use"))
        << capture.text();
    const std::vector<CvexPlcEvent> events = source->takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, CvexPlcEvent::BindFailed);
    EXPECT_EQ(events[0].text.rfind(endpoint, 0), 0u) << events[0].text;
    EXPECT_GT(events[0].text.size(), endpoint.size());
    source->start();
    EXPECT_EQ(source->lineStatus(), 0);
}

} // namespace
} // namespace plccommontest
