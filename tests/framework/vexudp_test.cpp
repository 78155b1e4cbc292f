// SPDX-License-Identifier: MIT
#include "vexaddress.h"
#include "vexthread.h"
#include "vexudp.h"

#include <toolsocket.h>
#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using Orrery::CvexAddress;
using Orrery::CvexObject;
using Orrery::CvexThread;
using Orrery::CvexUdp;

namespace {

const CvexAddress loopback("127.0.0.1");

// Bytes waiting in the receive queue of the UDP socket bound to `port` on 127.0.0.1, as the
// system reports them; lets a test see that a second datagram has arrived without reading it.
long receiveQueueBytes(unsigned short port)
{
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);
    char wanted[16];
    std::snprintf(wanted, sizeof(wanted), "0100007F:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        if (local == wanted)
            return std::stol(queues.substr(queues.find(':') + 1), nullptr, 16);
    }
    return -1;
}

} // namespace

TEST(CvexAddress, ParsesDottedIPv4Only)
{
    EXPECT_EQ(loopback.toIPv4Address(), 0x7F000001u);
    EXPECT_EQ(loopback.toString(), "127.0.0.1");
    EXPECT_EQ(CvexAddress(0xC0A80001u).toString(), "192.168.0.1");
    EXPECT_EQ(CvexAddress("10.0.0.1"), CvexAddress(0x0A000001u));
    for (const char* text : {"1.2.3", "256.1.1.1", "localhost", ""})
        EXPECT_TRUE(CvexAddress(text).isNull()) << text;
    EXPECT_TRUE(CvexAddress().isNull());
}

// A socket of another program on 127.0.0.1, made with the system's own calls; with `share` it asks
// to share the port, which a socket that holds it exclusively must refuse.
struct ForeignSocket {
    ForeignSocket(unsigned short wanted, bool share)
    {
        vextool::startSockets();
        socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int one = 1;
        if (share)
            ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
                         sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(wanted);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bound = ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port = ntohs(address.sin_port);
    }
    ~ForeignSocket() { vextool::closeSocket(socket); }
    ForeignSocket(const ForeignSocket&) = delete;
    ForeignSocket& operator=(const ForeignSocket&) = delete;

    vextool::Socket socket = vextool::kNoSocket;
    bool bound = false;
    unsigned short port = 0;
};

// A bound receiver that the test reads directly, or that lives in a worker thread and is read
// there on "readyRead".
class CvexUdpTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(receiver.bind(loopback, 0));
        ASSERT_TRUE(sender.bind(loopback, 0));
    }
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }
    void send(const std::string& bytes)
    {
        EXPECT_EQ(sender.writeDatagram(bytes.data(), static_cast<long long>(bytes.size()), loopback,
                                       receiver.localPort()),
                  static_cast<long long>(bytes.size()));
    }
    bool waitForPending()
    {
        return vextest::waitUntil([this] { return receiver.hasPendingDatagrams(); });
    }
    std::vector<std::string> received() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return datagrams;
    }
    bool waitForReceived(size_t n)
    {
        return vextest::waitUntil([this, n] { return received().size() == n; });
    }
    // Reads at most `limit` datagrams per "readyRead", in the receiver's thread.
    void readOnSignal(int limit)
    {
        CvexObject::connect(&receiver, "readyRead()", &receiver, "read", [this, limit] {
            seenThread = CvexThread::currentThread();
            int taken = 0;
            while (taken < limit && receiver.hasPendingDatagrams()) {
                std::string bytes(static_cast<std::size_t>(receiver.pendingDatagramSize()), '\0');
                const long long size = receiver.readDatagram(bytes.data(), bytes.size());
                ASSERT_EQ(size, static_cast<long long>(bytes.size()));
                const std::lock_guard<std::mutex> lock(mutex);
                datagrams.push_back(bytes);
                ++taken;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            perSignal.push_back(taken);
        });
    }

    CvexThread worker;
    CvexUdp receiver;
    CvexUdp sender;
    mutable std::mutex mutex;
    std::vector<std::string> datagrams;
    std::vector<int> perSignal;
    std::atomic<CvexThread*> seenThread{nullptr};
};

