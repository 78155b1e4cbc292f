// SPDX-License-Identifier: MIT
#include "commonfilecheck.h"

#include "datatypes.h"
#include "hostplan.h"
#include "itemdictionary.h"
#include "jsonfile.h"
#include "vexparseplccommon.h"
#include "vexplctriggerprotocol.h"

#include "toolsocket.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>

namespace plchost {

using vextools::JsonFile;
using namespace Orrery;

namespace {

std::string plural(size_t n, const std::string& one, const std::string& many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string endpointText(const CvexParseProtocolData& endpoint)
{
    return endpoint.isValid() ? endpoint.ip() + ":" + std::to_string(endpoint.port()) : "missing";
}

// Up to this many IDs of one kind of problem are reported one by one.
constexpr size_t kNamedOneByOne = 3;
// The PLC answers an actual-value subscription for at most this many IDs.
constexpr size_t kMaxActualIDs = 50;
// Mold set packs carry at most this many records.
constexpr size_t kPackRecords = 50;
constexpr unsigned int kMax16 = 0xFFFFu;

bool isDottedIPv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// Whether `ip` is an address of this machine: binding it with a port the system picks fails with
// EADDRNOTAVAIL otherwise. The port itself is left alone, so this cannot race with the source.
bool isLocalAddress(const std::string& ip)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        return true; // not an address at all: reported on its own
    vextool::startSockets();
    const vextool::Socket fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == vextool::kNoSocket)
        return true;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
                       !vextool::addressNotAvailable();
    vextool::closeSocket(fd);
    return bound;
}

std::string triggerName(const CvexParseTrigger& trigger)
{
    return "trigger group " + std::to_string(trigger.groupID());
}

} // namespace

CommonFileCheck::CommonFileCheck(std::string path) : _path(std::move(path)) {}

CommonFileCheck::~CommonFileCheck() = default;

void CommonFileCheck::error(const std::string& where, const std::string& what)
{
    _problems.push_back({Problem::Error, where, what});
}

void CommonFileCheck::warning(const std::string& where, const std::string& what)
{
    _problems.push_back({Problem::Warning, where, what});
}

bool CommonFileCheck::run()
{
    _problems.clear();
    _config.reset();
    // The tools' own reader words an unreadable file or a syntax error with line and column.
    JsonFile file;
    _readable = file.load(_path);
    if (!_readable) {
        error("", file.error());
    } else {
        _config = std::make_unique<CvexParsePlcCommon>(_path);
        checkRecords();
    }
    _usable = errorCount() == 0;
    return _usable;
}

void CommonFileCheck::checkRecords()
{
    if (!_config->isValid()) {
        error("", "the library refuses the file as a whole (its parser's notes above say where)");
        return;
    }
    checkProtocol();
    checkLineStatus();
    checkActual();
    checkMoldSet();
    checkTriggers();
}

void CommonFileCheck::checkProtocol()
{
    const CvexParseProtocol protocol = _config->protocol();
    if (!protocol.isValid()) {
        error("", "no usable protocol section ({\"Protocol\": {...}}): the source has no "
                  "endpoints and sets up no socket");
        return;
    }
    bool endpointsUsable = true;
    for (const bool isHost : {false, true}) {
        const CvexParseProtocolData endpoint = isHost ? protocol.host() : protocol.source();
        const std::string where = isHost ? "protocol, \"Host\"" : "protocol, \"Src\"";
        if (!endpoint.isValid()) {
            error(where, std::string("no usable endpoint (") +
                             (isHost ? "the PLC's address" : "this host's own address") +
                             "): the source sets up no socket and never talks to the PLC");
            endpointsUsable = false;
            continue;
        }
        if (!isDottedIPv4(endpoint.ip())) {
            error(where, "\"IP\" \"" + endpoint.ip() + "\" is not a dotted IPv4 address");
            endpointsUsable = false;
        }
        const unsigned int port = endpoint.port();
        if (port > kMax16)
            error(where, "\"Port\" " + std::to_string(port) +
                             " is above 65535; the library would use its low 16 bits, " +
                             std::to_string(port & kMax16));
        else if (port == 0 && isHost)
            error(where, "\"Port\" 0 cannot be the PLC's port");
        else if (port == 0)
            warning(where, "\"Port\" 0 lets the system pick a port, which the PLC cannot know");
    }
    if (endpointsUsable)
        checkEndpoints(HostPlan::fromConfig(*_config));
}

