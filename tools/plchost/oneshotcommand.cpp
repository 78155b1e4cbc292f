// SPDX-License-Identifier: MIT
#include "oneshotcommand.h"

#include "commonfilecheck.h"
#include "datatypes.h"
#include "hostmonitor.h"
#include "hostplan.h"
#include "hostsession.h"
#include "librarylines.h"
#include "vexabstractcommsource.h"
#include "vexdbstoragefactory.h"
#include "vexplcevent.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <thread>

namespace plchost {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(20);
constexpr size_t kMaxParametersPerPacket = 50;

Orrery::CvexAbstractDataStorage& storage()
{
    return *Orrery::CvexDBStorageFactory::instance()->get(2);
}

bool waitFor(double seconds, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollPeriod);
    }
    return true;
}

bool parseUnsigned(const std::string& text, unsigned int* value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (!end || *end != '\0' || parsed > 0xFFFFFFFFull)
        return false;
    *value = static_cast<unsigned int>(parsed);
    return true;
}

void say(const std::string& line)
{
    std::cout << "plchost: " << line << std::endl;
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

OneShotCommand::OneShotCommand(Options options) : _options(std::move(options)) {}

int OneShotCommand::execute()
{
    // The answer is told in plchost's own words; the library's lines would only repeat it.
    LibraryLines quiet;
    CommonFileCheck check(_options.commonFile);
    if (!check.run()) {
        std::cerr << "plchost: cannot use " << _options.commonFile << ":\n";
        check.printProblems(std::cerr, true);
        return 2;
    }
    if (!_options.itemsFile.empty() && !_items.load(_options.itemsFile)) {
        for (const std::string& error : _items.errors())
            std::cerr << "plchost: " << error << "\n";
        return 2;
    }
    const bool resolved = _options.command == "upload"     ? resolveIDs(&_ids)
                          : _options.command == "download" ? resolveAssignments(&_values)
                                                           : resolveCodes(&_codes);
    if (!resolved)
        return 2;
    const HostPlan plan = HostPlan::fromConfig(*check.config());
    HostSession session;
    if (!session.start(_options.commonFile, _options.itemsFile.empty() ? nullptr : &_items)) {
        std::cerr << "plchost: " << session.error() << "\n";
        return 2;
    }
    // Until the mold set is confirmed the source drops queued requests whenever the PLC asks for
    // a fresh download, and a read-back must not clear a value the download still sends.
    if (!waitOnline(session, plan))
        return 1;
    if (_options.command == "upload")
        return upload(session);
    if (_options.command == "download")
        return download(session);
    return action(session);
}

bool OneShotCommand::resolveIDs(std::vector<unsigned int>* ids) const
{
    for (const std::string& word : _options.arguments) {
        unsigned int id = 0;
        if (const Item* item = _items.findByName(word)) {
            id = item->id;
        } else if (!parseUnsigned(word, &id)) {
            std::cerr << "plchost: \"" << word << "\" is neither a data ID nor a name in "
                      << (_options.itemsFile.empty() ? "the items (no --items given)"
                                                     : _options.itemsFile)
                      << "\n";
            return false;
        }
        ids->push_back(id);
    }
    return true;
}

bool OneShotCommand::resolveAssignments(std::map<unsigned int, Orrery::CvexVariant>* values) const
{
    for (const std::string& word : _options.arguments) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos) {
            std::cerr << "plchost: \"" << word << "\" is not NAME=VALUE or ID=VALUE\n";
            return false;
        }
        const std::string target = word.substr(0, equals);
        const std::string text = word.substr(equals + 1);
        const Item* item = _items.findByName(target);
        unsigned int id = 0;
        if (!item && parseUnsigned(target, &id))
            item = _items.find(id);
        if (!item) {
            std::cerr << "plchost: \"" << target << "\" is not an item of " << _options.itemsFile
                      << " (a download needs the item's data type)\n";
            return false;
        }
        const Orrery::CvexVariant number = DataTypes::parseNumber(text);
        if (number.isNull()) {
            std::cerr << "plchost: \"" << text << "\" in \"" << word << "\" is not a number\n";
            return false;
        }
        const Orrery::CvexVariant value = DataTypes::fitToCode(item->dataType, number);
        if (value.isNull()) {
            std::cerr << "plchost: " << text << " does not fit " << item->name << " (ID "
                      << item->id << ", data type " << item->dataType << ": "
                      << DataTypes::codeName(item->dataType) << ")\n";
            return false;
        }
        (*values)[item->id] = value;
    }
    return true;
}

bool OneShotCommand::resolveCodes(std::vector<unsigned int>* codes) const
{
    for (const std::string& word : _options.arguments) {
        unsigned int code = 0;
        if (!parseUnsigned(word, &code)) {
            std::cerr << "plchost: \"" << word
                      << "\" is not an action code (an unsigned 32-bit number)\n";
            return false;
        }
        codes->push_back(code);
    }
    return true;
}

