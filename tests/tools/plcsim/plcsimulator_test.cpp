// SPDX-License-Identifier: MIT
#include "plcsimulator.h"

#include "simtest.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using simtest::dwordAt;
using simtest::wordAt;
using vexsim::PlcSimulator;
using vextest::hex;

std::vector<std::string> ofType(const std::vector<std::string>& packets, uint16_t type)
{
    std::vector<std::string> matching;
    for (const std::string& packet : packets) {
        if (wordAt(packet, 4) == type)
            matching.push_back(packet);
    }
    return matching;
}

// Drives one simulator through simulated time; nothing here waits for real time.
class Simulator : public ::testing::Test {
protected:
    static constexpr uint32_t kCycle = 3000;

    void make(const vexsim::SimulatorOptions& options,
              const vexsim::ItemTable& items = vexsim::ItemTable())
    {
        sim = std::make_unique<PlcSimulator>(options, items, now);
    }
    void SetUp() override
    {
        options.version = 2;
        options.expectedTriggers = 2;
        options.alarmInterval = 0ms;
        make(options);
    }
    std::vector<std::string> send(const std::string& datagram)
    {
        return sim->receive(datagram, now);
    }
    std::string answer(const std::string& datagram)
    {
        const auto out = send(datagram);
        EXPECT_EQ(out.size(), 1u);
        return out.empty() ? std::string() : out.front();
    }
    int32_t lineStatus(uint16_t version = 2)
    {
        return static_cast<int32_t>(dwordAt(answer(host::lineStatus(version, kCycle)), 12));
    }
    // Runs a complete download of `count` IDs in packs of 50 and the status check.
    void download(uint32_t count)
    {
        for (uint32_t first = 0; first < count; first += 50)
            answer(host::moldPack(2001 + first, std::min<uint32_t>(50, count - first)));
        answer(host::moldSetStatus(count));
    }
    // The triggered data sent once `wait` has passed.
    std::vector<std::string> triggeredAfter(PlcSimulator::Clock::duration wait)
    {
        now += wait;
        return ofType(sim->advance(now), 1018);
    }
    void bringUp()
    {
        ASSERT_EQ(lineStatus(), 1);
        download(120);
        answer(host::trigger(2, {4001, 4002}));
        answer(host::trigger(101, {5001, 5002, 5003, 5004}));
        ASSERT_EQ(lineStatus(), 3);
    }

    PlcSimulator::Clock::time_point now = PlcSimulator::Clock::time_point() + 1h;
    vexsim::SimulatorOptions options;
    std::unique_ptr<PlcSimulator> sim;
};

TEST_F(Simulator, LineStatusGoesFromOneThroughTwoToThree)
{
    EXPECT_EQ(hex(answer(host::lineStatus(3, kCycle, 0x1234))),
              "88 55 14 00 EF 03 34 12 00 00 01 00 FF FF 00 00 00 00 88 66")
        << "another version is a mismatch, and the answer echoes the request's number";
    EXPECT_EQ(lineStatus(), 1) << "first contact asks for a download";
    EXPECT_EQ(lineStatus(), 2) << "then the download is pending";
    answer(host::moldPack(2001, 50));
    EXPECT_EQ(lineStatus(), 2);
    answer(host::moldPack(2051, 50));
    answer(host::moldPack(2101, 20));
    EXPECT_EQ(hex(answer(host::moldSetStatus(120))),
              "88 55 12 00 F0 03 00 00 00 00 01 00 78 00 00 00 88 66");
    EXPECT_EQ(lineStatus(), 2) << "confirmed, but the trigger table is still empty";
    answer(host::trigger(2, {4001}));
    EXPECT_EQ(lineStatus(), 2);
    answer(host::trigger(5, {4101}));
    EXPECT_EQ(lineStatus(), 3);
    EXPECT_EQ(lineStatus(), 3);
    EXPECT_EQ(sim->counters().moldSetsConfirmed, 1u);
}

TEST_F(Simulator, StalledDownloadAsksForAFreshOneAfterOneCycle)
{
    ASSERT_EQ(lineStatus(), 1);
    answer(host::moldPack(2001, 50)); // the next pack is lost on its way
    now += std::chrono::milliseconds(kCycle - 1);
    EXPECT_EQ(lineStatus(), 2);
    now += 1ms;
    EXPECT_EQ(lineStatus(), 1);
    EXPECT_EQ(lineStatus(), 2);
    download(120);
    answer(host::trigger(2, {4001}));
    now += std::chrono::milliseconds(kCycle); // the second definition never comes
    EXPECT_EQ(lineStatus(), 1) << "a stalled trigger download also asks again";
    EXPECT_EQ(sim->counters().freshDownloadsAsked, 3u);
}

TEST_F(Simulator, QuietHostOrMoldChangeStartsTheLinkAgain)
{
    bringUp();
    now += std::chrono::milliseconds(2 * kCycle);
    bringUp(); // a host quiet for two of its cycles is treated as new
    sim->changeMold();
    EXPECT_EQ(sim->heldMoldValues(), 0u);
    EXPECT_TRUE(sim->triggerGroups().empty());
    EXPECT_EQ(lineStatus(), 1);
}

