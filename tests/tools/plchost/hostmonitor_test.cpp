// SPDX-License-Identifier: MIT
#include "hostmonitor.h"

#include "childprocess.h"
#include "itemdictionary.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

namespace {

using Orrery::CvexVariant;
using Lines = std::vector<std::string>;

Orrery::CvexAbstractDataStorage& storage()
{
    return *Orrery::CvexDBStorageFactory::instance()->get(2);
}

Orrery::CvexAbstractControlData& controlData(int type)
{
    return *Orrery::CvexControlDataFactory::instance()->get(type);
}

Orrery::tagCurveData record(double first)
{
    return {{first, first + 1, first + 2, first + 3}, 0, 0, 0};
}

void clearAll()
{
    storage().clear();
    for (int type = 0; type < 3; ++type)
        controlData(type).clear();
}

// The monitor sees the source only through the stand-ins; the tests write into them what the
// source would have written and check what the host reports.
class HostMonitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        clearAll();
        vextest::TempFile file(R"([
          {"ID": 1001, "Name": "Nozzle temperature", "DataType": 7, "Value": 240.0},
          {"ID": 1002, "Name": "Screw speed", "DataType": 3, "Value": 120},
          {"ID": 4001, "Name": "Cycle", "DataType": 8, "ValueT": 9, "Value": 28.5},
          {"ID": 4002, "Name": "Count", "DataType": 6, "ValueT": 4, "Value": 7},
          {"ID": 4101, "Name": "Rejects", "DataType": 5, "ValueT": 3, "Value": 0},
          {"ID": 5001, "Name": "Pressure", "DataType": 8, "ValueT": 9}
        ])");
        ASSERT_TRUE(_items.load(file.path()));
        _items.fillStorage(storage());
        _plan.sourceIP = _plan.hostIP = "127.0.0.1";
        _plan.sourcePort = 30001;
        _plan.hostPort = 30002;
        _plan.lineCycleTime = 3000;
        _plan.actualIDs = {1001, 1002};
        for (unsigned int id = 2001; id <= 2120; ++id)
            _plan.moldBlockIDs.push_back(id);
        _plan.triggers = {{2, {4001, 4002}}, {5, {4101}}, {101, {5001, 5002, 5003, 5004}}};
    }
    void TearDown() override { clearAll(); }

    plchost::ItemDictionary _items;
    plchost::HostPlan _plan;
    vextest::TempFolder _folder;
};

TEST_F(HostMonitorTest, LinkChangesAreReportedOnceWithTheirMeaning)
{
    plchost::HostMonitor monitor(_plan, _items, _folder.path());
    EXPECT_EQ(monitor.poll(0, 0.0), Lines{"link state 0: offline (no datagram from 127.0.0.1:30002 "
                                          "for 3000 ms, or not heard from yet)"});
    EXPECT_TRUE(monitor.poll(0, 0.1).empty());
    EXPECT_EQ(monitor.poll(1, 0.5), Lines{"link state 1: mold set download requested: sending mold "
                                          "block 1 (120 IDs in 3 packs)"});
    EXPECT_EQ(monitor.poll(3, 1.3), Lines{"link state 3: online after 1.3 s: mold set confirmed, "
                                          "actual values subscribed, triggers being sent"});
    EXPECT_EQ(monitor.poll(2, 1.5),
              Lines{"link state 2: mold set download pending or under way at the PLC"});
    EXPECT_EQ(monitor.poll(3, 1.8), Lines{"link state 3: online again at 1.8 s"});
    EXPECT_EQ(monitor.poll(65535, 2.0),
              Lines{"link state 65535: version mismatch: the PLC refuses protocol version 0"});
    EXPECT_EQ(monitor.summary()[1], "link: final state 65535 (version mismatch); reached state 3 "
                                    "after 1.3 s; states seen 0 -> 1 -> 3 -> 2 -> 3 -> 65535");
}

TEST_F(HostMonitorTest, StoredValuesAlarmsAndMonitoringPacketsBecomeEvents)
{
    plchost::HostMonitor monitor(_plan, _items, _folder.path());
    monitor.poll(3, 0.0);
    storage().setValue(1001, CvexVariant(241.5));
    storage().setValue(4001, CvexVariant(29.5));
    storage().setValue(4002, CvexVariant(8u));
    controlData(1).addMoniLog();
    controlData(0).addErrorLog(1000, 1, 3);
    EXPECT_EQ(monitor.poll(3, 0.2),
              (Lines{"actual values flowing after 0.2 s (2 IDs subscribed)",
                     "triggered data group 2 stored and confirmed: Cycle=29.5; Count=8",
                     "alarm 1000 (alarm byte 3) logged and answered"}));

    // Two monitoring packets between polls, one with the same values: both are counted.
    controlData(1).addMoniLog();
    controlData(1).addMoniLog();
    storage().setValue(4101, CvexVariant(1));
    EXPECT_EQ(monitor.poll(3, 0.4),
              (Lines{"triggered data group 2 (2 packets) stored and confirmed: Cycle=29.5; Count=8",
                     "triggered data group 5 stored and confirmed: Rejects=1"}));
    EXPECT_TRUE(monitor.poll(3, 0.6).empty());

    const auto& view = monitor.view();
    EXPECT_EQ(view.actuals[0].changes, 1u);
    EXPECT_DOUBLE_EQ(view.actuals[0].changedAt, 0.2);
    EXPECT_EQ(view.actuals[1].changes, 0u);
    const auto summary = monitor.summary();
    EXPECT_EQ(summary[2], "actual values: 1 of 2 IDs received, 1 values stored");
    EXPECT_EQ(summary[3], "triggered data stored and confirmed: group 2: 3 packets; group 5: 1 "
                          "update; group 101: 0 curves saved");
    EXPECT_EQ(summary[4], "alarms logged and answered: 1");
}

