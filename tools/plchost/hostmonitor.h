// SPDX-License-Identifier: MIT
// Watches a running source: its line status, the events and counters it hands out, and what it
// left in the data storage and the control data (values, the error log, the monitoring log,
// saved curves). Each poll updates a view for the live screen and returns the events since the
// last poll as plain lines; saved curves are written out as they appear. Use from one thread.
#ifndef PLCHOST_HOSTMONITOR_H
#define PLCHOST_HOSTMONITOR_H

#include "curvewriter.h"
#include "hostplan.h"
#include "vexplcevent.h"
#include "vexplcstatistics.h"
#include "vexvariant.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace plchost {

class ItemDictionary;

struct ValueRow {
    unsigned int id = 0;
    std::string name;
    Orrery::CvexVariant value;
    double changedAt = -1; // seconds since the start the value last arrived; -1: not yet
    size_t changes = 0;    // values that arrived
};

// What the PLC answered to a trigger definition.
struct TriggerAnswer {
    std::string status; // the PLC's error status in words; empty when it acknowledged
    double at = -1;
};

struct GroupState {
    TriggerGroup group;
    std::vector<ValueRow> rows; // data groups only
    size_t packets = 0;         // data groups: packets stored (and so confirmed); curves: saved
    double lastAt = -1;
    TriggerAnswer answer;
};

struct AlarmEntry {
    unsigned int number = 0;
    unsigned int alarmByte = 0;
    double at = 0;
};

struct SavedCurve {
    unsigned int curve = 0;
    size_t ordinal = 0;
    size_t records = 0;
    CurveFiles files;
    double at = 0;
};

struct LinkChange {
    double at = 0;
    int state = 0;
};

struct MonitorView {
    double now = 0;
    int lineStatus = 0;
    std::vector<LinkChange> link;
    double onlineAt = -1;
    double moldRequestedAt = -1;
    double moldConfirmedAt = -1;
    size_t moldPacksAcknowledged = 0;
    size_t moldPacksTotal = 0;
    Orrery::CvexPlcStatistics statistics;
    std::vector<ValueRow> actuals;
    size_t valueChanges = 0;
    std::vector<ValueRow> arrivals; // the values that arrived in the last poll
    std::vector<GroupState> groups; // every trigger group of the file, in its order
    std::vector<AlarmEntry> alarms;
    std::vector<SavedCurve> curves;
    unsigned int monitoringLogs = 0;
    size_t filesWritten = 0;
    std::vector<std::string> fileErrors;
};

class HostMonitor {
public:
    HostMonitor(HostPlan plan, const ItemDictionary& items, std::string outputFolder);

    // Reads the stand-ins once; `now` is seconds since the source started. Values of the actual
    // and triggered IDs that are not mold set IDs are taken out of the storage as they are read,
    // so that every arrival counts, also of a value that did not change.
    std::vector<std::string> poll(int lineStatus, double now);
    // Takes in the source's events (trigger answers, mold set progress, losses); returns the
    // ones worth a line.
    std::vector<std::string> noteEvents(const std::vector<Orrery::CvexPlcEvent>& events);
    void noteStatistics(const Orrery::CvexPlcStatistics& statistics)
    {
        _view.statistics = statistics;
    }
    // Words for the status of a refused trigger definition.
    static std::string triggerStatusText(long long status);
    // Words for the trigger acknowledgement of `state`: "acknowledged", "no data yet", or
    // what the PLC refused.
    static std::string answerText(const GroupState& state);

    const MonitorView& view() const { return _view; }
    const HostPlan& plan() const { return _plan; }
    // The closing summary, one line each.
    std::vector<std::string> summary() const;

    // "online", "offline", ... for a line status code.
    static std::string linkMeaning(int state);
    // Why a link that stands at `state` is not online, naming the endpoints and the setting of
    // `commonFile` to look at.
    static std::string whyOffline(int state, const HostPlan& plan, const std::string& commonFile);

private:
    void pollLink(int lineStatus, std::vector<std::string>& events);
    void pollActuals(std::vector<std::string>& events);
    void pollGroups(std::vector<std::string>& events);
    void pollAlarms(std::vector<std::string>& events);
    void pollCurves(std::vector<std::string>& events);
    void takeArrivals();
    bool refresh(ValueRow& row);
    GroupState* groupState(unsigned int groupID);
    std::string linkEvent(int state) const;
    CurveWriter::SeriesNames seriesNames(const TriggerGroup& group) const;

    HostPlan _plan;
    const ItemDictionary& _items;
    CurveWriter _writer;
    MonitorView _view;
    bool _firstPoll = true;
    size_t _alarmsSeen = 0;
    std::vector<size_t> _curvesSeen;
    std::set<unsigned int> _taken;                         // IDs whose values are taken out
    std::map<unsigned int, Orrery::CvexVariant> _arrivals; // values taken out by this poll
};

} // namespace plchost

#endif // PLCHOST_HOSTMONITOR_H