bool OneShotCommand::waitOnline(HostSession& session, const HostPlan& plan) const
{
    // The first line status request leaves a third of the line status cycle after the start.
    const double limit = plan.lineCycleTime / 3000.0 + _options.timeout;
    if (waitFor(limit, [&] { return session.lineStatus() == 3; }))
        return true;
    const int state = session.lineStatus();
    std::cerr << "plchost: the link did not come up within " << secondsText(limit) << " (state "
              << state << ": " << HostMonitor::linkMeaning(state) << "), so nothing was sent: "
              << HostMonitor::whyOffline(state, plan, _options.commonFile) << "\n";
    return false;
}

int OneShotCommand::readBack(HostSession& session, const std::vector<unsigned int>& ids,
                             const std::map<unsigned int, Orrery::CvexVariant>* expected) const
{
    // A read reply is only visible as a value appearing, so clear the values first.
    for (const unsigned int id : ids)
        storage().setValue(id, Orrery::CvexVariant(), 1);
    for (size_t first = 0; first < ids.size(); first += kMaxParametersPerPacket) {
        const auto last =
            ids.begin() + static_cast<long>(std::min(ids.size(), first + kMaxParametersPerPacket));
        session.source().uploadParam(
            std::vector<unsigned int>(ids.begin() + static_cast<long>(first), last));
    }
    waitFor(_options.timeout, [&] {
        for (const unsigned int id : ids) {
            if (storage().value(id).isNull())
                return false;
        }
        return true;
    });
    int result = 0;
    for (const unsigned int id : ids) {
        const Orrery::CvexVariant value = storage().value(id);
        const Item* item = _items.find(id);
        const std::string label =
            item ? item->name + " (ID " + std::to_string(id) + ")" : "ID " + std::to_string(id);
        if (value.isNull()) {
            // A record the PLC marks as not valid leaves no trace in the storage either.
            std::cerr << "plchost: " << label << ": no valid value from the PLC within "
                      << secondsText(_options.timeout)
                      << " (no answer, or the PLC does not hold this ID)\n";
            result = 1;
            continue;
        }
        if (!expected) {
            say(label + " = " + DataTypes::format(value));
            continue;
        }
        const Orrery::CvexVariant wanted = expected->at(id);
        const bool same = DataTypes::format(wanted) == DataTypes::format(value);
        say(label + ": wrote " + DataTypes::format(wanted) + ", the PLC reads back " +
            DataTypes::format(value) + (same ? "" : " (different)"));
        if (!same)
            result = 1;
    }
    return result;
}

int OneShotCommand::upload(HostSession& session)
{
    return readBack(session, _ids, nullptr);
}

int OneShotCommand::download(HostSession& session)
{
    std::map<unsigned int, Orrery::CvexVariant> pack;
    for (const auto& entry : _values) {
        pack.insert(entry);
        if (pack.size() == kMaxParametersPerPacket) {
            session.source().downloadParam(pack);
            pack.clear();
        }
    }
    if (!pack.empty())
        session.source().downloadParam(pack);
    std::vector<unsigned int> ids;
    for (const auto& entry : _values)
        ids.push_back(entry.first);
    return readBack(session, ids, &_values);
}

int OneShotCommand::action(HostSession& session)
{
    const std::vector<unsigned int>& codes = _codes;
    std::vector<long long> states;
    auto collect = [&] {
        for (const Orrery::CvexPlcEvent& event : session.takeEvents())
            if (event.kind == Orrery::CvexPlcEvent::ActionAnswered)
                states.push_back(event.value);
        return states.size() >= codes.size();
    };
    session.takeEvents(); // what happened before the actions were sent
    session.source().downloadAction(codes);
    const bool answered = waitFor(_options.timeout, collect);
    size_t failed = 0;
    for (size_t i = 0; i < states.size() && i < codes.size(); ++i) {
        const auto state = static_cast<unsigned long>(states[i]);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lX", state);
        const bool refused = (state & 0x80000000ul) != 0;
        failed += refused ? 1 : 0;
        say("action " + std::to_string(codes[i]) + ": state " + std::to_string(state) + " (" + hex +
            ", " + (refused ? "failed: bit 31 set)" : "done)"));
    }
    if (!answered) {
        std::cerr << "plchost: the PLC answered " << states.size() << " of " << codes.size()
                  << " action(s) within " << secondsText(_options.timeout) << "\n";
        return 1;
    }
    if (failed > 0) {
        std::cerr << "plchost: the PLC reports " << failed << " of " << codes.size()
                  << " action(s) as failed (bit 31 of the state set)\n";
        return 1;
    }
    return 0;
}

} // namespace plchost
