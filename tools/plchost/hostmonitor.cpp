// SPDX-License-Identifier: MIT
#include "hostmonitor.h"

#include "datatypes.h"
#include "itemdictionary.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"

#include <cstdio>
#include <cstdlib>

namespace plchost {

namespace {

constexpr int kOnline = 3;
constexpr unsigned int kMonitoringGroup = 2;

Orrery::CvexAbstractDataStorage& storage()
{
    return *Orrery::CvexDBStorageFactory::instance()->get(2);
}

Orrery::CvexAbstractControlData& controlData(int type)
{
    return *Orrery::CvexControlDataFactory::instance()->get(type);
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

} // namespace

HostMonitor::HostMonitor(HostPlan plan, const ItemDictionary& items, std::string outputFolder)
    : _plan(std::move(plan)), _items(items), _writer(std::move(outputFolder))
{
    // Mold set values stay in the storage: the source sends them from there.
    std::set<unsigned int> mold(_plan.allMoldIDs.begin(), _plan.allMoldIDs.end());
    mold.insert(_plan.moldBlockIDs.begin(), _plan.moldBlockIDs.end());
    auto watch = [&](unsigned int id) {
        if (mold.count(id) == 0 && _taken.insert(id).second)
            storage().setValue(id, Orrery::CvexVariant(), 1);
    };
    auto row = [&](unsigned int id) {
        return ValueRow{id, _items.label(id), storage().value(id), -1, 0};
    };
    for (const unsigned int id : _plan.actualIDs) {
        watch(id);
        _view.actuals.push_back(row(id));
    }
    for (const TriggerGroup& group : _plan.triggers) {
        GroupState state;
        state.group = group;
        if (group.isCurve()) {
            _curvesSeen.push_back(controlData(2).savedCurves(group.curve()).size());
        } else {
            for (const unsigned int id : group.ids) {
                watch(id);
                state.rows.push_back(row(id));
            }
        }
        _view.groups.push_back(state);
    }
    _alarmsSeen = controlData(0).errorLogs().size();
    _view.monitoringLogs = controlData(1).moniLogCount();
}

std::string HostMonitor::linkMeaning(int state)
{
    switch (state) {
    case 0:
        return "offline";
    case 1:
        return "mold set download requested";
    case 2:
        return "mold set download pending or under way";
    case 3:
        return "online";
    case 65535:
        return "version mismatch";
    default:
        return "unknown status";
    }
}

std::string HostMonitor::whyOffline(int state, const HostPlan& plan, const std::string& commonFile)
{
    const std::string plc = plan.hostIP + ":" + std::to_string(plan.hostPort);
    const std::string host = plan.sourceIP + ":" + std::to_string(plan.sourcePort);
    switch (state) {
    case 0:
        return "no datagram came from the PLC at " + plc + " (\"Host\" in " + commonFile +
               "); check that the PLC (or plcsim) runs there and answers to " + host + " (\"Src\")";
    case 1:
    case 2:
        return "the PLC at " + plc + " still waits for the mold set: the download of block 1 (" +
               std::to_string(plan.moldBlockIDs.size()) + " IDs) was not confirmed";
    case 65535:
        return "the PLC at " + plc + " refuses protocol version " + std::to_string(plan.version) +
               " (\"Version\" in " + commonFile + ")";
    default:
        return "the PLC at " + plc + " answered the line status request with " +
               std::to_string(state) + ", which has no meaning for the host";
    }
}

std::vector<std::string> HostMonitor::poll(int lineStatus, double now)
{
    std::vector<std::string> events;
    _view.now = now;
    _view.arrivals.clear();
    takeArrivals();
    pollLink(lineStatus, events);
    pollActuals(events);
    pollGroups(events);
    pollAlarms(events);
    pollCurves(events);
    _firstPoll = false;
    return events;
}

std::string HostMonitor::linkEvent(int state) const
{
    const std::string head = "link state " + std::to_string(state) + ": " + linkMeaning(state);
    switch (state) {
    case 0:
        return head + " (no datagram from " + _plan.hostIP + ":" + std::to_string(_plan.hostPort) +
               " for " + std::to_string(_plan.lineCycleTime) + " ms, or not heard from yet)";
    case 1:
        return head + ": sending mold block 1 (" + std::to_string(_plan.moldBlockIDs.size()) +
               " IDs in " + std::to_string((_plan.moldBlockIDs.size() + 49) / 50) + " packs)";
    case 2:
        // The source starts a download on state 2 only after the PLC had reported state 3.
        return head + " at the PLC";
    case 3:
        if (_view.onlineAt >= 0 && _view.onlineAt < _view.now)
            return head + " again at " + seconds(_view.now);
        return head + " after " + seconds(_view.now) +
               ": mold set confirmed, actual values subscribed, triggers being sent";
    case 65535:
        return head + ": the PLC refuses protocol version " + std::to_string(_plan.version);
    default:
        return head + " from the PLC";
    }
}

void HostMonitor::pollLink(int lineStatus, std::vector<std::string>& events)
{
    const bool changed = _view.link.empty() || _view.link.back().state != lineStatus;
    _view.lineStatus = lineStatus;
    if (!changed)
        return;
    const int previous = _view.link.empty() ? -1 : _view.link.back().state;
    _view.link.push_back({_view.now, lineStatus});
    if (lineStatus == 1 || lineStatus == 2)
        _view.moldRequestedAt = _view.now;
    if (lineStatus == kOnline) {
        if (_view.onlineAt < 0)
            _view.onlineAt = _view.now;
        if (previous != kOnline)
            _view.moldConfirmedAt = _view.now;
    }
    events.push_back(linkEvent(lineStatus));
}

void HostMonitor::takeArrivals()
{
    _arrivals.clear();
    for (const unsigned int id : _taken) {
        const Orrery::CvexVariant value = storage().value(id);
        if (value.isNull())
            continue;
        _arrivals[id] = value;
        storage().setValue(id, Orrery::CvexVariant(), 1);
    }
}

bool HostMonitor::refresh(ValueRow& row)
{
    Orrery::CvexVariant current;
    if (_taken.count(row.id) != 0) {
        const auto arrived = _arrivals.find(row.id);
        if (arrived == _arrivals.end())
            return false;
        current = arrived->second;
    } else {
        current = storage().value(row.id);
        if (current == row.value)
            return false;
    }
    row.value = current;
    row.changedAt = _view.now;
    ++row.changes;
    _view.arrivals.push_back(row);
    return true;
}

void HostMonitor::pollActuals(std::vector<std::string>& events)
{
    const bool flowingBefore = _view.valueChanges > 0;
    for (ValueRow& row : _view.actuals)
        _view.valueChanges += refresh(row) ? 1 : 0;
    if (!flowingBefore && _view.valueChanges > 0)
        events.push_back("actual values flowing after " + seconds(_view.now) + " (" +
                         std::to_string(_plan.actualIDs.size()) + " IDs subscribed)");
}

void HostMonitor::pollGroups(std::vector<std::string>& events)
{
    const unsigned int monitoring = controlData(1).moniLogCount();
    const unsigned int newMonitoring = monitoring - _view.monitoringLogs;
    _view.monitoringLogs = monitoring;
    for (GroupState& state : _view.groups) {
        if (state.group.isCurve())
            continue;
        bool arrived = false;
        for (ValueRow& row : state.rows)
            arrived = refresh(row) || arrived;
        // Group 2 packets are counted exactly by the monitoring log; the others by the polls
        // that found new values.
        const size_t packets = state.group.groupID == kMonitoringGroup ? newMonitoring
                               : arrived                               ? 1
                                                                       : 0;
        if (packets == 0)
            continue;
        state.packets += packets;
        state.lastAt = _view.now;
        std::string line = "triggered data group " + std::to_string(state.group.groupID);
        if (packets > 1)
            line += " (" + std::to_string(packets) + " packets)";
        line += " stored and confirmed:";
        for (const ValueRow& row : state.rows)
            line += " " + row.name + "=" + DataTypes::format(row.value) + ";";
        line.pop_back();
        events.push_back(line);
    }
}

GroupState* HostMonitor::groupState(unsigned int groupID)
{
    for (GroupState& state : _view.groups) {
        if (state.group.groupID == groupID)
            return &state;
    }
    return nullptr;
}

std::string HostMonitor::answerText(const GroupState& state)
{
    const TriggerAnswer& answer = state.answer;
    if (answer.at < 0)
        return state.packets > 0 ? "acknowledged" : "no data yet";
    return answer.status.empty() ? "acknowledged" : answer.status;
}

std::string HostMonitor::triggerStatusText(long long status)
{
    switch (status) {
    case 0xFFFF:
        return "memory overflow";
    case 0xFFDF:
        return "configure error";
    case 0xFFDE:
        return "data request error";
    default:
        char text[32];
        std::snprintf(text, sizeof text, "status 0x%04llX", status);
        return text;
    }
}

std::vector<std::string> HostMonitor::noteEvents(const std::vector<Orrery::CvexPlcEvent>& events)
{
    std::vector<std::string> lines;
    // The source counts a refused definition as answered too; the refusal is what tells.
    std::set<int> refused;
    for (const Orrery::CvexPlcEvent& event : events) {
        GroupState* state = groupState(static_cast<unsigned int>(event.code));
        switch (event.kind) {
        case Orrery::CvexPlcEvent::MoldSetPackAcknowledged:
            _view.moldPacksAcknowledged = static_cast<size_t>(event.value);
            _view.moldPacksTotal = static_cast<size_t>(event.code);
            break;
        case Orrery::CvexPlcEvent::TriggerAcknowledged:
            if (state && refused.count(event.code) == 0)
                state->answer = TriggerAnswer{"", _view.now};
            break;
        case Orrery::CvexPlcEvent::TriggerRefused:
            refused.insert(event.code);
            if (state)
                state->answer = TriggerAnswer{triggerStatusText(event.value), _view.now};
            lines.push_back("trigger group " + std::to_string(event.code) +
                            " acknowledged with an error: " + triggerStatusText(event.value));
            break;
        case Orrery::CvexPlcEvent::MoldSetRefused:
            lines.push_back("mold set refused: the PLC holds " + std::to_string(event.value) +
                            " of " + std::to_string(event.code) + " values");
            break;
        case Orrery::CvexPlcEvent::SendQueueOverflow:
        case Orrery::CvexPlcEvent::EventsDropped:
            lines.push_back(event.kind == Orrery::CvexPlcEvent::EventsDropped
                                ? std::to_string(event.value) + " library events dropped"
                                : std::to_string(event.value) + " packets dropped by a full "
                                                                "send queue");
            break;
        default:
            break;
        }
    }
    return lines;
}

void HostMonitor::pollAlarms(std::vector<std::string>& events)
{
    const auto logs = controlData(0).errorLogs();
    for (size_t i = _alarmsSeen; i < logs.size(); ++i) {
        _view.alarms.push_back({logs[i].alarmNumber, logs[i].alarmByte, _view.now});
        events.push_back("alarm " + std::to_string(logs[i].alarmNumber) + " (alarm byte " +
                         std::to_string(logs[i].alarmByte) + ") logged and answered");
    }
    _alarmsSeen = logs.size();
}

void HostMonitor::pollCurves(std::vector<std::string>& events)
{
    size_t index = 0;
    for (const TriggerGroup& group : _plan.triggers) {
        if (!group.isCurve())
            continue;
        const auto saved = controlData(2).savedCurves(group.curve());
        for (size_t ordinal = _curvesSeen[index] + 1; ordinal <= saved.size(); ++ordinal) {
            SavedCurve curve{group.curve(), ordinal, saved[ordinal - 1].size(), {}, _view.now};
            if (_writer.write(group.curve(), ordinal, saved[ordinal - 1], seriesNames(group),
                              &curve.files)) {
                _view.filesWritten += 2;
                events.push_back("curve " + std::to_string(group.curve()) + " saved (#" +
                                 std::to_string(ordinal) + ", " + std::to_string(curve.records) +
                                 " records): " + curve.files.csvPath + ", " + curve.files.svgPath);
            } else {
                _view.fileErrors.push_back(_writer.error());
                events.push_back("curve " + std::to_string(group.curve()) +
                                 " saved but not written: " + _writer.error());
            }
            _view.curves.push_back(curve);
            if (GroupState* state = groupState(group.groupID)) {
                ++state->packets;
                state->lastAt = _view.now;
            }
        }
        _curvesSeen[index] = saved.size();
        ++index;
    }
}

CurveWriter::SeriesNames HostMonitor::seriesNames(const TriggerGroup& group) const
{
    CurveWriter::SeriesNames names;
    for (size_t series = 0; series < names.size(); ++series) {
        names[series] = series < group.ids.size() ? _items.label(group.ids[series])
                                                  : "series " + std::to_string(series + 1);
    }
    return names;
}

std::vector<std::string> HostMonitor::summary() const
{
    std::vector<std::string> lines;
    lines.push_back("summary after " + seconds(_view.now));
    std::string states;
    for (const LinkChange& change : _view.link)
        states += (states.empty() ? "" : " -> ") + std::to_string(change.state);
    lines.push_back("link: final state " + std::to_string(_view.lineStatus) + " (" +
                    linkMeaning(_view.lineStatus) + "); " +
                    (_view.onlineAt >= 0 ? "reached state 3 after " + seconds(_view.onlineAt)
                                         : std::string("never reached state 3")) +
                    "; states seen " + (states.empty() ? "none" : states));
    size_t received = 0;
    for (const ValueRow& row : _view.actuals)
        received += row.changes > 0 ? 1 : 0;
    lines.push_back("actual values: " + std::to_string(received) + " of " +
                    std::to_string(_view.actuals.size()) + " IDs received, " +
                    std::to_string(_view.valueChanges) + " values stored");
    std::string groups;
    for (const GroupState& state : _view.groups) {
        const unsigned int id = state.group.groupID;
        const bool one = state.packets == 1;
        const std::string count = std::to_string(state.packets) +
                                  (state.group.isCurve() ? (one ? " curve saved" : " curves saved")
                                   : id == kMonitoringGroup ? (one ? " packet" : " packets")
                                                            : (one ? " update" : " updates"));
        groups += (groups.empty() ? "" : "; ") + std::string("group ") + std::to_string(id) + ": " +
                  count;
        if (state.answer.at >= 0)
            groups += " (" + answerText(state) + ")";
    }
    lines.push_back("triggered data stored and confirmed: " + (groups.empty() ? "none" : groups));
    lines.push_back("alarms logged and answered: " + std::to_string(_view.alarms.size()));
    lines.push_back("curves saved: " + std::to_string(_view.curves.size()));
    lines.push_back("files written: " + std::to_string(_view.filesWritten) +
                    (_view.fileErrors.empty()
                         ? std::string()
                         : ", " + std::to_string(_view.fileErrors.size()) + " failed"));
    const Orrery::CvexPlcStatistics& counts = _view.statistics;
    lines.push_back("datagrams: " + std::to_string(counts.datagramsSent) + " sent, " +
                    std::to_string(counts.datagramsReceived) + " received, " +
                    std::to_string(counts.malformedReceived) + " malformed, " +
                    std::to_string(counts.unknownReceived) + " of unknown type, " +
                    std::to_string(counts.retransmissions) + " resent, " +
                    std::to_string(counts.duplicatesIgnored) + " repeats ignored");
    return lines;
}

} // namespace plchost