TEST_F(Simulator, MoldSetAckCountsTheValidRecordsReallyReceived)
{
    const std::string three = host::moldPack(2001, 3);
    std::string claimsMore = three;
    vexsim::putU16(claimsMore, 10, 50); // claims 50 records but carries 3
    const std::pair<std::string, uint16_t> rows[] = {
        {host::moldPack(2001, 50), 50},
        {host::records(9, {{1, 8, 1, 0}, {2, 8, 0, 0}, {3, 2, 1, 7}}), 2}, // one invalid state
        {claimsMore, 3},
        {three.substr(0, three.size() - 5), 2}, // the last record is cut
        {host::records(9, {}), 0}};
    for (const auto& [pack, accepted] : rows) {
        SCOPED_TRACE(accepted);
        const std::string ack = answer(pack);
        EXPECT_EQ(ack.size(), 14u);
        EXPECT_EQ(wordAt(ack, 4), 1009);
        EXPECT_EQ(wordAt(ack, 10), accepted);
    }
}

TEST_F(Simulator, StatusCountsOnlyTheLatestDownload)
{
    ASSERT_EQ(lineStatus(), 1);
    download(120);
    EXPECT_EQ(sim->heldMoldValues(), 120u);
    answer(host::moldPack(3001, 10)); // the host downloads block 2
    EXPECT_EQ(dwordAt(answer(host::moldSetStatus(10)), 12), 10u);
    answer(host::moldPack(2001, 50));
    answer(host::moldPack(2001, 50)); // a resent pack counts once
    EXPECT_EQ(dwordAt(answer(host::moldSetStatus(120)), 12), 50u);
}

TEST_F(Simulator, ShortDatagramsGetNoAnswer)
{
    for (const std::string& bytes :
         {std::string("\x99\x88\x14\x00\x07", 5), host::lineStatus(2, kCycle).substr(0, 15),
          host::moldPack(1, 1).substr(0, 13), host::moldSetStatus(1).substr(0, 15),
          host::trigger(3, {}).substr(0, 9)})
        EXPECT_TRUE(send(bytes).empty()) << hex(bytes);
    EXPECT_EQ(sim->counters().malformed, 5u);
}

TEST_F(Simulator, AcknowledgesTriggerDefinitionsWithTheirGroupAndFailedIDs)
{
    options.failGroup = 5;
    make(options);
    // start feature: one set, one condition of type 5 with parameters 10 and 20
    const std::string feature = vextest::bytes("01 00 01 00 05 00 02 00 0A 00 00 00 14 00 00 00");
    EXPECT_EQ(hex(answer(host::trigger(3, {4001, 4002}, feature))),
              "88 55 10 00 F9 03 00 00 03 00 00 00 00 00 88 66");
    EXPECT_EQ(sim->triggerDataIDs(3), (std::vector<uint32_t>{4001, 4002}));
    const std::string reply = answer(host::trigger(7, {4001}, feature).substr(0, 28));
    EXPECT_EQ(wordAt(reply, 8), 7);
    EXPECT_EQ(wordAt(reply, 10), 0xFFDF) << "a cut definition is a configure error";
    EXPECT_EQ(sim->triggerDataIDs(7).size(), 0u);
    // The fail group reports its first ID as failed.
    EXPECT_EQ(hex(answer(host::trigger(5, {0x1F4, 4102}))),
              "88 55 16 00 F9 03 02 00 05 00 DE FF 01 00 F4 01 00 00 02 00 88 66");
    EXPECT_EQ(sim->triggerDataIDs(5), (std::vector<uint32_t>{4102}));
}

TEST_F(Simulator, ShotSendsOneBufferPerGroupAndResendsItUnchangedUntilConfirmed)
{
    vexsim::ItemTable items;
    items.add({4002, "Cycle counter", 6, 4, 0, false});
    options.shotInterval = 2000ms;
    options.confirmTimeout = 500ms;
    options.maxResends = 2;
    make(options, items);
    bringUp();
    const auto first = triggeredAfter(2000ms);
    ASSERT_EQ(first.size(), 2u) << "the data packet and the curve's first buffer";
    EXPECT_EQ(wordAt(first[0], 8), 2);
    EXPECT_EQ(wordAt(first[0], 14), 2);
    EXPECT_EQ(dwordAt(first[0], 24), 4002u);
    EXPECT_EQ(dwordAt(first[0], 28), 1u) << "the counter item carries the shot number as u32";
    EXPECT_EQ(wordAt(first[1], 8), 101);
    EXPECT_NE(wordAt(first[1], 6), wordAt(first[0], 6)) << "every packet has its own number";
    send(host::confirmation(2));
    send(host::confirmation(101));
    send(host::confirmation(101)); // for a repeat: nothing is in flight to settle
    EXPECT_EQ(sim->counters().triggeredConfirmed, 2u);

    // The curve's buffers follow one by one, a send cycle after each confirmation.
    EXPECT_TRUE(triggeredAfter(99ms).empty());
    const auto second = triggeredAfter(1ms);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(triggeredAfter(500ms), second) << "resent unchanged, number included";
    send(host::confirmation(101));
    const auto third = triggeredAfter(100ms);
    ASSERT_EQ(third.size(), 1u);
    std::vector<std::string> curve{first[1], second[0], third[0]};
    for (size_t i = 0; i < curve.size(); ++i) {
        EXPECT_EQ(wordAt(curve[i], 8), 101);
        EXPECT_EQ(wordAt(curve[i], 10), i == 2 ? 3 : 1) << "only the last packet closes";
        EXPECT_EQ(wordAt(curve[i], 14), 240);
        EXPECT_EQ(curve[i].size(), 16u + 240 * 4 + 2);
    }
    EXPECT_EQ(triggeredAfter(500ms), third);
    EXPECT_EQ(triggeredAfter(500ms), third);
    const auto later = triggeredAfter(500ms); // the next shot is due too
    EXPECT_EQ(std::count(later.begin(), later.end(), third[0]), 0) << "given up after two resends";
    EXPECT_EQ(sim->counters().triggeredConfirmed, 3u);
    EXPECT_EQ(sim->counters().triggeredResent, 3u);
    EXPECT_EQ(sim->counters().triggeredAbandoned, 1u);
}

