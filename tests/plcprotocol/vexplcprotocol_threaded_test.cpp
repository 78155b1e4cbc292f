// SPDX-License-Identifier: MIT
// Host threads and the source's threads share the factory's protocol objects.
#include "plcprotocoltest.h"
#include "vexparseplccommon.h"
#include "vexplcactualprotocol.h"
#include "vexplcprotocolfactory.h"
#include "vexplcreadparamprotocol.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

using namespace Orrery;
using plctest::wire;

namespace {

constexpr int Threads = 4;
constexpr int PacketsPerThread = 500;

using ThreadedProtocolTest = plctest::PlcProtocolTest;

// Waits until every thread is ready, so that they really start together.
void startTogether(std::atomic<int>& ready)
{
    ready.fetch_add(1);
    ASSERT_TRUE(vextest::waitUntil([&] { return ready.load() == Threads; }));
}

TEST_F(ThreadedProtocolTest, ConcurrentComposesGetDistinctNumbersAndWholePackets)
{
    CvexPlcProtocolFactory factory;
    CvexAbstractProtocol* protocol = factory.protocol(2);
    std::vector<std::vector<CvexByteArray>> packets(Threads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            startTogether(ready);
            // Each thread asks for a different number of IDs, so a packet mixed from two
            // composes shows in its length, count or payload.
            CvexByteArray ids;
            for (int i = 0; i <= t; ++i)
                ids.append(static_cast<char>(t)).append(wire("00 00 00"));
            for (int i = 0; i < PacketsPerThread; ++i) {
                CvexByteArray out;
                protocol->composeProtocol(out, ids, nullptr);
                packets[static_cast<std::size_t>(t)].push_back(out);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    std::set<int> numbers;
    for (int t = 0; t < Threads; ++t) {
        CvexByteArray expectedIDs;
        for (int i = 0; i <= t; ++i)
            expectedIDs.append(static_cast<char>(t)).append(wire("00 00 00"));
        for (const CvexByteArray& packet : packets[static_cast<std::size_t>(t)]) {
            const int size = 14 + 4 * (t + 1);
            ASSERT_EQ(packet.size(), size);
            EXPECT_EQ(plctest::hexOf(packet.left(2)), "99 88");
            EXPECT_EQ(packet.at(2), static_cast<char>(size));
            EXPECT_EQ(packet.at(10), static_cast<char>(t + 1));
            EXPECT_EQ(packet.mid(12, 4 * (t + 1)), expectedIDs);
            EXPECT_EQ(plctest::hexOf(packet.mid(size - 2)), "88 66");
            numbers.insert((packet.at(6) & 0xFF) | ((packet.at(7) & 0xFF) << 8));
        }
    }
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(Threads * PacketsPerThread));
}

TEST_F(ThreadedProtocolTest, ParsesAndComposesOnOneObjectDoNotInterfere)
{
    CvexPlcActualProtocol protocol;
    CvexParseActual actual = plctest::fromJson<CvexParseActual>(R"({"ID": 1, "DataIDList": [5]})");
    const CvexByteArray reply =
        wire("88 55 18 00 E9 03 00 00 00 00 01 00 05 00 00 00 04 01 2A 00 00 00 88 66");
    std::atomic<int> ready{0};
    std::atomic<int> wrongResults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            startTogether(ready);
            for (int i = 0; i < PacketsPerThread; ++i) {
                if (t % 2 == 0 && protocol.parseProtocol(reply) != 1)
                    ++wrongResults;
                CvexByteArray out;
                if (t % 2 == 1 && protocol.composeProtocol(out, {}, &actual) != 18)
                    ++wrongResults;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrongResults.load(), 0);
    EXPECT_EQ(plctest::storage()->value(5), CvexVariant(42));
}

TEST_F(ThreadedProtocolTest, NewSlotRequestedByManyThreadsIsCreatedOnce)
{
    CvexPlcProtocolFactory factory;
    std::vector<CvexAbstractProtocol*> seen(Threads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            startTogether(ready);
            seen[static_cast<std::size_t>(t)] = factory.protocol(t % 2 ? 1017 : 17);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (CvexAbstractProtocol* protocol : seen)
        EXPECT_EQ(protocol, seen[0]);
}

} // namespace
