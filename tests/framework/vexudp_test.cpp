// SPDX-License-Identifier: MIT
#include "vexaddress.h"
#include "vexthread.h"
#include "vexudp.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
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

// Processor time the whole test process has used.
double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

TEST(CvexAddress, ParsesDottedIPv4Only)
{
    EXPECT_EQ(loopback.toIPv4Address(), 0x7F000001u);
    EXPECT_EQ(loopback.toString(), "127.0.0.1");
    EXPECT_EQ(CvexAddress(0xC0A80001u).toString(), "192.168.0.1");
    EXPECT_TRUE(CvexAddress("1.2.3").isNull());
    EXPECT_TRUE(CvexAddress("256.1.1.1").isNull());
    EXPECT_TRUE(CvexAddress("localhost").isNull());
    EXPECT_TRUE(CvexAddress().isNull());
    EXPECT_EQ(CvexAddress("10.0.0.1"), CvexAddress(0x0A000001u));
}

// Sockets without a thread: the test reads them directly.
class CvexUdpDirect : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(receiver.bind(loopback, 0));
        ASSERT_TRUE(sender.bind(loopback, 0));
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(sender.writeDatagram(bytes.data(), static_cast<long long>(bytes.size()), loopback,
                                       receiver.localPort()),
                  static_cast<long long>(bytes.size()));
        ASSERT_TRUE(vextest::waitUntil([this] { return receiver.hasPendingDatagrams(); }));
    }

    CvexUdp receiver;
    CvexUdp sender;
};

TEST_F(CvexUdpDirect, BindingPortZeroPicksAPort)
{
    EXPECT_TRUE(receiver.isBound());
    EXPECT_NE(receiver.localPort(), 0);
    EXPECT_EQ(receiver.localAddress(), loopback);
    EXPECT_FALSE(receiver.hasPendingDatagrams());
    EXPECT_EQ(receiver.pendingDatagramSize(), -1);
    char byte = 0;
    EXPECT_EQ(receiver.readDatagram(&byte, 1), -1);
}

TEST_F(CvexUdpDirect, PendingSizeIsExactAndOneReadTakesOneDatagram)
{
    send(std::string(37, 'a'));
    send("bc");
    EXPECT_EQ(receiver.pendingDatagramSize(), 37);
    std::vector<char> buffer(64);
    CvexAddress from;
    unsigned short port = 0;
    EXPECT_EQ(receiver.readDatagram(buffer.data(), 64, &from, &port), 37);
    EXPECT_EQ(from, loopback);
    EXPECT_EQ(port, sender.localPort());
    EXPECT_EQ(receiver.pendingDatagramSize(), 2);
    EXPECT_EQ(receiver.readDatagram(buffer.data(), 64), 2);
    EXPECT_EQ(std::string(buffer.data(), 2), "bc");
    EXPECT_FALSE(receiver.hasPendingDatagrams());
}

TEST_F(CvexUdpDirect, ZeroLengthDatagramIsPendingWithSizeZero)
{
    ASSERT_EQ(sender.writeDatagram(Orrery::CvexByteArray(), loopback, receiver.localPort()), 0);
    ASSERT_TRUE(vextest::waitUntil([this] { return receiver.hasPendingDatagrams(); }));
    EXPECT_EQ(receiver.pendingDatagramSize(), 0);
    char byte = 0;
    EXPECT_EQ(receiver.readDatagram(&byte, 1), 0);
    EXPECT_FALSE(receiver.hasPendingDatagrams());
}