void CommonFileCheck::checkEndpoints(const HostPlan& plan)
{
    const std::string source = plan.sourceIP + ":" + std::to_string(plan.sourcePort);
    if (plan.sourceIP == plan.hostIP && plan.sourcePort == plan.hostPort)
        error("\"Src\"", source + " is also the \"Host\" endpoint: the source would talk to "
                                  "itself, not to the PLC");
    if (!isLocalAddress(plan.sourceIP))
        error("\"Src\"", "\"IP\" " + plan.sourceIP +
                             " is not an address of this machine: the source cannot bind it");
}

void CommonFileCheck::checkLineStatus()
{
    const CvexParseLineStatus line = _config->lineStatus();
    if (!line.isValid())
        error("", "no usable line status section (\"Type\" ID 7): no line status request is "
                  "ever sent, so the PLC never asks for the mold set and the link never comes up");
    else if (line.cycleTime() < 3)
        error("line status", "\"CycleTime\" " + std::to_string(line.cycleTime()) +
                                 " ms gives a line status request period of 0 ms");
}

void CommonFileCheck::checkActual()
{
    const CvexParseActual actual = _config->actual();
    const std::vector<unsigned int> ids = actual.dataIDSet().array();
    if (!actual.isValid() || !actual.dataIDSet().isValid()) {
        warning("", "no usable actual value section (\"Type\" ID 1 with a \"DataIDList\"): no "
                    "actual values are requested");
        return;
    }
    if (actual.cycleTime() > kMax16)
        warning("actual values",
                "\"CycleTime\" " + std::to_string(actual.cycleTime()) +
                    " travels cut to 16 bits: " + std::to_string(actual.cycleTime() & kMax16));
    if (ids.size() > kMaxActualIDs)
        warning("actual values", "\"DataIDList\" holds " + std::to_string(ids.size()) +
                                     " IDs; only the first 50 are requested and every reply is "
                                     "reported as \"Actual Update MayBe Failed\"");
    checkDuplicates("actual values", ids);
}

void CommonFileCheck::checkMoldSet()
{
    const CvexParseMoldSet moldSet = _config->moldSet();
    const auto blocks = moldSet.moldList();
    const auto first = blocks.find(1);
    if (!moldSet.isValid() || first == blocks.end() || !first->second.isValid() ||
        !first->second.dataIDSet().isValid())
        error("", "no usable mold block with \"Type\" 1, the block downloaded at start-up; the "
                  "link never reaches state 3");
    for (const auto& [type, block] : blocks) {
        const std::string where = "mold block " + std::to_string(type);
        const std::vector<unsigned int> ids = block.dataIDSet().array();
        checkDuplicates(where, ids);
        const std::vector<unsigned int> types = block.dataTypeSet().array();
        for (size_t i = 0; i < types.size(); ++i) {
            if (!DataTypes::isCode(types[i]))
                error(where, "\"DataTypeList\" entry " + std::to_string(i + 1) + " is " +
                                 std::to_string(types[i]) +
                                 ", not a data type code (1 to 9): the PLC cannot read its value");
        }
        const std::pair<const char*, size_t> lists[] = {
            {"DataTypeList", types.size()},
            {"DataStateList", block.dataStateSet().array().size()},
            {"DataValueList", block.dataValueSet().array().size()}};
        for (const auto& [key, size] : lists) {
            if (size != 0 && !ids.empty() && size != ids.size())
                warning(where, "\"" + std::string(key) + "\" has " + std::to_string(size) +
                                   " entries for " + std::to_string(ids.size()) + " IDs");
        }
    }
}