TEST_F(Simulator, NoTriggeredDataBeforeTheMoldSetIsConfirmed)
{
    answer(host::trigger(2, {4001}));
    EXPECT_TRUE(triggeredAfter(2000ms).empty());
}

TEST_F(Simulator, PushesActualValuesAtTheSubscribedCycleInTheDeclaredTypes)
{
    vexsim::ItemTable items;
    items.add({1001, "Zone 1 temperature", 8, 9, 200, true});
    items.add({1002, "Shot counter", 6, 4, 0, false});
    items.add({1003, "Hold pressure", 2, 2, 500, true});
    make(vexsim::SimulatorOptions(), items);
    EXPECT_TRUE(send(host::idList(1, {1001, 1002, 1003, 1004}, 100)).empty());
    now += 99ms;
    EXPECT_TRUE(sim->advance(now).empty());
    now += 1ms;
    const auto out = sim->advance(now);
    ASSERT_EQ(out.size(), 1u);
    const std::string& reply = out.front();
    ASSERT_EQ(reply.size(), 14u + 4 * 10);
    EXPECT_EQ(wordAt(reply, 10), 4);
    const uint8_t expectedTypes[] = {8, 6, 2, 8};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(dwordAt(reply, 12 + 10 * i), 1001 + i);
        EXPECT_EQ(static_cast<uint8_t>(reply[16 + 10 * i]), expectedTypes[i]);
        EXPECT_EQ(reply[17 + 10 * i], 1) << "state";
    }
    const float temperature = vexsim::floatFromBits(dwordAt(reply, 18));
    EXPECT_GT(temperature, 20.0f);
    EXPECT_LT(temperature, 200.0f) << "still heating up";
    now += 10min;
    const float settled = vexsim::floatFromBits(dwordAt(sim->advance(now).front(), 18));
    EXPECT_NEAR(settled, 200.0f, 1.0f);
}

TEST_F(Simulator, CountsAlarmsAnsweredWithTheirNumber)
{
    EXPECT_EQ(hex(sim->raiseAlarm()),
              "88 55 14 00 EC 03 00 00 00 00 01 00 01 00 E8 03 00 00 88 66");
    send(host::alarmAnswer(1, 999)); // not an open alarm
    send(host::alarmAnswer(1, 1000));
    send(host::alarmAnswer(1, 1000)); // answered once only
    EXPECT_EQ(sim->counters().alarmsRaised, 1u);
    EXPECT_EQ(sim->counters().alarmsAnswered, 1u);
}

TEST_F(Simulator, ParametersAndActionsAreAnswered)
{
    vexsim::ItemTable items;
    items.add({2001, "Stage 1 position", 8, 9, 21222, true});
    make(vexsim::SimulatorOptions(), items);
    EXPECT_EQ(hex(answer(host::records(3, {{7, 8, 1, vexsim::floatBits(2.5f)}, {8, 2, 0, 5}}))),
              "88 55 22 00 EB 03 00 00 00 00 02 00 07 00 00 00 08 01 00 00 20 40 "
              "08 00 00 00 02 00 05 00 00 00 88 66");
    EXPECT_EQ(hex(answer(host::idList(2, {7, 8}))),
              "88 55 22 00 EA 03 00 00 00 00 02 00 07 00 00 00 08 01 00 00 20 40 "
              "08 00 00 00 00 00 00 00 00 00 88 66")
        << "a written parameter is read back, one written as invalid is not held";
    answer(host::moldPack(2001, 1)); // 2.5 as a float
    EXPECT_EQ(dwordAt(answer(host::idList(2, {2001})), 18), vexsim::floatBits(2.5f))
        << "the PLC answers what it holds, not the items file's nominal value";
    EXPECT_EQ(hex(answer(host::idList(6, {5, 0}))),
              "88 55 16 00 EE 03 00 00 00 00 02 00 01 00 00 00 00 00 00 80 88 66")
        << "every action is answered with one state; code 0 fails";
}

} // namespace