TEST_F(CvexUdpDirect, ReadTruncatesAndDropsTheRestOfTheDatagram)
{
    send("0123456789");
    send("xy");
    char buffer[8] = {};
    EXPECT_EQ(receiver.readDatagram(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(receiver.readDatagram(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "xy");
}

TEST_F(CvexUdpDirect, BadArgumentsAreRefused)
{
    EXPECT_EQ(sender.writeDatagram(nullptr, 4, loopback, receiver.localPort()), -1);
    EXPECT_EQ(sender.writeDatagram("abc", -1, loopback, receiver.localPort()), -1);
    EXPECT_EQ(sender.writeDatagram("abc", 3, CvexAddress(), receiver.localPort()), -1);
    EXPECT_EQ(receiver.readDatagram(nullptr, 4), -1);
}

TEST_F(CvexUdpDirect, BindFailsForAPortInUseAndAForeignAddress)
{
    CvexUdp other;
    EXPECT_FALSE(other.bind(loopback, receiver.localPort(), true));
    EXPECT_FALSE(other.isBound());
    EXPECT_FALSE(other.bind(CvexAddress("192.0.2.1"), 0, true));
    // An "IP" of the common file that is no address must not fall back to every interface.
    EXPECT_FALSE(other.bind(CvexAddress("local host"), 0, true));
    EXPECT_FALSE(other.isBound());
    EXPECT_TRUE(other.bind(loopback, 0, true));
}

TEST_F(CvexUdpDirect, CloseReleasesThePort)
{
    const unsigned short port = receiver.localPort();
    receiver.close();
    EXPECT_FALSE(receiver.isBound());
    CvexUdp other;
    EXPECT_TRUE(other.bind(loopback, port, true));
}

// A receiver living in a worker thread; "readyRead" is handled there.
class CvexUdpThreaded : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(receiver.bind(loopback, 0)); }
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }
    void send(const std::string& bytes)
    {
        sender.writeDatagram(bytes.data(), static_cast<long long>(bytes.size()), loopback,
                             receiver.localPort());
    }
    std::vector<std::string> received() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return datagrams;
    }
    // Reads at most `limit` datagrams per "readyRead".
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

TEST_F(CvexUdpThreaded, ReadyReadComesInTheSocketsThread)
{
    readOnSignal(100);
    receiver.moveToThread(&worker);
    worker.start();
    send("abc");
    send("");
    ASSERT_TRUE(vextest::waitUntil([this] { return received().size() == 2; }));
    EXPECT_EQ(received(), (std::vector<std::string>{"abc", ""}));
    EXPECT_EQ(seenThread.load(), &worker);
}

TEST_F(CvexUdpThreaded, TwoWaitingDatagramsAreBothReadInOneReadyRead)
{
    readOnSignal(100);
    receiver.moveToThread(&worker);
    send("first");
    ASSERT_TRUE(vextest::waitUntil([this] { return receiver.hasPendingDatagrams(); }));
    const long oneQueued = receiveQueueBytes(receiver.localPort());
    ASSERT_GT(oneQueued, 0);
    send("second");
    ASSERT_TRUE(
        vextest::waitUntil([&] { return receiveQueueBytes(receiver.localPort()) > oneQueued; }));
    worker.start();
    ASSERT_TRUE(vextest::waitUntil([this] { return received().size() == 2; }));
    EXPECT_EQ(received(), (std::vector<std::string>{"first", "second"}));
    const std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(perSignal.front(), 2);
}

TEST_F(CvexUdpThreaded, ReadyReadComesAgainWhileDatagramsWait)
{
    readOnSignal(1);
    receiver.moveToThread(&worker);
    for (const char* bytes : {"a", "b", "c"})
        send(bytes);
    worker.start();
    ASSERT_TRUE(vextest::waitUntil([this] { return received().size() == 3; }));
    EXPECT_EQ(received(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(CvexUdpThreaded, WritesFromAnotherThreadAreDelivered)
{
    readOnSignal(100);
    receiver.moveToThread(&worker);
    worker.start();
    CvexThread writer;
    writer.start();
    writer.post([this] { send("from writer"); });
    ASSERT_TRUE(vextest::waitUntil([this] { return received().size() == 1; }));
    EXPECT_EQ(received().front(), "from writer");
    writer.quit();
    writer.wait();
}

// A datagram nobody listens for yet leaves the worker's loop idle; the listener that connects
// later still gets "readyRead" for it.
TEST_F(CvexUdpThreaded, DatagramWaitsIdlyForItsListener)
{
    receiver.moveToThread(&worker);
    worker.start();
    send("early");
    ASSERT_TRUE(vextest::waitUntil([this] { return receiver.hasPendingDatagrams(); }));
    const double start = processSeconds();
    EXPECT_FALSE(vextest::waitUntil([start] { return processSeconds() - start > 0.15; },
                                    std::chrono::milliseconds(400)));
    readOnSignal(100);
    ASSERT_TRUE(vextest::waitUntil([this] { return received().size() == 1; }));
    EXPECT_EQ(received().front(), "early");
    EXPECT_EQ(seenThread.load(), &worker);
}