void CommonFileCheck::checkTriggers()
{
    std::set<unsigned int> groups;
    for (const CvexParseTrigger& trigger : _config->triggers()) {
        const std::string where = triggerName(trigger);
        if (trigger.groupID() > kMax16)
            error(where, "\"GroupID\" " + std::to_string(trigger.groupID()) +
                             " is above 65535; the PLC acknowledges 16 bits only, so this "
                             "definition would be sent again forever");
        else if (!groups.insert(trigger.groupID()).second)
            warning(where, "is defined twice; the PLC's acknowledgements cannot tell the two "
                           "apart");
        const std::pair<const char*, unsigned int> fields[] = {
            {"OutTime", trigger.outTime()},
            {"DelayTime", trigger.delayTime()},
            {"SendCount", trigger.sendCount()},
            {"DataIDFlag", trigger.dataIDFlag()}};
        for (const auto& [key, value] : fields) {
            if (value > kMax16)
                warning(where, "\"" + std::string(key) + "\" " + std::to_string(value) +
                                   " travels cut to 16 bits: " + std::to_string(value & kMax16));
        }
        checkConditionTypes(where, "StartTrigger", trigger.startTrigger());
        checkConditionTypes(where, "SendTrigger", trigger.sendTrigger());
        checkConditionTypes(where, "StopTrigger", trigger.stopTrigger());
        checkDuplicates(where, trigger.dataIDSet().array());
        const long long size = CvexPlcTriggerProtocol::definitionSize(trigger);
        if (size > CvexPlcTriggerProtocol::PayloadAreaSize)
            error(where, "the definition would take " + std::to_string(size) +
                             " bytes, more than the 1460 of one datagram; it is never sent and "
                             "the trigger download stops here");
    }
}

void CommonFileCheck::checkConditionTypes(const std::string& where, const char* phase,
                                          const CvexParseTriggerFeature& feature)
{
    const std::vector<CvexParseTriggerParamSet> sets = feature.triggerParams();
    for (size_t set = 0; set < sets.size(); ++set) {
        for (const CvexParseTriggerCondition& condition : sets[set].conditions()) {
            const unsigned int type = condition.type();
            // The type travels in 16 bits, and 0 is what a condition without "Type" holds.
            if (type == 0 || type > kMax16)
                error(where + ", \"" + phase + "\" set " + std::to_string(set + 1),
                      "condition type " + std::to_string(type) +
                          " is not a condition type (1 to 65535)");
        }
    }
}

void CommonFileCheck::checkDuplicates(const std::string& where,
                                      const std::vector<unsigned int>& ids)
{
    std::set<unsigned int> seen;
    std::vector<unsigned int> repeated;
    for (const unsigned int id : ids) {
        if (!seen.insert(id).second)
            repeated.push_back(id);
    }
    if (!repeated.empty())
        warning(where, "\"DataIDList\" names " + plural(repeated.size(), "ID", "IDs") +
                           " more than once: " + describeIDs(repeated));
}

