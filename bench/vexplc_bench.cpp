// SPDX-License-Identifier: MIT
// The engine's figures side by side with baselines measured in the same process: one line per
// figure, "name: value unit". Everything runs on 127.0.0.1; the PLC is the test peer.
#include "plcpeer.h"
#include "vexabstractdatastorage.h"
#include "vexdbstoragefactory.h"
#include "vexparseplccommon.h"
#include "vexplccommon.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Orrery::CvexPlcCommon;
namespace reply = vexsim::reply;

constexpr unsigned int kFirstMoldID = 2001;
constexpr unsigned int kFirstActualID = 101;
constexpr unsigned int kActualRecords = 50;
constexpr unsigned int kParamID = 5001;

// The library writes its diagnostic lines on standard output; the figures go to the original one.
FILE* figures = stdout;

void print(const std::string& name, double value, const char* unit)
{
    std::fprintf(figures, "%s: %.3f %s\n", name.c_str(), value, unit);
    std::fflush(figures);
}

double micros(Clock::duration duration)
{
    return std::chrono::duration<double, std::micro>(duration).count();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

// Spins (yielding) by default; a positive pause sleeps between the looks, so that the waiting
// thread does not compete with the threads it waits for.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s,
               std::chrono::microseconds pause = 0us)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        if (pause.count() > 0)
            std::this_thread::sleep_for(pause);
        else
            std::this_thread::yield();
    }
    return true;
}

// How a client waits for its answer: asleep until it comes, or looking for it over and over.
enum class Waiting { Asleep, Spinning };

Orrery::CvexAbstractDataStorage* storage()
{
    return Orrery::CvexDBStorageFactory::instance()->get(2);
}

// ---------------------------------------------------------------------------------------------
// Plain sockets for the baselines.

