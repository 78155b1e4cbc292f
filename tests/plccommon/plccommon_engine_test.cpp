// SPDX-License-Identifier: MIT
// The sending thread's waiting: how soon a packet leaves, the pause between datagrams, stopping,
// and the receive watchdog's deadline.
#include "plccommonfixture.h"

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

// A UDP socket on 127.0.0.1 that learns from the kernel when each datagram arrived (on the system
// clock), so that the times are free of the scheduling of the reading thread.
class StampedSocket {
public:
    struct Arrival {
        std::string bytes;
        Micros at{};
    };

    StampedSocket()
    {
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
        port = ntohs(address.sin_port);
    }
    ~StampedSocket() { ::close(_fd); }

    // The next datagram of `type` that arrives before the deadline.
    bool next(uint16_t type, Arrival& arrival)
    {
        for (const auto deadline = Clock::now() + kDeadline; Clock::now() < deadline;) {
            if (receive(arrival) && le16(arrival.bytes, 4) == type)
                return true;
        }
        return false;
    }
    // The datagram that has arrived already, without waiting: on the loopback a datagram is
    // queued at the receiver before the sender's call returns.
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

    uint16_t port = 0;

private:
    int _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
};

class EngineTest : public PlcCommonTest {
protected:
    // The source has sent its first poll to a PLC that never answers; from then on it only waits.
    void SetUp() override
    {
        PlcCommonTest::SetUp();
        CommonFile quiet;
        quiet.cycleTime = 3000;
        file = std::make_unique<vextest::TempFile>(quiet.text(plc.port));
        source->setCommonFile(file->path());
        source->start();
        StampedSocket::Arrival poll;
        ASSERT_TRUE(plc.next(7, poll));
    }
    // The next upload request, which must ask for `id`.
    ::testing::AssertionResult upload(unsigned int id, StampedSocket::Arrival& sent, int flags = 0)
    {
        if (!(flags ? plc.receive(sent, flags) : plc.next(2, sent)))
            return ::testing::AssertionFailure() << "upload " << id << " has not arrived";
        if (le32(sent.bytes, 12) != id)
            return ::testing::AssertionFailure()
                   << "upload " << le32(sent.bytes, 12) << " for " << id;
        return ::testing::AssertionSuccess();
    }
    StampedSocket plc;
};

// Into an idle engine the calling thread sends the packet itself, so it leaves at once (a thread
// that looked at its queue only every 10 ms would take 5 ms on the median); the next one, queued
// right after, still keeps the pause.
TEST_F(EngineTest, CallerSendsIntoAnIdleEngineAndTheNextPacketKeepsThePause)
{
    std::vector<Micros> latencies;
    for (unsigned int round = 0; round < 21; ++round) {
        SCOPED_TRACE(round);
        std::this_thread::sleep_for(3ms);
        const auto queued =
            std::chrono::duration_cast<Micros>(std::chrono::system_clock::now().time_since_epoch());
        StampedSocket::Arrival first;
        StampedSocket::Arrival second;
        source->uploadParam(2 * round + 1);
        ASSERT_TRUE(upload(2 * round + 1, first, MSG_DONTWAIT));
        latencies.push_back(first.at - queued);
        source->uploadParam(2 * round + 2);
        ASSERT_TRUE(upload(2 * round + 2, second));
        EXPECT_GE((second.at - first.at).count(), 1000);
    }
    std::nth_element(latencies.begin(), latencies.begin() + 10, latencies.end());
    EXPECT_LT(latencies[10], 3ms);
}

TEST_F(EngineTest, QueuedPacketsLeaveInOrderAtLeastOneMillisecondApart)
{
    for (unsigned int burst : {3u, 20u}) {
        SCOPED_TRACE(burst);
        for (unsigned int id = 1; id <= burst; ++id)
            source->uploadParam(id);
        std::vector<StampedSocket::Arrival> sent(burst + 1);
        for (unsigned int id = 1; id <= burst; ++id) {
            ASSERT_TRUE(upload(id, sent[id]));
            EXPECT_TRUE(id == 1 || (sent[id].at - sent[id - 1].at).count() >= 1000)
                << (sent[id].at - sent[id - 1].at).count() << " us before " << id;
        }
    }
}

TEST_F(EngineTest, StopDuringAWaitReturnsPromptly)
{
    // The watchdog's deadline is seconds away; stopping must not wait for it.
    std::this_thread::sleep_for(20ms);
    const auto stopping = Clock::now();
    source.reset();
    EXPECT_LT(Clock::now() - stopping, 100ms);
}

using WatchdogTest = PlcCommonTest;

TEST_F(WatchdogTest, TakesTheLinkDownOneCycleTimeAfterTheLastDatagram)
{
    answerPolls = false;
    answerLikePlc();
    ASSERT_NO_FATAL_FAILURE(start());
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(peer.send(reply::lineStatus(3)));
        const auto lastDatagram = Clock::now();
        ASSERT_TRUE(reaches(3));
        ASSERT_TRUE(reaches(0));
        const auto silence = Clock::now() - lastDatagram;
        EXPECT_GE(silence, std::chrono::milliseconds(kCycleTime));
        EXPECT_LT(silence, std::chrono::milliseconds(kCycleTime * 3 / 2));
    }
}

} // namespace
} // namespace plccommontest
