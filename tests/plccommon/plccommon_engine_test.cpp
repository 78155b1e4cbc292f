// SPDX-License-Identifier: MIT
// The sending thread's waiting: how soon a packet leaves, the pause between datagrams, stopping,
// and the receive watchdog's deadline.
#include "plccommonfixture.h"

#include <algorithm>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

namespace plccommontest {
namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::microseconds;

constexpr unsigned int kQuietCycleTime = 3000;

// A UDP socket on 127.0.0.1 that learns from the kernel when each datagram arrived (on the system
// clock), so that the times are free of the scheduling of the reading thread.
class StampedSocket {
public:
    StampedSocket()
    {
        _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        ::setsockopt(_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        timeval timeout{0, 200000};
        ::setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        ::getsockname(_fd, reinterpret_cast<sockaddr*>(&address), &size);
        _port = ntohs(address.sin_port);
    }
    ~StampedSocket() { ::close(_fd); }
    StampedSocket(const StampedSocket&) = delete;
    StampedSocket& operator=(const StampedSocket&) = delete;

    uint16_t port() const { return _port; }

    struct Arrival {
        std::string bytes;
        Micros at;
    };
    // The next datagram of `type` that arrives before the deadline.
    bool next(uint16_t type, Arrival& arrival)
    {
        const auto deadline = Clock::now() + kDeadline;
        while (Clock::now() < deadline) {
            if (receive(arrival) && arrival.bytes.size() > 5 &&
                (uint8_t(arrival.bytes[4]) | uint8_t(arrival.bytes[5]) << 8) == type)
                return true;
        }
        return false;
    }
    // The datagram that has arrived already, without waiting: on the loopback a datagram is
    // queued at the receiver before the sender's call returns.
    bool arrived(Arrival& arrival) { return receive(arrival, MSG_DONTWAIT); }

private:
    bool receive(Arrival& arrival, int flags = 0)
    {
        char buffer[2048];
        char control[CMSG_SPACE(sizeof(timespec))];
        iovec data{buffer, sizeof buffer};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(_fd, &message, flags);
        const cmsghdr* header = size >= 0 ? CMSG_FIRSTHDR(&message) : nullptr;
        if (!header || header->cmsg_type != SCM_TIMESTAMPNS)
            return false;
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
        arrival.bytes.assign(buffer, static_cast<size_t>(size));
        arrival.at = Micros(stamp.tv_sec * 1000000LL + stamp.tv_nsec / 1000);
        return true;
    }

    int _fd = -1;
    uint16_t _port = 0;
};

class EngineTest : public PlcCommonTest {
protected:
    // The source is started and has sent its first poll to a PLC that never answers; from then on
    // it only waits.
    void startQuiet(StampedSocket& plc)
    {
        CommonFile content;
        content.cycleTime = kQuietCycleTime;
        file = std::make_unique<vextest::TempFile>(content.text(plc.port()));
        source->setCommonFile(file->path());
        source->start();
        StampedSocket::Arrival poll;
        ASSERT_TRUE(plc.next(7, poll));
    }
};

// The kernel's arrival stamps leave out the scheduling of the reading thread. A thread that looked
// at its queue only every 10 ms would take 5 ms on the median.
TEST_F(EngineTest, PacketQueuedIntoAnIdleSourceLeavesAtOnce)
{
    StampedSocket plc;
    ASSERT_NO_FATAL_FAILURE(startQuiet(plc));
    std::vector<Micros> latencies;
    for (unsigned int id = 1; id <= 21; ++id) {
        std::this_thread::sleep_for(3ms);
        const auto queued =
            std::chrono::duration_cast<Micros>(std::chrono::system_clock::now().time_since_epoch());
        source->uploadParam(id);
        StampedSocket::Arrival sent;
        ASSERT_TRUE(plc.next(2, sent));
        EXPECT_EQ(le32(sent.bytes, 12), id);
        latencies.push_back(sent.at - queued);
    }
    std::nth_element(latencies.begin(), latencies.begin() + 10, latencies.end());
    EXPECT_LT(latencies[10], 3ms);
}

// Into an idle engine the calling thread sends the packet itself; the next one, queued right
// after, still keeps the pause.
TEST_F(EngineTest, CallerSendsIntoAnIdleEngineAndTheNextPacketKeepsThePause)
{
    StampedSocket plc;
    ASSERT_NO_FATAL_FAILURE(startQuiet(plc));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::this_thread::sleep_for(3ms);
        source->uploadParam(1u);
        StampedSocket::Arrival first;
        ASSERT_TRUE(plc.arrived(first));
        EXPECT_EQ(le32(first.bytes, 12), 1u);
        source->uploadParam(2u);
        StampedSocket::Arrival second;
        ASSERT_TRUE(plc.next(2, second));
        EXPECT_EQ(le32(second.bytes, 12), 2u);
        EXPECT_GE((second.at - first.at).count(), 1000);
    }
}

TEST_F(EngineTest, QueuedPacketsLeaveInOrderAtLeastOneMillisecondApart)
{
    StampedSocket plc;
    ASSERT_NO_FATAL_FAILURE(startQuiet(plc));
    for (unsigned int burst : {3u, 20u}) {
        SCOPED_TRACE(burst);
        for (unsigned int id = 1; id <= burst; ++id)
            source->uploadParam(id);
        std::vector<StampedSocket::Arrival> sent(burst);
        for (unsigned int i = 0; i < burst; ++i) {
            ASSERT_TRUE(plc.next(2, sent[i]));
            EXPECT_EQ(le32(sent[i].bytes, 12), i + 1);
        }
        for (unsigned int i = 1; i < burst; ++i)
            EXPECT_GE((sent[i].at - sent[i - 1].at).count(), 1000)
                << "between " << i << " and " << i + 1;
    }
}

TEST_F(EngineTest, StopDuringAWaitReturnsPromptly)
{
    StampedSocket plc;
    ASSERT_NO_FATAL_FAILURE(startQuiet(plc));
    // The watchdog's deadline is seconds away; stopping must not wait for it.
    std::this_thread::sleep_for(20ms);
    const auto stopping = Clock::now();
    source.reset();
    EXPECT_LT(Clock::now() - stopping, 100ms);
}

TEST_F(EngineTest, WatchdogTakesTheLinkDownOneCycleTimeAfterTheLastDatagram)
{
    answerPolls = false;
    answerLikePlc();
    ASSERT_NO_FATAL_FAILURE(start(CommonFile()));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(peer.send(reply::lineStatus(3)));
        const auto lastDatagram = Clock::now();
        ASSERT_TRUE(vextest::waitUntil([&] { return source->lineStatus() == 3; }, kDeadline));
        ASSERT_TRUE(vextest::waitUntil([&] { return source->lineStatus() == 0; }, kDeadline));
        const auto silence = Clock::now() - lastDatagram;
        EXPECT_GE(silence, std::chrono::milliseconds(kCycleTime));
        EXPECT_LT(silence, std::chrono::milliseconds(kCycleTime * 3 / 2));
    }
}

} // namespace
} // namespace plccommontest
