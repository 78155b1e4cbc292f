// SPDX-License-Identifier: MIT
#include "commandline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace plchost {

namespace {

struct CommandShape {
    std::set<std::string> options;
    bool needsItems;
    bool takesArguments;
};

const CommandShape* shapeOf(const std::string& command)
{
    static const CommandShape check{{"--items"}, false, false};
    static const CommandShape run{
        {"--items", "--out", "--duration", "--plain", "-v", "--json", "--ids"}, true, false};
    static const CommandShape upload{{"--items", "--timeout"}, false, true};
    static const CommandShape download{{"--items", "--timeout"}, true, true};
    static const CommandShape action{{"--items", "--timeout"}, false, true};
    if (command == "check")
        return &check;
    if (command == "run")
        return &run;
    if (command == "upload")
        return &upload;
    if (command == "download")
        return &download;
    if (command == "action")
        return &action;
    return nullptr;
}

bool takesValue(const std::string& option)
{
    return option != "--plain" && option != "-v" && option != "--json";
}

bool isHelp(const std::string& word)
{
    return word == "--help" || word == "-h" || word == "help";
}

} // namespace

double CommandLine::seconds(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || !end || *end != '\0' || !std::isfinite(value) || value <= 0)
        throw UsageError(option + " takes a positive number of seconds, not \"" + text + "\"");
    return value;
}

Options CommandLine::parse(const std::vector<std::string>& words)
{
    Options options;
    if (words.empty())
        throw UsageError("no command given");
    options.command = words[0];
    if (options.command == "--version") {
        options.command = "version";
        return options;
    }
    if (isHelp(options.command)) {
        options.command = "help";
        if (words.size() > 1 && shapeOf(words[1]))
            options.helpFor = words[1];
        return options;
    }
    const CommandShape* shape = shapeOf(options.command);
    if (!shape)
        throw UsageError("unknown command \"" + options.command + "\"");
    if (std::find_if(words.begin() + 1, words.end(), isHelp) != words.end()) {
        options.helpFor = options.command;
        options.command = "help";
        return options;
    }
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 1; i < words.size(); ++i) {
        std::string word = words[i];
        if (word == "-v" && !optionsEnded) {
            if (shape->options.count(word) == 0)
                throw UsageError("unknown option -v for \"" + options.command + "\"");
            options.verbose = true;
            continue;
        }
        if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
            positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true; // what follows are arguments, even when they start with --
            continue;
        }
        std::string value;
        const size_t equals = word.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        if (shape->options.count(word) == 0)
            throw UsageError("unknown option " + word + " for \"" + options.command + "\"");
        if (!takesValue(word)) {
            if (inlineValue)
                throw UsageError(word + " takes no value");
            (word == "--json" ? options.json : options.plain) = true;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= words.size())
                throw UsageError(word + " needs a value");
            value = words[++i];
        }
        if (word == "--items")
            options.itemsFile = value;
        else if (word == "--ids")
            options.ids = value;
        else if (word == "--out")
            options.outputFolder = value;
        else if (word == "--duration")
            options.duration = seconds(word, value);
        else if (word == "--timeout")
            options.timeout = seconds(word, value);
    }
    if (positional.empty())
        throw UsageError("\"" + options.command + "\" needs a common file");
    options.commonFile = positional[0];
    options.arguments.assign(positional.begin() + 1, positional.end());
    if (!shape->takesArguments && !options.arguments.empty())
        throw UsageError("unexpected argument \"" + options.arguments[0] + "\" for \"" +
                         options.command + "\"");
    if (shape->takesArguments && options.arguments.empty())
        throw UsageError("\"" + options.command + "\" needs at least one " +
                         (options.command == "action" ? "action code" : "ID or name"));
    if (shape->needsItems && options.itemsFile.empty())
        throw UsageError("\"" + options.command + "\" needs --items ITEMS");
    return options;
}

std::string CommandLine::usage(const std::string& command)
{
    static const std::pair<const char*, const char*> kUsages[] = {
        {"check", "  plchost check FILE [--items ITEMS]\n"
                  "      explain a common file section by section and list its problems\n"},
        {"run", "  plchost run FILE --items ITEMS [--out DIR] [--duration S] [--plain] [-v]\n"
                "      [--json] [--ids ID|NAME,...]\n"
                "      run a host against the PLC of FILE; live screen on a terminal, plain\n"
                "      time-stamped lines otherwise; saved curves go to DIR (default\n"
                "      plchost-out) as CSV and SVG, numbered on from earlier runs, and every\n"
                "      line to DIR/plchost.log; -v shows the library's lines too; --json writes\n"
                "      one JSON object a line per event, value and curve; --ids limits the\n"
                "      values shown and written\n"},
        {"upload", "  plchost upload FILE [--items ITEMS] [--timeout S] ID|NAME...\n"
                   "      read parameters from the PLC and print them\n"},
        {"download", "  plchost download FILE --items ITEMS [--timeout S] ID|NAME=VALUE...\n"
                     "      write parameters to the PLC and read them back\n"},
        {"action", "  plchost action FILE [--timeout S] CODE...\n"
                   "      send action codes and print the PLC's states\n"}};
    std::string text = "usage:\n";
    for (const auto& [name, lines] : kUsages)
        if (command.empty() || command == name)
            text += lines;
    if (command.empty() || shapeOf(command)->takesArguments)
        text += "  The one-shot commands wait for the link to come up (state 3) before they send,\n"
                "  then up to S seconds (default 3) for the answer.\n";
    if (command.empty())
        text += "  plchost --version; plchost COMMAND --help\n";
    return text;
}

} // namespace plchost
