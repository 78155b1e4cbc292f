// SPDX-License-Identifier: MIT
// The host's side of the source: its commands on the wire, configuration and lifecycle.
#include "plccommonfixture.h"

#include <functional>
#include <thread>

namespace plccommontest {
namespace {

using Orrery::CvexByteArray;
using Orrery::CvexPlcCommon;

using HostTest = PlcCommonTest;

std::string le32Hex(uint32_t value)
{
    const char bytes[] = {static_cast<char>(value), static_cast<char>(value >> 8),
                          static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return vextest::hex(bytes, 4);
}

TEST_F(HostTest, CommandsGoOutByteForByteAndReconfiguringWhileRunningIsRefused)
{
    storage()->addItem(7, "pressure", 8, CvexVariant(2.5));
    storage()->addItem(42, "speed", 4, CvexVariant(1000));
    const auto block =
        fromJson<Orrery::CvexParseMoldBlock>(R"({"Type": 1, "DataIDList": [7, 42]})");
    const auto trigger = fromJson<Orrery::CvexParseTrigger>(
        R"({"ID": 17, "GroupID": 3, "OutTime": 1000, "DelayTime": 0, "SendCount": 1,
            "DataIDFlag": 1, "DataIDList": [10, 11]})");
    const std::string twoRecords = " ?? ?? 00 00 02 00 07 00 00 00 08 01 00 00 20 40 "
                                   "2A 00 00 00 04 01 E8 03 00 00 88 66";
    // Sixty convertible values, each its own ID, and one that the storage cannot type: the first
    // fifty convertible ones go, in ID order.
    std::map<unsigned int, CvexVariant> sixty{{1, CvexVariant(5)}};
    for (unsigned int id : idRange(kFirstMoldID, 60))
        sixty[id] = CvexVariant(static_cast<int>(id));
    std::string fifty = "99 88 02 02 03 00 ?? ?? 00 00 32 00";
    for (unsigned int id : idRange(kFirstMoldID, 50))
        fifty += " " + le32Hex(id) + " 04 01 " + le32Hex(id);
    fifty += " 88 66";
    // The largest packet that goes out; one byte more is refused with a report.
    std::string largest;
    for (int i = 0; i < 1460; ++i)
        largest += " 11";
    const struct {
        const char* name;
        std::function<int(CvexPlcCommon&)> call;
        uint16_t type;
        std::string pattern;
    } commands[] = {
        {"uploadParam(id)", [](CvexPlcCommon& s) { return s.uploadParam(42u); }, 2,
         "99 88 12 00 02 00 ?? ?? 00 00 01 00 2A 00 00 00 88 66"},
        {"uploadParam(name)", [](CvexPlcCommon& s) { return s.uploadParam(std::string("speed")); },
         2, "99 88 12 00 02 00 ?? ?? 00 00 01 00 2A 00 00 00 88 66"},
        {"downloadParam(id, value)",
         [](CvexPlcCommon& s) { return s.downloadParam(7u, CvexVariant(2.5)); }, 3,
         "99 88 18 00 03 00 ?? ?? 00 00 01 00 07 00 00 00 08 01 00 00 20 40 88 66"},
        {"downloadParam(map)",
         [](CvexPlcCommon& s) {
             return s.downloadParam(std::map<std::string, CvexVariant>{
                 {"speed", CvexVariant(1000.0)}, {"pressure", CvexVariant(2.5)}});
         },
         3, "99 88 22 00 03 00" + twoRecords},
        {"downloadParam(map of sixty)", [&](CvexPlcCommon& s) { return s.downloadParam(sixty); }, 3,
         fifty},
        {"downloadAction(codes)",
         [](CvexPlcCommon& s) {
             return s.downloadAction(std::vector<unsigned int>{5, 6});
         },
         6, "99 88 16 00 06 00 ?? ?? 00 00 02 00 05 00 00 00 06 00 00 00 88 66"},
        {"downloadTrigger", [&](CvexPlcCommon& s) { return s.downloadTrigger(trigger); }, 17,
         "99 88 24 00 11 00 ?? ?? 03 00 E8 03 00 00 01 00 00 00 00 00 00 00 01 00 02 00 "
         "0A 00 00 00 0B 00 00 00 88 66"},
        {"downloadMoldSet", [&](CvexPlcCommon& s) { return s.downloadMoldSet(block); }, 9,
         "99 88 22 00 09 00" + twoRecords},
        {"checkAlarm", [](CvexPlcCommon& s) { return s.checkAlarm(-1, 0), 0; }, 2004,
         "99 88 14 00 D4 07 ?? ?? ?? ?? 01 00 00 00 FF FF FF FF 88 66"},
        {"prepareData(1460 bytes)",
         [](CvexPlcCommon& s) { return s.prepareData(CvexByteArray(1460, '\x11')), 0; }, 0x1111,
         largest},
    };
    bringOnline(false);
    vextest::StdoutCapture capture;
    source->prepareData(CvexByteArray(1461, '\x11'));
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        const size_t before = peer.count(command.type);
        EXPECT_EQ(command.call(*source), 0);
        ASSERT_TRUE(peer.waitForCount(command.type, before + 1, kDeadline));
        EXPECT_TRUE(matchesPattern(peer.received(command.type).at(before).bytes, command.pattern));
    }
    // The PLC took both values of the host's block: the source asks for its status.
    ASSERT_TRUE(peer.waitForCount(8, 1, kDeadline));
    EXPECT_EQ(le32(peer.received(8).back().bytes, 12), 2u);
    EXPECT_EQ(peer.count(0x1111), 1u);
    EXPECT_EQ(capture.count("send data len error current size: 1461 is bigger than 1460 bytes"), 1);

