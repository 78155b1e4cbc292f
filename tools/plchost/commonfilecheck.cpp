// SPDX-License-Identifier: MIT
#include "commonfilecheck.h"

#include "hostplan.h"
#include "itemdictionary.h"
#include "jsonfile.h"
#include "vexparseplccommon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>

namespace plchost {

using vextools::JsonFile;

namespace {

std::string endpointText(const EndpointFacts& endpoint)
{
    if (!endpoint.present)
        return "missing";
    return (endpoint.ip.empty() ? std::string("(no IP)") : endpoint.ip) + ":" +
           std::to_string(endpoint.port);
}

std::string plural(size_t n, const std::string& one, const std::string& many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Up to this many IDs of one kind of problem are reported one by one.
constexpr size_t kNamedOneByOne = 3;

std::string section(int index)
{
    return "section " + std::to_string(index);
}

// Whether `ip` is an address of this machine: binding it with a port the system picks fails with
// EADDRNOTAVAIL otherwise. The port itself is left alone, so this cannot race with the source.
bool isLocalAddress(const std::string& ip)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        return true; // not an address at all: the walk names that
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return true;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
                       errno != EADDRNOTAVAIL;
    ::close(fd);
    return bound;
}

} // namespace

CommonFileCheck::CommonFileCheck(std::string path) : _path(std::move(path)) {}

CommonFileCheck::~CommonFileCheck() = default;

bool CommonFileCheck::run()
{
    _problems.clear();
    JsonFile file;
    _readable = file.load(_path);
    if (!_readable) {
        _problems.push_back({Problem::Error, "", file.error()});
    } else {
        _walk.walk(file.document());
        _problems = _walk.problems();
    }
    askLibrary();
    return _usable;
}

void CommonFileCheck::askLibrary()
{
    _config = std::make_unique<Orrery::CvexParsePlcCommon>(_path);
    const Orrery::CvexParsePlcCommon& config = *_config;
    std::vector<std::string> refusals;
    if (!config.isValid()) {
        refusals.push_back("the library rejects the file as a whole");
    } else {
        const auto protocol = config.protocol();
        if (!protocol.isValid() || !protocol.source().isValid() || !protocol.host().isValid())
            refusals.push_back("the library has no valid \"Src\" and \"Host\" endpoints");
        if (!config.lineStatus().isValid())
            refusals.push_back("the library has no valid line status section");
        const auto moldSet = config.moldSet();
        const auto blocks = moldSet.moldList();
        const auto first = blocks.find(1);
        if (!moldSet.isValid() || first == blocks.end() || !first->second.isValid() ||
            !first->second.dataIDSet().isValid())
            refusals.push_back("the library has no valid mold block 1");
    }
    if (refusals.empty())
        checkEndpoints(HostPlan::fromConfig(config));
    const bool explained = errorCount() > 0;
    if (!explained) {
        // The walk mirrors the library's rules; if it found nothing, still say what was refused.
        for (const std::string& refusal : refusals)
            _problems.push_back({Problem::Error, "", refusal});
    }
    _usable = refusals.empty() && errorCount() == 0;
}

void CommonFileCheck::checkEndpoints(const HostPlan& plan)
{
    const std::string source = plan.sourceIP + ":" + std::to_string(plan.sourcePort);
    if (plan.sourceIP == plan.hostIP && plan.sourcePort == plan.hostPort)
        _problems.push_back({Problem::Error, "\"Src\"",
                             source + " is also the \"Host\" endpoint: the source would talk to "
                                      "itself, not to the PLC"});
    if (!isLocalAddress(plan.sourceIP))
        _problems.push_back({Problem::Error, "\"Src\"",
                             "\"IP\" " + plan.sourceIP +
                                 " is not an address of this machine: the source cannot bind it"});
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
            _problems.push_back({severity, where,
                                 std::to_string(ids.size()) + " " + many + ": " +
                                     CommonFileWalk::describeIDs(ids)});
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
    if (_readable)
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
    const ProtocolFacts& protocol = _walk.protocol();
    if (protocol.section != 0) {
        out << "  Protocol (" << section(protocol.section) << "): version " << protocol.version
            << ", private word " << protocol.priv << "\n";
        out << "    Src  (this host): " << endpointText(protocol.source) << "\n";
        out << "    Host (the PLC):   " << endpointText(protocol.host) << "\n";
    } else {
        out << "  Protocol: missing\n";
    }
    const LineStatusFacts& line = _walk.lineStatus();
    if (line.section != 0) {
        out << "  Line status (" << section(line.section) << "): cycle time " << line.cycleTime
            << " ms: a request every " << line.cycleTime / 3 << " ms, offline after "
            << line.cycleTime << " ms without a datagram\n";
    } else {
        out << "  Line status: missing\n";
    }
    const ActualFacts& actual = _walk.actual();
    if (actual.section != 0) {
        out << "  Actual values (" << section(actual.section) << "): cycle time "
            << actual.cycleTime << " ms, " << plural(actual.ids.size(), "ID", "IDs") << " ("
            << CommonFileWalk::describeIDs(actual.ids) << ")\n";
    } else {
        out << "  Actual values: missing\n";
    }
    const MoldSetFacts& mold = _walk.moldSet();
    if (mold.section != 0) {
        out << "  Mold set (" << section(mold.section)
            << "): " << plural(mold.blocks.size(), "block", "blocks") << "\n";
        for (const MoldBlockFacts& block : mold.blocks) {
            out << "    block " << block.type << ": " << plural(block.ids.size(), "ID", "IDs")
                << " (" << CommonFileWalk::describeIDs(block.ids) << ")";
            if (block.type == 1)
                out << ", sent at start-up in " << (block.ids.size() + 49) / 50
                    << " pack(s) of at most 50";
            out << "\n";
        }
    } else {
        out << "  Mold set: missing\n";
    }
    const auto& triggers = _walk.triggers();
    out << "  Triggers: " << triggers.size();
    out << (triggers.empty() ? "\n" : ", sent one by one once the mold set is confirmed\n");
    for (const TriggerFacts& trigger : triggers) {
        out << "    group " << trigger.groupID;
        if (trigger.groupID >= 100)
            out << " (curve " << trigger.groupID - 100 << ")";
        else if (trigger.groupID == 2)
            out << " (monitoring)";
        out << " (" << section(trigger.section)
            << "): " << plural(trigger.ids.size(), "data ID", "data IDs") << " ("
            << CommonFileWalk::describeIDs(trigger.ids) << "), parameter sets start "
            << trigger.parameterSets[0] << " / send " << trigger.parameterSets[1] << " / stop "
            << trigger.parameterSets[2] << ", " << trigger.packetBytes << "-byte packet\n";
    }
}

} // namespace plchost