class Socket {
public:
    Socket()
    {
        _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = loopback(0);
        ::bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(_fd, reinterpret_cast<sockaddr*>(&address), &size);
        _port = ntohs(address.sin_port);
        timeval timeout{0, 100000};
        ::setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~Socket() { ::close(_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    static sockaddr_in loopback(uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    uint16_t port() const { return _port; }
    int fd() const { return _fd; }
    void sendTo(uint16_t port, const std::string& bytes) const
    {
        const sockaddr_in address = loopback(port);
        ::sendto(_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                 sizeof address);
    }
    // Without waiting: false when no datagram is there.
    bool poll(std::string& bytes) const
    {
        char buffer[2048];
        const ssize_t read = ::recv(_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (read < 0)
            return false;
        bytes.assign(buffer, static_cast<size_t>(read));
        return true;
    }
    // The sender's port, 0 on timeout.
    uint16_t receive(std::string& bytes) const
    {
        char buffer[2048];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const ssize_t read =
            ::recvfrom(_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (read < 0)
            return 0;
        bytes.assign(buffer, static_cast<size_t>(read));
        return ntohs(from.sin_port);
    }

private:
    int _fd = -1;
    uint16_t _port = 0;
};

// ---------------------------------------------------------------------------------------------
// Common files.

std::string idList(unsigned int first, unsigned int count)
{
    std::string text = "[";
    for (unsigned int i = 0; i < count; ++i)
        text += (i ? "," : "") + std::to_string(first + i);
    return text + "]";
}

std::string commonText(uint16_t hostPort, unsigned int cycleTime, unsigned int moldCount)
{
    std::ostringstream text;
    text << "[ { \"Protocol\": { \"Version\": 2, \"Private\": 5, \"Src\": { \"IP\": \"127.0.0.1\", "
            "\"Port\": 0 }, \"Host\": { \"IP\": \"127.0.0.1\", \"Port\": "
         << hostPort << " } } },\n { \"Type\": { \"ID\": 7, \"CycleTime\": " << cycleTime
         << " } },\n { \"Type\": { \"ID\": 1, \"CycleTime\": 100, \"DataIDList\": "
         << idList(kFirstActualID, kActualRecords)
         << " } },\n { \"Type\": { \"ID\": 9, \"MoldList\": [ { \"Type\": 1, \"DataIDList\": "
         << idList(kFirstMoldID, moldCount) << " } ] } } ]\n";
    return text.str();
}

class TempFile {
public:
    explicit TempFile(const std::string& content)
    {
        char name[] = "/tmp/vexplc_bench_XXXXXX";
        const int fd = ::mkstemp(name);
        _path = name;
        if (fd >= 0) {
            const ssize_t written = ::write(fd, content.data(), content.size());
            (void)written;
            ::close(fd);
        }
    }
    ~TempFile() { ::unlink(_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

void declareItems(unsigned int moldCount)
{
    storage()->clear();
    for (unsigned int i = 0; i < moldCount; ++i)
        storage()->addItem(kFirstMoldID + i, "mold" + std::to_string(i), 4,
                           Orrery::CvexVariant(int(i)));
    for (unsigned int i = 0; i < kActualRecords; ++i)
        storage()->addItem(kFirstActualID + i, "actual" + std::to_string(i), 6,
                           Orrery::CvexVariant(0u));
    storage()->addItem(kParamID, "param", 6, Orrery::CvexVariant(0u));
}

uint32_t le32(const std::string& bytes, size_t pos)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && pos + i < bytes.size(); ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[pos + i])) << (8 * i);
    return value;
}

uint16_t typeOf(const std::string& bytes)
{
    return bytes.size() > 5 ? static_cast<uint16_t>(le32(bytes, 4) & 0xFFFF) : 0xFFFF;
}

// A count that one thread raises and another waits on, asleep or spinning.
class Signal {
public:
    void raise()
    {
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            ++_count;
        }
        _raised.notify_one();
    }
    int count() const { return _count; }
    // Waits until the count differs from `seen`, then sets `seen` to it.
    bool waitPast(int& seen, Waiting waiting)
    {
        const auto newer = [&] { return _count != seen; };
        bool arrived = false;
        if (waiting == Waiting::Spinning) {
            arrived = waitUntil(newer);
        } else {
            std::unique_lock<std::mutex> lock(_mutex);
            arrived = _raised.wait_for(lock, 10s, newer);
        }
        seen = _count;
        return arrived;
    }

private:
    std::mutex _mutex;
    std::condition_variable _raised;
    std::atomic<int> _count{0};
};

// A started source and a PLC that answers it like the echo of the ping-pong baseline: one thread,
// blocking on its socket. It answers polls with 3 (the mold set is held), mold set packs with
// their count, the status request with the count asked, parameter reads with a counter.
struct Link {
    explicit Link(unsigned int cycleTime, unsigned int moldCount = 10)
        : file(commonText(plc.port(), cycleTime, moldCount))
    {
        source = std::make_unique<CvexPlcCommon>();
        source->setCommonFile(file.path());
        source->sendData(Orrery::CvexByteArray("link", 4));
        std::string bytes;
        sourcePort = plc.receive(bytes);
        responder = std::thread([this] { answerUntilStopped(); });
        // Runs in the source's worker thread, as the source emits the signal.
        Orrery::CvexObject::connect(source.get(), "eventsReady", nullptr, "count",
                                    [this] { eventsReady.raise(); });
        source->start();
        waitUntil([&] { return source->lineStatus() == 3; });
    }
    ~Link()
    {
        source.reset();
        stop = true;
        responder.join();
    }

    void answerUntilStopped()
    {
        std::string bytes;
        while (!stop) {
            if (plc.receive(bytes))
                answer(bytes);
        }
    }
    void answer(const std::string& bytes)
    {
        switch (typeOf(bytes)) {
        case 7:
            if (answerPolls) {
                plc.sendTo(sourcePort, reply::lineStatus(3));
                lastReply = Clock::now().time_since_epoch().count();
            }
            break;
        case 9:
            plc.sendTo(sourcePort, reply::moldSetAck(static_cast<uint16_t>(le32(bytes, 10))));
            break;
        case 8:
            plc.sendTo(sourcePort, reply::moldSetStatus(static_cast<int32_t>(le32(bytes, 12))));
            ++statusRequests;
            break;
        case 2:
            plc.sendTo(sourcePort, reply::readParam({{le32(bytes, 12), 6, 1, ++paramValue}}));
            break;
        default:
            break;
        }
    }

    Socket plc;
    uint16_t sourcePort = 0;
    TempFile file;
    std::atomic<bool> stop{false};
    std::atomic<bool> answerPolls{true};
    std::atomic<uint32_t> paramValue{0};
    std::atomic<int> statusRequests{0};
    std::atomic<Clock::rep> lastReply{0};
    Signal eventsReady;
    std::unique_ptr<CvexPlcCommon> source;
    std::thread responder;
};

// ---------------------------------------------------------------------------------------------
// Round trips.

// The echo of the ping-pongs: one thread blocking on its socket.
class Echo {
public:
    Echo()
        : _thread([this] {
              std::string bytes;
              while (!_stop) {
                  if (const uint16_t from = _socket.receive(bytes))
                      _socket.sendTo(from, bytes);
              }
          })
    {
    }
    ~Echo()
    {
        _stop = true;
        _thread.join();
    }
    uint16_t port() const { return _socket.port(); }

private:
    Socket _socket;
    std::atomic<bool> _stop{false};
    std::thread _thread;
};

// The ping-pong with the shape of any library that receives in a thread of its own: the reply is
// taken by a second thread, waiting in epoll as an event loop does, which then tells the client.
std::vector<double> relayPingPong(int rounds, Waiting waiting)
{
    Socket client;
    Echo echo;
    Signal told;
    std::atomic<bool> stop{false};
    std::thread relay([&] {
        const int loop = ::epoll_create1(0);
        epoll_event interest{};
        interest.events = EPOLLIN;
        ::epoll_ctl(loop, EPOLL_CTL_ADD, client.fd(), &interest);
        std::string bytes;
        while (!stop) {
            epoll_event ready{};
            if (::epoll_wait(loop, &ready, 1, 100) == 1 && client.poll(bytes))
                told.raise();
        }
        ::close(loop);
    });
    std::vector<double> times;
    const std::string request = reply::lineStatus(3);
    for (int i = 0; i < rounds; ++i) {
        int seen = told.count();
        const auto sent = Clock::now();
        client.sendTo(echo.port(), request);
        told.waitPast(seen, waiting);
        times.push_back(micros(Clock::now() - sent));
        std::this_thread::sleep_for(2ms);
    }
    stop = true;
    relay.join();
    return times;
}

std::vector<double> rawPingPong(int rounds, Waiting waiting)
{
    Socket client;
    Echo echo;
    std::vector<double> times;
    std::string bytes;
    const std::string request = reply::lineStatus(3);
    for (int i = 0; i < rounds; ++i) {
        const auto sent = Clock::now();
        client.sendTo(echo.port(), request);
        if (waiting == Waiting::Spinning)
            waitUntil([&] { return client.poll(bytes); });
        else
            waitUntil([&] { return client.receive(bytes) != 0; });
        times.push_back(micros(Clock::now() - sent));
        std::this_thread::sleep_for(2ms);
    }
    return times;
}

bool hasStoredParameterReply(const std::vector<Orrery::CvexPlcEvent>& events)
{
    return std::any_of(events.begin(), events.end(), [](const Orrery::CvexPlcEvent& event) {
        return event.kind == Orrery::CvexPlcEvent::ParameterReplyStored;
    });
}

// One parameter read, from the call until the host is told through "eventsReady" that the reply
// is stored.
double commandRoundTrip(Link& link, Waiting waiting)
{
    const uint32_t expected = link.paramValue + 1;
    // The signal comes when the first event waits: the queue must be empty before the call.
    int seen = link.eventsReady.count();
    link.source->takeEvents();
    const auto sent = Clock::now();
    link.source->uploadParam(kParamID);
    for (;;) {
        if (!link.eventsReady.waitPast(seen, waiting)) {
            std::fprintf(figures, "error: no reply to a parameter read within 10 s\n");
            return 0;
        }
        const auto told = Clock::now();
        // A late event of the previous read is no answer to this one.
        if (hasStoredParameterReply(link.source->takeEvents()) &&
            storage()->value(kParamID).toUInt() == expected)
            return micros(told - sent);
    }
}

void printRoundTrips(Link& link, Waiting waiting)
{
    const std::string tail = waiting == Waiting::Asleep ? "_asleep" : "_spinning";
    const std::vector<double> raw = rawPingPong(500, waiting);
    const std::vector<double> relay = relayPingPong(500, waiting);
    std::vector<double> command;
    for (int i = 0; i < 500; ++i) {
        std::this_thread::sleep_for(2ms);
        command.push_back(commandRoundTrip(link, waiting));
    }
    print("raw_udp_pingpong_p50" + tail, percentile(raw, 0.5), "us");
    print("raw_udp_relay_pingpong_p50" + tail, percentile(relay, 0.5), "us");
    print("command_roundtrip_quiet_p50" + tail, percentile(command, 0.5), "us");
    print("command_roundtrip_quiet_p99" + tail, percentile(command, 0.99), "us");
    print("command_roundtrip_quiet_p50_vs_raw_p50" + tail,
          percentile(command, 0.5) / percentile(raw, 0.5), "x");
    print("command_roundtrip_quiet_p99_vs_raw_p99" + tail,
          percentile(command, 0.99) / percentile(raw, 0.99), "x");
    print("command_roundtrip_quiet_p50_vs_relay_p50" + tail,
          percentile(command, 0.5) / percentile(relay, 0.5), "x");
}

// Each client waits twice: asleep, as a host that does not give a core to its waiting, and
// spinning, which on two cores takes the core the receiving thread then waits for.
void measureRoundTrips()
{
    Link link(3000);
    printRoundTrips(link, Waiting::Asleep);
    printRoundTrips(link, Waiting::Spinning);

    std::vector<double> busy;
    for (int i = 0; i < 500; ++i)
        busy.push_back(commandRoundTrip(link, Waiting::Asleep));
    print("command_roundtrip_back_to_back_mean",
          std::accumulate(busy.begin(), busy.end(), 0.0) / static_cast<double>(busy.size()), "us");
    print("command_roundtrip_back_to_back_p50_vs_1ms_pacing", percentile(busy, 0.5) / 1000.0, "x");
}

// ---------------------------------------------------------------------------------------------
// Receive rate: the same sender feeds bursts of actual-value replies, 50 records each, and waits
// until the receiver has taken the last one before it sends the next burst.

constexpr int kReceiveBurst = 64;
constexpr int kReceiveBursts = 300;

std::vector<std::string> actualReplies()
{
    std::vector<std::string> replies;
    for (uint32_t n = 1; n <= kReceiveBurst * kReceiveBursts; ++n) {
        std::vector<vexsim::Record> records;
        for (unsigned int i = 0; i < kActualRecords; ++i)
            records.push_back({kFirstActualID + i, 6, 1, n});
        replies.push_back(reply::actualValues(records));
    }
    return replies;
}

double feed(const Socket& sender, uint16_t port, const std::vector<std::string>& replies,
            const std::function<bool(uint32_t)>& received)
{
    const auto start = Clock::now();
    for (int burst = 0; burst < kReceiveBursts; ++burst) {
        for (int i = 0; i < kReceiveBurst; ++i)
            sender.sendTo(port, replies[static_cast<size_t>(burst * kReceiveBurst + i)]);
        const auto last = static_cast<uint32_t>((burst + 1) * kReceiveBurst);
        if (!waitUntil([&] { return received(last); }, 200ms, 50us))
            return 0; // a datagram was lost: no figure
    }
    return kReceiveBurst * kReceiveBursts /
           std::chrono::duration<double>(Clock::now() - start).count();
}

double bareReceiveRate(const std::vector<std::string>& replies)
{
    Socket sender;
    Socket receiver;
    std::atomic<uint32_t> lastNumber{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::string bytes;
        while (!stop) {
            if (receiver.receive(bytes))
                lastNumber = le32(bytes, 12 + 6);
        }
    });
    const double rate =
        feed(sender, receiver.port(), replies, [&](uint32_t last) { return lastNumber >= last; });
    stop = true;
    reader.join();
    return rate;
}

double sourceReceiveRate(const std::vector<std::string>& replies)
{
    Socket sender;
    TempFile file(commonText(sender.port(), 3000, 10));
    CvexPlcCommon source;
    source.setCommonFile(file.path());
    source.sendData(Orrery::CvexByteArray("link", 4));
    std::string bytes;
    const uint16_t sourcePort = sender.receive(bytes);
    const unsigned int lastID = kFirstActualID + kActualRecords - 1;
    return feed(sender, sourcePort, replies,
                [&](uint32_t last) { return storage()->value(lastID).toUInt() >= last; });
}

void measureReceive()
{
    const std::vector<std::string> replies = actualReplies();
    double bare = 0;
    double source = 0;
    for (int run = 0; run < 5; ++run) {
        bare = std::max(bare, bareReceiveRate(replies));
        declareItems(10);
        source = std::max(source, sourceReceiveRate(replies));
    }
    print("receive_rate_bare_recvfrom", bare, "datagrams/s");
    print("receive_rate_source", source, "datagrams/s");
    print("receive_rate_source_vs_bare", source / bare, "x");
}

// ---------------------------------------------------------------------------------------------

void measureMoldSet()
{
    constexpr unsigned int kValues = 10000;
    declareItems(kValues);
    Link link(3000, kValues);
    const Orrery::CvexParsePlcCommon config(link.file.path());
    const Orrery::CvexParseMoldBlock block = config.moldSet().moldList().at(1);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const int statusRequests = link.statusRequests;
        const auto start = Clock::now();
        link.source->downloadMoldSet(block);
        waitUntil([&] { return link.statusRequests > statusRequests; }, 10s, 500us);
        best = std::min(best, micros(Clock::now() - start) / 1000.0);
    }
    print("moldset_10000_values", best, "ms");
    print("moldset_10000_values_vs_200ms_pacing", best / 200.0, "x");
    declareItems(10);
}

void measureOfflineDetection()
{
    constexpr unsigned int kCycleTime = 300;
    double worst = 0;
    for (int run = 0; run < 3; ++run) {
        Link link(kCycleTime);
        std::this_thread::sleep_for(50ms);
        link.answerPolls = false;
        std::this_thread::sleep_for(5ms);
        const Clock::time_point last{Clock::duration(link.lastReply.load())};
        waitUntil([&] { return link.source->lineStatus() == 0; }, 5s);
        worst = std::max(worst, micros(Clock::now() - last) / 1000.0 / kCycleTime);
    }
    print("offline_detection_vs_cycletime_worst_of_3", worst, "x");
}

// ---------------------------------------------------------------------------------------------
// The threads of this process, and what each has cost.

std::set<int> threadIDs()
{
    std::set<int> ids;
    DIR* tasks = ::opendir("/proc/self/task");
    while (dirent* entry = tasks ? ::readdir(tasks) : nullptr) {
        if (entry->d_name[0] != '.')
            ids.insert(std::atoi(entry->d_name));
    }
    if (tasks)
        ::closedir(tasks);
    return ids;
}

struct ThreadCost {
    double switches = 0;
    double cpuNs = 0;
};

ThreadCost threadCost(const std::set<int>& ids)
{
    ThreadCost cost;
    for (int id : ids) {
        const std::string task = "/proc/self/task/" + std::to_string(id);
        std::ifstream status(task + "/status");
        for (std::string line; std::getline(status, line);) {
            // A wakeup is a switch away from a thread that waits: the others are preemptions.
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                cost.switches += std::stod(line.substr(line.find(':') + 1));
        }
        std::ifstream schedstat(task + "/schedstat");
        double ns = 0;
        if (schedstat >> ns)
            cost.cpuNs += ns;
    }
    return cost;
}

long statusField(const char* key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    }
    return 0;
}

void measureIdleSource()
{
    const std::set<int> before = threadIDs();
    vexsim::PlcPeer peer;
    const std::set<int> withPeer = threadIDs();
    TempFile file(commonText(peer.port(), 3000, 10));
    peer.setHandler([&](const vexsim::Datagram& datagram) {
        if (datagram.type() == 7)
            peer.send(reply::lineStatus(3));
    });
    auto source = std::make_unique<CvexPlcCommon>();
    source->setCommonFile(file.path());
    source->sendData(Orrery::CvexByteArray("link", 4));
    source->start();
    std::set<int> sourceThreads;
    for (int id : threadIDs()) {
        if (!withPeer.count(id))
            sourceThreads.insert(id);
    }
    (void)before;
    std::this_thread::sleep_for(1500ms);
    constexpr double kSeconds = 6;
    const ThreadCost start = threadCost(sourceThreads);
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    const ThreadCost end = threadCost(sourceThreads);
    print("idle_source_threads", static_cast<double>(sourceThreads.size()), "threads");
    print("idle_source_wakeups_per_s_cycletime_3000", (end.switches - start.switches) / kSeconds,
          "1/s");
    print("idle_source_cpu_per_s", (end.cpuNs - start.cpuNs) / kSeconds / 1000.0, "us/s");
    peer.setHandler({});

    std::vector<double> destructor;
    for (int run = 0; run < 7; ++run) {
        auto other = std::make_unique<CvexPlcCommon>();
        other->setCommonFile(file.path());
        other->start();
        std::this_thread::sleep_for(50ms);
        const auto stopping = Clock::now();
        other.reset();
        destructor.push_back(micros(Clock::now() - stopping));
    }
    print("destructor_p50", percentile(destructor, 0.5), "us");
    print("destructor_max", percentile(destructor, 1.0), "us");
}

void measureManySources()
{
    constexpr int kSources = 100;
    Socket plc;
    TempFile file(commonText(plc.port(), 3000, 10));
    const long rssBefore = statusField("VmRSS:");
    const long threadsBefore = statusField("Threads:");
    std::vector<std::unique_ptr<CvexPlcCommon>> sources;
    // Each source receives a reply, so that what receiving allocates is counted too.
    std::string bytes;
    for (int i = 0; i < kSources; ++i) {
        sources.push_back(std::make_unique<CvexPlcCommon>());
        sources.back()->setCommonFile(file.path());
        sources.back()->sendData(Orrery::CvexByteArray("link", 4));
        if (const uint16_t port = plc.receive(bytes))
            plc.sendTo(port, reply::lineStatus(3));
        sources.back()->start();
    }
    std::this_thread::sleep_for(1500ms);
    print("sources_100_rss_per_source",
          static_cast<double>(statusField("VmRSS:") - rssBefore) / kSources, "KiB");
    print("sources_100_threads_per_source",
          static_cast<double>(statusField("Threads:") - threadsBefore) / kSources, "threads");
}

// ---------------------------------------------------------------------------------------------
// Configuration load against a bare DOM parse of the same file.

std::string largeCommonText()
{
    std::ostringstream text;
    text << "[ { \"Protocol\": { \"Version\": 2, \"Private\": 5, \"Src\": { \"IP\": \"127.0.0.1\", "
            "\"Port\": 30001 }, \"Host\": { \"IP\": \"127.0.0.1\", \"Port\": 30002 } } },\n"
            " { \"Type\": { \"ID\": 7, \"CycleTime\": 3000 } },\n"
            " { \"Type\": { \"ID\": 1, \"CycleTime\": 100, \"DataIDList\": "
         << idList(100000, 40000) << " } },\n { \"Type\": { \"ID\": 9, \"MoldList\": [";
    for (unsigned int block = 1; block <= 30; ++block)
        text << (block > 1 ? "," : "") << "\n  { \"Type\": " << block
             << ", \"DataIDList\": " << idList(200000 + block * 20000, 20000) << " }";
    text << "] } }";
    for (unsigned int group = 1; group <= 1500; ++group)
        text << ",\n { \"Type\": { \"ID\": 17, \"GroupID\": " << group
             << ", \"OutTime\": 1000, \"DelayTime\": 0, \"SendCount\": 1, \"DataIDFlag\": 1, "
                "\"StartTrigger\": [ { \"Condition\": [ { \"Type\": 1, \"Params\": [1, 2.5, 3] } "
                "] } ], \"DataIDList\": "
             << idList(1000000 + group * 100, 100) << " } }";
    text << " ]\n";
    return text.str();
}

// The fastest of many runs of each load, the loads taking turns so that a busy moment of the
// machine does not fall on one of them only.
std::vector<double> fastestMs(const std::vector<std::function<void()>>& loads)
{
    std::vector<double> best(loads.size(), 1e9);
    for (int run = 0; run < 15; ++run) {
        for (size_t i = 0; i < loads.size(); ++i) {
            const auto start = Clock::now();
            loads[i]();
            best[i] = std::min(best[i], micros(Clock::now() - start) / 1000.0);
        }
    }
    return best;
}

void measureConfigurationLoad()
{
    const std::string content = largeCommonText();
    TempFile file(content);
    print("common_file_size", static_cast<double>(content.size()) / (1024.0 * 1024.0), "MiB");
    size_t moldBlocks = 0;
    const std::vector<double> best = fastestMs({
        [&] {
            rapidjson::Document document;
            document.Parse(content.c_str());
        },
        [&] {
            std::ifstream in(file.path(), std::ios::binary);
            std::string text(static_cast<size_t>(content.size()), '\0');
            in.read(&text[0], static_cast<std::streamsize>(text.size()));
            rapidjson::Document document;
            document.Parse(text.c_str());
        },
        [&] {
            const Orrery::CvexParsePlcCommon config(file.path());
            moldBlocks = config.moldSetRecord().blocks().size();
        },
    });
    if (moldBlocks != 30)
        std::fprintf(figures, "error: the common file loaded %zu mold blocks, not 30\n",
                     moldBlocks);
    print("rapidjson_dom_parse", best[0], "ms");
    print("rapidjson_read_and_dom_parse", best[1], "ms");
    print("common_file_load", best[2], "ms");
    print("common_file_load_vs_rapidjson_dom_parse", best[2] / best[0], "x");
    print("common_file_load_vs_rapidjson_read_and_parse", best[2] / best[1], "x");
}

} // namespace

// Every group by default; names on the command line run only those groups.
int main(int argc, char** argv)
{
    // The figures keep the original standard output; the library's lines go nowhere.
    figures = ::fdopen(::dup(1), "w");
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, 1);
    ::close(devNull);
    declareItems(10);

    const std::vector<std::pair<std::string, void (*)()>> groups{
        {"config", measureConfigurationLoad}, {"roundtrip", measureRoundTrips},
        {"receive", measureReceive},          {"moldset", measureMoldSet},
        {"offline", measureOfflineDetection}, {"idle", measureIdleSource},
        {"sources", measureManySources}};
    const std::set<std::string> chosen(argv + 1, argv + argc);
    for (const auto& group : groups) {
        if (chosen.empty() || chosen.count(group.first))
            group.second();
    }
    return 0;
}