    // What the commands return when they have nothing to send.
    EXPECT_EQ(source->uploadParam(std::vector<unsigned int>{}), -1);
    EXPECT_EQ(source->uploadParam(CvexByteArray()), 0);
    EXPECT_EQ(source->downloadParam(7u, CvexVariant()), -1);
    EXPECT_EQ(source->downloadParam(std::map<unsigned int, CvexVariant>{}), -1);
    EXPECT_EQ(source->downloadAction(std::vector<unsigned int>{}), -1);
    EXPECT_EQ(source->downloadMoldSet(), -1);

    // A running source keeps its configuration.
    CommonFile slower;
    slower.cycleTime = 3000;
    vextest::StdoutCapture refusal;
    configure(slower);
    EXPECT_EQ(refusal.lines(), std::vector<std::string>{"CvexPlcCommon::setCommonFile: must stop "
                                                        "or quit thread first"});
    ASSERT_TRUE(waitForMorePolls(2));
    EXPECT_EQ(le32(peer.received(7).back().bytes, 12), kCycleTime);
}

TEST_F(HostTest, FullQueueDropsAndReportsAndTheFirstPassDiscardsEarlyPackets)
{
    configure(CommonFile());
    ASSERT_NO_FATAL_FAILURE(link());
    vextest::StdoutCapture capture;
    for (int i = 0; i < 1030; ++i)
        source->uploadParam(1u);
    const std::string prefix = "CvexPlcCommon::prepareData: send queue full, dropped ";
    EXPECT_EQ(capture.count(prefix + "1 packets"), 1);
    source->start();
    const auto reported = [&] {
        int sum = 0;
        for (const std::string& line : capture.lines())
            sum += line.rfind(prefix, 0) == 0 ? std::stoi(line.substr(prefix.size())) : 0;
        return sum;
    };
    EXPECT_TRUE(vextest::waitUntil([&] { return reported() == 6; }, kDeadline));
    ASSERT_TRUE(waitForMorePolls(2));
    EXPECT_EQ(peer.count(2), 0u);
}

// What a configuration reports, line for line, and what the calls that need a missing section
// report; a start without any configuration ends the thread.
TEST_F(HostTest, ConfigurationIsReported)
{
    CommonFile bare;
    bare.withHost = false;
    bare.withLineStatus = false;
    bare.withActual = false;
    {
        // Without a "Host" endpoint no timer runs, so nothing but the calls writes a line.
        vextest::StdoutCapture capture;
        configure(bare);
        source->checkOnLine();
        source->requestActual();
        source->checkActual(3);
        EXPECT_EQ(source->downloadMoldSet(Orrery::CvexParseMoldBlock()), 0);
        EXPECT_EQ(capture.lines(),
                  (std::vector<std::string>{
                      "parse version: 2", "local: 127.0.0.1 port: 0",
                      "_commData linestatus isValid: 0", "CvexPlcCommon::run Address Error NULL",
                      "CvexPlcCommon::checkOnLine: LineStatus Data InValid",
                      "CvexPlcCommon::requestActual: Actual Data InValid",
                      "CvexPlcCommon::checkActual: Actual Data InValid",
                      "CvexPlcCommon::packMoldSetData: MoldSet Block Data InValid"}));
    }
    CommonFile withoutHost;
    withoutHost.withHost = false;
    withoutHost.cycleTime = 3000;
    withoutHost.moldBlocks = {{2, {6, 7}}, {1, {5, 6}}};
    const struct {
        CommonFile file;
        std::vector<std::string> lines;
        std::vector<unsigned int> moldSetIDs; // all blocks joined in key order
    } rows[] = {
        {withoutHost,
         {"parse version: 2", "local: 127.0.0.1 port: 0", "_commData linestatus isValid: 1",
          "data->_checkOnlineTime1000", "CvexPlcCommon::run Address Error NULL"},
         {5, 6, 6, 7}},
        {CommonFile(),
         {"parse version: 2", "local: 127.0.0.1 port: " + std::to_string(peer.port()),
          "local: 127.0.0.1 port: 0", "_commData linestatus isValid: 1",
          "data->_checkOnlineTime100"},
         idRange(kFirstMoldID, kMoldCount)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lines.back());
        vextest::StdoutCapture capture;
        configure(row.file);
        EXPECT_EQ(capture.lines(), row.lines);
        EXPECT_EQ(storage()->moldSetIDList(), row.moldSetIDs);
    }
    nextRow();
    vextest::StdoutCapture capture;
    source->start();
    ASSERT_TRUE(vextest::waitUntil([&] { return source->isFinished(); }, kDeadline));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"You Should Call setCommonFile At First"});
    EXPECT_EQ(source->lineStatus(), 0);
}