bool CommonFileCheck::checkItems(const ItemDictionary& items)
{
    if (!_config || !_config->isValid())
        return _usable;
    const HostPlan plan = HostPlan::fromConfig(*_config);
    const std::string where = items.path().empty() ? "items" : items.path();
    // A few IDs are named one by one; more of the same kind make one line with their ranges.
    auto report = [&](Problem::Severity severity, const std::vector<unsigned int>& ids,
                      const std::function<std::string(unsigned int)>& one,
                      const std::string& many) {
        if (ids.size() <= kNamedOneByOne) {
            for (const unsigned int id : ids)
                _problems.push_back({severity, where, one(id)});
        } else {
            _problems.push_back(
                {severity, where,
                 std::to_string(ids.size()) + " " + many + ": " + describeIDs(ids)});
        }
    };
    std::vector<unsigned int> unknown;
    std::vector<unsigned int> valueless;
    for (const unsigned int id : plan.allMoldIDs) {
        const Item* item = items.find(id);
        if (!item)
            unknown.push_back(id);
        else if (item->value.isNull())
            valueless.push_back(id);
    }
    report(
        Problem::Error, unknown,
        [](unsigned int id) {
            return "mold set ID " + std::to_string(id) +
                   " is not in the item dictionary: its pack would be sent again forever";
        },
        "mold set IDs are not in the item dictionary, so their packs would be sent again "
        "forever");
    report(
        Problem::Error, valueless,
        [&](unsigned int id) {
            return "mold set ID " + std::to_string(id) + " (" + items.find(id)->name +
                   ") has no \"Value\": its pack would be sent again forever";
        },
        "mold set IDs have no \"Value\" in the item dictionary, so their packs would be sent "
        "again forever");
    for (const TriggerGroup& group : plan.triggers) {
        if (group.isCurve())
            continue;
        std::vector<unsigned int> unread;
        for (const unsigned int id : group.ids) {
            const Item* item = items.find(id);
            if (!item || item->valueType == 0)
                unread.push_back(id);
        }
        report(
            Problem::Warning, unread,
            [&](unsigned int id) {
                return "ID " + std::to_string(id) + " of trigger group " +
                       std::to_string(group.groupID) +
                       (items.find(id) ? " has no \"ValueT\"" : " is not in the item dictionary") +
                       ": its triggered values are not stored";
            },
            "IDs of trigger group " + std::to_string(group.groupID) +
                " are not in the item dictionary or have no \"ValueT\", so their triggered "
                "values are not stored");
    }
    checkItemTypes(items, where);
    std::vector<unsigned int> unnamed;
    for (const unsigned int id : plan.actualIDs) {
        if (!items.find(id))
            unnamed.push_back(id);
    }
    report(
        Problem::Warning, unnamed,
        [](unsigned int id) {
            return "actual ID " + std::to_string(id) +
                   " is not in the item dictionary and is shown by number";
        },
        "actual IDs are not in the item dictionary and are shown by number");
    _usable = _usable && errorCount() == 0;
    return _usable;
}

void CommonFileCheck::checkItemTypes(const ItemDictionary& items, const std::string& where)
{
    for (const auto& [type, block] : _config->moldSet().moldList()) {
        const std::vector<unsigned int> ids = block.dataIDSet().array();
        const std::vector<unsigned int> types = block.dataTypeSet().array();
        for (size_t i = 0; i < std::min(ids.size(), types.size()); ++i) {
            const Item* item = items.find(ids[i]);
            if (item && item->dataType != types[i])
                error(where, "ID " + std::to_string(ids[i]) + " (" + item->name +
                                 ") has data type " + std::to_string(item->dataType) +
                                 ", but \"DataTypeList\" of mold block " + std::to_string(type) +
                                 " gives " + std::to_string(types[i]));
        }
    }
}

int CommonFileCheck::errorCount() const
{
    return static_cast<int>(std::count_if(_problems.begin(), _problems.end(), [](const Problem& p) {
        return p.severity == Problem::Error;
    }));
}

int CommonFileCheck::warningCount() const
{
    return static_cast<int>(_problems.size()) - errorCount();
}

void CommonFileCheck::printReport(std::ostream& out) const
{
    out << "Common file " << _path << "\n";
    if (_config && _config->isValid())
        printSections(out);
    printLibraryIssues(out);
    if (_problems.empty()) {
        out << "Problems: none\n";
    } else {
        out << "Problems: " << plural(static_cast<size_t>(errorCount()), "error", "errors") << ", "
            << plural(static_cast<size_t>(warningCount()), "warning", "warnings") << "\n";
        printProblems(out, false);
    }
    out << "Verdict: " << (_usable ? "usable" : "not usable") << "\n";
}

void CommonFileCheck::printLibraryIssues(std::ostream& out) const
{
    if (!_config || _config->issues().empty())
        return;
    const std::vector<Orrery::CvexParseIssue> issues = _config->issues();
    out << "The library's parser refused or skipped " << plural(issues.size(), "value", "values")
        << ":\n";
    for (const Orrery::CvexParseIssue& issue : issues) {
        out << "  " << _path;
        if (issue.line > 0)
            out << ":" << issue.line;
        out << ": " << (issue.path.empty() ? std::string("the file") : issue.path) << ": "
            << issue.text << "\n";
    }
}

