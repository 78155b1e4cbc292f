// SPDX-License-Identifier: MIT
#include "consolecommands.h"

#include "datatypes.h"
#include "hostmonitor.h"
#include "hostsession.h"
#include "itemdictionary.h"
#include "oneshotcommand.h"
#include "vexabstractcommsource.h"
#include "vexdbstoragefactory.h"

#include "toolconsole.h"

#include <cstdio>
#include <cstdlib>

namespace plchost {

namespace {

Orrery::CvexAbstractDataStorage& storage()
{
    return *Orrery::CvexDBStorageFactory::instance()->get(2);
}

constexpr int kOnline = 3;

// "download Screw speed=130": the command word, then the rest of the line, names may hold blanks.
void split(const std::string& line, std::string* command, std::string* argument)
{
    const size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return;
    const size_t end = line.find_first_of(" \t", begin);
    *command = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (end == std::string::npos)
        return;
    const size_t first = line.find_first_not_of(" \t", end);
    const size_t last = line.find_last_not_of(" \t\r");
    if (first != std::string::npos)
        *argument = line.substr(first, last - first + 1);
}

} // namespace

ConsoleCommands::ConsoleCommands(const ItemDictionary& items, int fd)
    : _items(items), _fd(fd), _open(fd >= 0)
{
}

std::vector<std::string> ConsoleCommands::read()
{
    std::vector<std::string> lines;
    while (_open) {
        bool ended = false;
        const std::string input = vextool::pendingInput(_fd, &ended);
        if (ended)
            _open = false; // end of input: the run goes on without commands
        if (input.empty())
            break;
        _partial += input;
        for (size_t end; (end = _partial.find('\n')) != std::string::npos;) {
            const std::vector<std::string> more = take(_partial.substr(0, end));
            lines.insert(lines.end(), more.begin(), more.end());
            _partial.erase(0, end + 1);
        }
    }
    return lines;
}

std::vector<std::string> ConsoleCommands::take(const std::string& line)
{
    std::string command;
    std::string argument;
    split(line, &command, &argument);
    if (command.empty())
        return {};
    if ((command != "upload" && command != "download" && command != "action") || argument.empty())
        return {"\"" + line +
                "\" is not a command (upload ID|NAME, download ID|NAME=VALUE, "
                "action CODE)"};
    _waiting.push_back(line);
    return {};
}

unsigned int ConsoleCommands::resolve(const std::string& word, std::string* error) const
{
    if (const Item* item = _items.findByName(word))
        return item->id;
    char* end = nullptr;
    const unsigned long id = std::strtoul(word.c_str(), &end, 10);
    if (!word.empty() && *end == '\0' && _items.find(static_cast<unsigned int>(id)))
        return static_cast<unsigned int>(id);
    *error = "\"" + word + "\" is neither a data ID nor a name in " + _items.path();
    return 0;
}

std::vector<std::string> ConsoleCommands::step(HostSession& session,
                                               const std::vector<Orrery::CvexPlcEvent>& events,
                                               const std::vector<ValueRow>& arrivals,
                                               int lineStatus)
{
    std::vector<std::string> lines;
    for (const Orrery::CvexPlcEvent& event : events) {
        if (event.kind != Orrery::CvexPlcEvent::ActionAnswered || _actions.empty())
            continue;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08llX", static_cast<unsigned long long>(event.value));
        lines.push_back("action " + std::to_string(_actions.front()) + ": state " +
                        std::to_string(event.value) + " (" + hex + ")");
        _actions.pop_front();
    }
    for (auto id = _uploads.begin(); id != _uploads.end();) {
        // The run's monitor takes the values of the IDs it watches out of the storage first.
        Orrery::CvexVariant value = storage().value(*id);
        for (const ValueRow& row : arrivals)
            value = row.id == *id ? row.value : value;
        if (value.isNull()) {
            ++id;
            continue;
        }
        lines.push_back(_items.label(*id) + " (ID " + std::to_string(*id) +
                        ") = " + DataTypes::format(value));
        id = _uploads.erase(id);
    }
    // Requests sent before the mold set is confirmed are dropped when the PLC asks for it.
    while (lineStatus == kOnline && !_waiting.empty()) {
        send(session, _waiting.front(), &lines);
        _waiting.pop_front();
    }
    return lines;
}

void ConsoleCommands::send(HostSession& session, const std::string& line,
                           std::vector<std::string>* lines)
{
    std::string command;
    std::string argument;
    split(line, &command, &argument);
    std::string error;
    if (command == "action") {
        char* end = nullptr;
        const unsigned long code = std::strtoul(argument.c_str(), &end, 10);
        if (*end != '\0') {
            lines->push_back("\"" + argument + "\" is not an action code");
            return;
        }
        _actions.push_back(static_cast<unsigned int>(code));
        session.source().downloadAction(std::vector<unsigned int>{static_cast<unsigned int>(code)});
        return;
    }
    const size_t equals = argument.find('=');
    const unsigned int id = resolve(argument.substr(0, equals), &error);
    if (id == 0) {
        lines->push_back(error);
        return;
    }
    if (command == "download") {
        const Item* item = _items.find(id);
        const Orrery::CvexVariant value = DataTypes::fitToCode(
            item->dataType,
            DataTypes::parseNumber(equals == std::string::npos ? "" : argument.substr(equals + 1)));
        if (value.isNull()) {
            lines->push_back("download " + argument + ": the value does not fit " + item->name +
                             " (data type " + std::to_string(item->dataType) + ")");
            return;
        }
        session.source().downloadParam(id, value);
    }
    // A read reply shows only as a value appearing; a download is read back the same way.
    storage().setValue(id, Orrery::CvexVariant(), 1);
    _uploads.insert(id);
    session.source().uploadParam(id);
}

} // namespace plchost