TEST_F(CvexUdpTest, OneReadTakesOneDatagramOfExactlyThePendingSize)
{
    EXPECT_TRUE(receiver.isBound());
    EXPECT_NE(receiver.localPort(), 0);
    EXPECT_EQ(receiver.localAddress(), loopback);
    EXPECT_FALSE(receiver.hasPendingDatagrams());
    EXPECT_EQ(receiver.pendingDatagramSize(), -1);
    char buffer[64] = {};
    EXPECT_EQ(receiver.readDatagram(buffer, 1), -1);

    send(std::string(37, 'a'));
    EXPECT_EQ(sender.writeDatagram(Orrery::CvexByteArray(), loopback, receiver.localPort()), 0);
    send("0123456789");
    send("xy");
    ASSERT_TRUE(waitForPending());
    EXPECT_EQ(receiver.pendingDatagramSize(), 37);
    CvexAddress from;
    unsigned short port = 0;
    EXPECT_EQ(receiver.readDatagram(buffer, 64, &from, &port), 37);
    EXPECT_EQ(from, loopback);
    EXPECT_EQ(port, sender.localPort());
    // A datagram of zero bytes is pending with size 0.
    EXPECT_TRUE(receiver.hasPendingDatagrams());
    EXPECT_EQ(receiver.pendingDatagramSize(), 0);
    EXPECT_EQ(receiver.readDatagram(buffer, 1), 0);
    // A short read takes the start and drops the rest.
    EXPECT_EQ(receiver.pendingDatagramSize(), 10);
    EXPECT_EQ(receiver.readDatagram(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(receiver.readDatagram(buffer, 64), 2);
    EXPECT_EQ(std::string(buffer, 2), "xy");
    EXPECT_FALSE(receiver.hasPendingDatagrams());
}

TEST_F(CvexUdpTest, BadArgumentsAndBusyOrForeignEndpointsAreRefusedAndOurPortIsNotShared)
{
    EXPECT_EQ(sender.writeDatagram(nullptr, 4, loopback, receiver.localPort()), -1);
    EXPECT_EQ(sender.writeDatagram("abc", -1, loopback, receiver.localPort()), -1);
    EXPECT_EQ(sender.writeDatagram("abc", 3, CvexAddress(), receiver.localPort()), -1);
    EXPECT_EQ(receiver.readDatagram(nullptr, 4), -1);

    CvexUdp other;
    EXPECT_FALSE(other.bind(loopback, receiver.localPort(), true));
    EXPECT_FALSE(other.isBound());
#ifdef _WIN32
    EXPECT_NE(other.error(), 0);
    EXPECT_FALSE(other.errorString().empty());
#else
    EXPECT_EQ(other.error(), EADDRINUSE);
    EXPECT_EQ(other.errorString(), "Address already in use");
#endif
    // Windows lets a second program share or take over a bound port unless the holder asks for it
    // exclusively; a taken port must be reported as on Linux, whoever came first.
    const ForeignSocket holder(0, false);
    ASSERT_TRUE(holder.bound);
    EXPECT_FALSE(other.bind(loopback, holder.port));
    const ForeignSocket intruder(receiver.localPort(), true);
    EXPECT_FALSE(intruder.bound);
    send("still ours");
    ASSERT_TRUE(waitForPending());
    char buffer[16] = {};
    EXPECT_EQ(receiver.readDatagram(buffer, sizeof buffer), 10);
    if (!vextest::runningUnderWine()) {
        EXPECT_FALSE(other.bind(CvexAddress("192.0.2.1"), 0, true));
#ifndef _WIN32
        EXPECT_EQ(other.errorString(), "Cannot assign requested address");
#endif
    }
    // An "IP" of the common file that is no address must not fall back to every interface.
    EXPECT_FALSE(other.bind(CvexAddress("local host"), 0, true));
#ifndef _WIN32
    EXPECT_EQ(other.error(), EADDRNOTAVAIL);
#endif
    EXPECT_FALSE(other.isBound());
    // Closing releases the port.
    const unsigned short port = receiver.localPort();
    receiver.close();
    EXPECT_FALSE(receiver.isBound());
    EXPECT_TRUE(other.bind(loopback, port, true));
}

// A peer that is switched off answers with ICMP "port unreachable", which Windows would report
// as a failure of the next receive; reception must go on with every datagram intact.
TEST_F(CvexUdpTest, ReadyReadComesInTheSocketsThreadForWritesFromAnyThreadAndAfterAClosedPort)
{
    unsigned short closedPort = 0;
    {
        const ForeignSocket gone(0, false);
        ASSERT_TRUE(gone.bound);
        closedPort = gone.port;
    }
    readOnSignal(100);
    receiver.moveToThread(&worker);
    worker.start();
    send("abc");
    send("");
    ASSERT_TRUE(waitForReceived(2));
    CvexThread writer;
    writer.start();
    writer.post([this] { send("from writer"); });
    ASSERT_TRUE(waitForReceived(3));
    writer.quit();
    writer.wait();
    for (const std::string bytes : {"after 1", "after 2", "after 3"}) {
        EXPECT_EQ(receiver.writeDatagram("ping", 4, loopback, closedPort), 4);
        send(bytes);
    }
    ASSERT_TRUE(waitForReceived(6));
    EXPECT_EQ(received(), (std::vector<std::string>{"abc", "", "from writer", "after 1", "after 2",
                                                    "after 3"}));
    EXPECT_EQ(seenThread.load(), &worker);
}

// Datagrams that arrived before the loop ran: one "readyRead" reads as many as its handler takes,
// and it comes again while any are still waiting.
class CvexUdpWaiting : public CvexUdpTest, public testing::WithParamInterface<int> {};

TEST_P(CvexUdpWaiting, EveryWaitingDatagramIsRead)
{
    readOnSignal(GetParam());
    receiver.moveToThread(&worker);
    send("first");
    ASSERT_TRUE(waitForPending());
    const long oneQueued = receiveQueueBytes(receiver.localPort());
    ASSERT_GT(oneQueued, 0);
    send("second");
    ASSERT_TRUE(
        vextest::waitUntil([&] { return receiveQueueBytes(receiver.localPort()) > oneQueued; }));
    worker.start();
    ASSERT_TRUE(waitForReceived(2));
    EXPECT_EQ(received(), (std::vector<std::string>{"first", "second"}));
    const std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(perSignal.front(), std::min(GetParam(), 2));
}

INSTANTIATE_TEST_SUITE_P(Limits, CvexUdpWaiting, testing::Values(1, 100));

// A datagram nobody listens for yet leaves the worker's loop idle (the process uses no processor
// time to speak of); the listener that connects later still gets "readyRead" for it.
TEST_F(CvexUdpTest, DatagramWaitsIdlyForItsListener)
{
    receiver.moveToThread(&worker);
    worker.start();
    send("early");
    ASSERT_TRUE(waitForPending());
    const auto processSeconds = vextest::processCpuSeconds;
    const double start = processSeconds();
    EXPECT_FALSE(vextest::waitUntil([&] { return processSeconds() - start > 0.15; },
                                    std::chrono::milliseconds(400)));
    readOnSignal(100);
    ASSERT_TRUE(waitForReceived(1));
    EXPECT_EQ(received().front(), "early");
    EXPECT_EQ(seenThread.load(), &worker);
}