void CommonFileCheck::printProblems(std::ostream& out, bool errorsOnly) const
{
    for (const Problem& problem : _problems) {
        if (errorsOnly && problem.severity != Problem::Error)
            continue;
        out << "  " << (problem.severity == Problem::Error ? "error: " : "warning: ");
        if (!problem.where.empty())
            out << problem.where << ": ";
        out << problem.what << "\n";
    }
}

void CommonFileCheck::printSections(std::ostream& out) const
{
    const CvexParseProtocol protocol = _config->protocol();
    if (protocol.isValid()) {
        out << "  Protocol: version " << protocol.version() << ", private word " << protocol.priv()
            << "\n";
        out << "    Src  (this host): " << endpointText(protocol.source()) << "\n";
        out << "    Host (the PLC):   " << endpointText(protocol.host()) << "\n";
    } else {
        out << "  Protocol: missing\n";
    }
    const CvexParseLineStatus line = _config->lineStatus();
    if (line.isValid())
        out << "  Line status: cycle time " << line.cycleTime() << " ms: a request every "
            << line.cycleTime() / 3 << " ms, offline after " << line.cycleTime()
            << " ms without a datagram\n";
    else
        out << "  Line status: missing\n";
    const CvexParseActual actual = _config->actual();
    if (actual.isValid()) {
        const std::vector<unsigned int> ids = actual.dataIDSet().array();
        out << "  Actual values: cycle time " << actual.cycleTime() << " ms, "
            << plural(ids.size(), "ID", "IDs") << " (" << describeIDs(ids) << ")\n";
    } else {
        out << "  Actual values: missing\n";
    }
    const CvexParseMoldSet moldSet = _config->moldSet();
    const auto blocks = moldSet.moldList();
    if (moldSet.isValid())
        out << "  Mold set: " << plural(blocks.size(), "block", "blocks") << "\n";
    else
        out << "  Mold set: missing\n";
    for (const auto& [type, block] : blocks) {
        const std::vector<unsigned int> ids = block.dataIDSet().array();
        out << "    block " << type << ": " << plural(ids.size(), "ID", "IDs") << " ("
            << describeIDs(ids) << ")";
        if (type == 1)
            out << ", sent at start-up in " << (ids.size() + kPackRecords - 1) / kPackRecords
                << " pack(s) of at most " << kPackRecords;
        out << "\n";
    }
    const std::vector<CvexParseTrigger> triggers = _config->triggers();
    out << "  Triggers: " << triggers.size()
        << (triggers.empty() ? "\n" : ", sent one by one once the mold set is confirmed\n");
    for (const CvexParseTrigger& trigger : triggers) {
        const std::vector<unsigned int> ids = trigger.dataIDSet().array();
        out << "    group " << trigger.groupID();
        if (trigger.groupID() >= 100)
            out << " (curve " << trigger.groupID() - 100 << ")";
        else if (trigger.groupID() == 2)
            out << " (monitoring)";
        out << ": " << plural(ids.size(), "data ID", "data IDs") << " (" << describeIDs(ids)
            << "), parameter sets start " << trigger.startTrigger().triggerParams().size()
            << " / send " << trigger.sendTrigger().triggerParams().size() << " / stop "
            << trigger.stopTrigger().triggerParams().size() << ", "
            << CvexPlcTriggerProtocol::definitionSize(trigger) << "-byte definition\n";
    }
}

std::string CommonFileCheck::describeIDs(const std::vector<unsigned int>& ids)
{
    std::string text;
    size_t i = 0;
    while (i < ids.size()) {
        size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(ids[i]);
        if (j > i)
            text += "-" + std::to_string(ids[j]);
        i = j + 1;
    }
    return text.empty() ? "none" : text;
}

} // namespace plchost
