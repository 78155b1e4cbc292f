// SPDX-License-Identifier: MIT
#include "simoptions.h"

#include "toolsocket.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>

namespace vexsim {

namespace {

using std::chrono::milliseconds;

[[noreturn]] void fail(const std::string& option, const std::string& what)
{
    throw std::invalid_argument("option " + option + ": " + what);
}

double parseNumber(const std::string& option, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(value))
        fail(option, "'" + text + "' is not a number");
    return value;
}

long long parseWhole(const std::string& option, const std::string& text, long long low,
                     long long high)
{
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0)
        fail(option, "'" + text + "' is not a whole number");
    if (value < low || value > high)
        fail(option,
             text + " is out of range " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

double parseProbability(const std::string& option, const std::string& text)
{
    const double value = parseNumber(option, text);
    if (value < 0 || value > 1)
        fail(option, text + " is not a probability between 0 and 1");
    return value;
}

milliseconds parseMillis(const std::string& option, const std::string& text)
{
    return milliseconds(parseWhole(option, text, 0, 24LL * 3600 * 1000));
}

void parseEndpoint(const std::string& option, const std::string& text, std::string& ip,
                   uint16_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        fail(option, "'" + text + "' is not IP:PORT");
    in_addr address{};
    const std::string host = text.substr(0, colon);
    if (inet_pton(AF_INET, host.c_str(), &address) != 1)
        fail(option, "'" + host + "' is not an IPv4 address");
    ip = host;
    port = static_cast<uint16_t>(parseWhole(option, text.substr(colon + 1), 0, 65535));
}

FaultOptions::Silence parseSilence(const std::string& option, const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        fail(option, "'" + text + "' is not START:LENGTH in milliseconds");
    return {parseMillis(option, text.substr(0, colon)),
            parseMillis(option, text.substr(colon + 1))};
}

using Setter = std::function<void(SimOptions&, const std::string& option, const std::string&)>;

const std::map<std::string, Setter>& valueOptions()
{
    static const std::map<std::string, Setter> table = {
        {"--bind", [](SimOptions& o, const std::string& n,
                      const std::string& v) { parseEndpoint(n, v, o.bindIp, o.bindPort); }},
        {"--host", [](SimOptions& o, const std::string& n,
                      const std::string& v) { parseEndpoint(n, v, o.hostIp, o.hostPort); }},
        {"--duration",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.durationSeconds = parseNumber(n, v);
             if (o.durationSeconds < 0)
                 fail(n, "must not be negative");
         }},
        {"--items",
         [](SimOptions& o, const std::string&, const std::string& v) { o.itemsPath = v; }},
        {"--pcap", [](SimOptions& o, const std::string&, const std::string& v) { o.pcapPath = v; }},
        {"--version",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.version = static_cast<uint16_t>(parseWhole(n, v, 0, 65535));
         }},
        {"--shot-interval",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.shotInterval = parseMillis(n, v);
             if (o.simulator.shotInterval.count() == 0)
                 fail(n, "must be at least 1 ms");
         }},
        {"--alarm-interval",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.alarmInterval = parseMillis(n, v);
         }},
        {"--mold-change-interval",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.moldChangeInterval = parseMillis(n, v);
         }},
        {"--confirm-timeout",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.confirmTimeout = parseMillis(n, v);
         }},
        {"--max-resends",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.maxResends = static_cast<int>(parseWhole(n, v, 0, 1000));
         }},
        {"--triggers",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.expectedTriggers = static_cast<int>(parseWhole(n, v, 0, 255));
         }},
        {"--fail-group",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.simulator.failGroup = static_cast<int>(parseWhole(n, v, 0, 65535));
         }},
        {"--loss", [](SimOptions& o, const std::string& n,
                      const std::string& v) { o.faults.loss = parseProbability(n, v); }},
        {"--duplicate", [](SimOptions& o, const std::string& n,
                           const std::string& v) { o.faults.duplicate = parseProbability(n, v); }},
        {"--reorder", [](SimOptions& o, const std::string& n,
                         const std::string& v) { o.faults.reorder = parseProbability(n, v); }},
        {"--delay", [](SimOptions& o, const std::string& n,
                       const std::string& v) { o.faults.delay = parseMillis(n, v); }},
        {"--jitter", [](SimOptions& o, const std::string& n,
                        const std::string& v) { o.faults.jitter = parseMillis(n, v); }},
        {"--silence",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             o.faults.silences.push_back(parseSilence(n, v));
         }},
        {"--seed",
         [](SimOptions& o, const std::string& n, const std::string& v) {
             const auto seed = static_cast<uint32_t>(parseWhole(n, v, 0, 0xFFFFFFFFLL));
             o.faults.seed = seed;
             o.simulator.seed = seed;
         }},
    };
    return table;
}

} // namespace

SimOptions parseOptions(const std::vector<std::string>& arguments)
{
    SimOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "-v" || name == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (name == "-h" || name == "--help") {
            options.help = true;
            continue;
        }
        // "--version N" sets the protocol version; alone it asks for the program's version.
        if (name == "--version" &&
            (i + 1 == arguments.size() || arguments[i + 1].rfind('-', 0) == 0)) {
            options.version = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        const auto setter = valueOptions().find(name);
        if (setter == valueOptions().end())
            throw std::invalid_argument("unknown option '" + name + "'");
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                fail(name, "needs a value");
            value = arguments[++i];
        }
        setter->second(options, name, value);
    }
    return options;
}

std::string usage()
{
    return R"(usage: plcsim [options]
Simulates the PLC of a moulding machine on UDP for the vexplc host library.

  --bind IP:PORT           PLC endpoint to bind (default 127.0.0.1:30002)
  --host IP:PORT           where to send before the host's first datagram (127.0.0.1:30001)
  --duration SECONDS       end by itself after this time (default: run until SIGINT/SIGTERM)
  --items FILE             JSON array of {"ID","Name","DataType","ValueT","Value"} objects
  --pcap FILE              write every datagram each way to FILE (pcap, IPv4/UDP), for Wireshark
  --version N              protocol version; other versions get line status 65535 (default 1)
  --shot-interval MS       time between simulated shots (default 2000)
  --alarm-interval MS      raise an alarm this often, 0 = only on SIGUSR1 or 'a' (10000)
  --mold-change-interval MS  simulate a mold change this often, 0 = only on SIGUSR2 or 'm'
  --confirm-timeout MS     resend unconfirmed triggered data after this time (default 500)
  --max-resends N          give up on a triggered packet after N resends (default 5)
  --triggers N             trigger definitions that complete the table: the number of trigger
                           sections of the common file, so that a download stopped by a lost
                           acknowledgement is noticed; 0 = complete once definitions stop
                           coming (default 0)
  --fail-group G           answer trigger group G with a data request error for its first ID
  --loss P                 drop a sent datagram with probability P
  --duplicate P            send a datagram twice with probability P
  --delay MS, --jitter MS  delay every sent datagram by MS plus up to the jitter
  --reorder P              hold a datagram back behind the next one with probability P
  --silence START:LENGTH   send nothing from START for LENGTH ms of the run (repeatable)
  --seed N                 seed of the faults and of the process values (default 1)
  -v, --verbose            one line per datagram in and out on stderr
  -h, --help               this text
  --version                (without N) the program's version

Keys when stdin is a terminal: a = alarm, m = mold change, q = quit.
)";
}

} // namespace vexsim