// Replies and polls use the configuration, the mold block and the trigger list while the host
// loads a new configuration and downloads a block of its own; run with the thread sanitizer.
TEST_F(HostTest, ReconfiguringWhileRepliesAreHandled)
{
    CommonFile file;
    // A cycle time below 3 makes the poll run on every turn of the worker's loop.
    file.cycleTime = 1;
    configure(file);
    const auto block =
        fromJson<Orrery::CvexParseMoldBlock>(R"({"Type": 1, "DataIDList": [2001, 2002]})");
    const auto datagram = [](const std::string& bytes) {
        return CvexByteArray(bytes.data(), static_cast<int>(bytes.size()));
    };
    const CvexByteArray replies[] = {
        datagram(reply::moldSetAck(50)), datagram(reply::moldSetStatus(kMoldCount)),
        datagram(reply::triggerAck(1)), datagram(reply::lineStatus(1))};
    std::atomic<bool> reconfiguring{true};
    std::thread worker([&] {
        while (reconfiguring) {
            for (const CvexByteArray& reply : replies)
                source->receiveData(reply);
        }
    });
    for (int i = 0; i < 20; ++i) {
        configure(file);
        source->downloadMoldSet(block);
    }
    reconfiguring = false;
    worker.join();
    // The host's block came last: its two IDs are what the PLC must hold.
    source->receiveData(datagram(reply::moldSetStatus(2)));
    EXPECT_EQ(source->lineStatus(), 3);
}

// Queued commands leave one at a time, a millisecond apart. Windows' default timer tick of
// 15.6 ms would stretch every pause unless the source raises the timer resolution.
TEST_F(HostTest, QueuedCommandsLeaveAboutAMillisecondApart)
{
    constexpr size_t kCommands = 40;
    storage()->addItem(42, "speed", 4, CvexVariant(1000));
    bringOnline(false);
    for (size_t i = 0; i < kCommands; ++i)
        ASSERT_EQ(source->uploadParam(42u), 0);
    ASSERT_TRUE(peer.waitForCount(2, kCommands, kDeadline));

    const std::vector<vexsim::Datagram> uploads = peer.received(2);
    std::vector<double> gapsMs;
    for (size_t i = 1; i < uploads.size(); ++i)
        gapsMs.push_back(
            std::chrono::duration<double, std::milli>(uploads[i].at - uploads[i - 1].at).count());
    // Single gaps are blurred by when the peer's thread gets to read, and a line status poll may
    // take a turn: the median is the pacing. The bounds leave room for a loaded machine (wine on
    // two busy cores measures 0.6 to 8.5 ms); a 15.6 ms tick puts every pause above 15 ms.
    std::nth_element(gapsMs.begin(), gapsMs.begin() + gapsMs.size() / 2, gapsMs.end());
    const double medianMs = gapsMs[gapsMs.size() / 2];
    RecordProperty("median_gap_us", static_cast<int>(medianMs * 1000));
    EXPECT_GE(medianMs, 0.5);
    EXPECT_LE(medianMs, 12.0);
}

} // namespace
} // namespace plccommontest