TEST_F(HostMonitorTest, AValueThatArrivesUnchangedStillCountsAndMoldSetValuesStay)
{
    _plan.actualIDs = {1001, 2001}; // 2001 is also a mold set ID, which the source sends
    storage().setValue(2001, CvexVariant(21222));
    plchost::HostMonitor monitor(_plan, _items, _folder.path());
    EXPECT_TRUE(monitor.view().actuals[0].value.isNull()) << "not received yet";
    EXPECT_TRUE(storage().value(1001).isNull());
    EXPECT_EQ(storage().value(2001), CvexVariant(21222));

    storage().setValue(1001, CvexVariant(240.0)); // the dictionary's value, sent by the PLC
    monitor.poll(3, 0.2);
    storage().setValue(1001, CvexVariant(240.0)); // the same value again, a cycle later
    monitor.poll(3, 0.4);
    monitor.poll(3, 0.6); // nothing came
    const auto& row = monitor.view().actuals[0];
    EXPECT_EQ(row.changes, 2u);
    EXPECT_DOUBLE_EQ(row.changedAt, 0.4);
    EXPECT_EQ(row.value, CvexVariant(240.0));
    EXPECT_EQ(storage().value(2001), CvexVariant(21222)) << "a mold set value was taken away";

    // A data group whose values repeat is still seen for each packet.
    storage().setValue(4101, CvexVariant(0));
    EXPECT_EQ(monitor.poll(3, 0.8),
              Lines{"triggered data group 5 stored and confirmed: Rejects=0"});
    storage().setValue(4101, CvexVariant(0));
    EXPECT_EQ(monitor.poll(3, 1.0).size(), 1u);
    EXPECT_EQ(monitor.view().groups[1].packets, 2u);
}

TEST_F(HostMonitorTest, EventsTellTriggerAnswersAndMoldSetProgress)
{
    using Orrery::CvexPlcEvent;
    auto event = [](CvexPlcEvent::Kind kind, int code, long long value) {
        return CvexPlcEvent{kind, 0, code, value, ""};
    };
    plchost::HostMonitor monitor(_plan, _items, _folder.path());
    monitor.poll(3, 0.5);
    EXPECT_EQ(plchost::HostMonitor::answerText(monitor.view().groups[1]), "no data yet");
    EXPECT_EQ(monitor.noteEvents({event(CvexPlcEvent::MoldSetPackAcknowledged, 3, 2),
                                  event(CvexPlcEvent::TriggerAcknowledged, 2, 1),
                                  event(CvexPlcEvent::TriggerRefused, 5, 0xFFDE),
                                  event(CvexPlcEvent::TriggerAcknowledged, 5, 2),
                                  event(CvexPlcEvent::TriggerRefused, 9, 0x1234)}),
              (Lines{"trigger group 5 acknowledged with an error: data request error",
                     "trigger group 9 acknowledged with an error: status 0x1234"}));
    EXPECT_EQ(monitor.view().moldPacksAcknowledged, 2u);
    EXPECT_EQ(monitor.view().moldPacksTotal, 3u);
    EXPECT_EQ(plchost::HostMonitor::answerText(monitor.view().groups[0]), "acknowledged");
    EXPECT_EQ(plchost::HostMonitor::answerText(monitor.view().groups[1]), "data request error");
    EXPECT_EQ(monitor.summary()[3], "triggered data stored and confirmed: group 2: 0 packets "
                                    "(acknowledged); group 5: 0 updates (data request error); "
                                    "group 101: 0 curves saved");
}

TEST_F(HostMonitorTest, SavedCurvesAreWrittenAsTheyAppearAndOpenOnesAreNot)
{
    plchost::HostMonitor monitor(_plan, _items, _folder.path());
    monitor.poll(3, 0.0);
    for (double first : {1.0, 5.0, 9.0})
        controlData(2).addCurveLog(1, record(first));
    controlData(2).saveCurveLog(1);
    controlData(2).addCurveLog(1, record(20)); // the next curve, still open
    const std::string csv = _folder.path() + "/curve1-001.csv";
    const std::string svg = _folder.path() + "/curve1-001.svg";
    EXPECT_EQ(monitor.poll(3, 0.5), Lines{"curve 1 saved (#1, 3 records): " + csv + ", " + svg});
    EXPECT_EQ(vextest::readFile(csv), "record,Pressure,ID 5002,ID 5003,ID 5004\n"
                                      "0,1,2,3,4\n1,5,6,7,8\n2,9,10,11,12\n");
    EXPECT_TRUE(monitor.poll(3, 0.7).empty());

    controlData(2).saveCurveLog(1);
    const auto events = monitor.poll(3, 0.9);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("curve 1 saved (#2, 1 records): ", 0), 0u) << events[0];
    EXPECT_EQ(monitor.summary()[5], "curves saved: 2");
    EXPECT_EQ(monitor.view().groups[2].packets, 2u);
    EXPECT_EQ(monitor.summary()[6], "files written: 4");
}

TEST_F(HostMonitorTest, ACurveThatCannotBeWrittenIsReportedNotLost)
{
    plchost::HostMonitor monitor(_plan, _items, "/nonexistent/folder");
    controlData(2).addCurveLog(1, record(1));
    controlData(2).saveCurveLog(1);
    EXPECT_EQ(monitor.poll(3, 0.1).back(),
              "curve 1 saved but not written: cannot write /nonexistent/folder/curve1-001.csv: No "
              "such file or directory");
    EXPECT_EQ(monitor.summary()[6], "files written: 0, 1 failed");
}

} // namespace
