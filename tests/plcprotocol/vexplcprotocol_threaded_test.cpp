// SPDX-License-Identifier: MIT
// Host threads and the source's threads share the factory's protocol objects.
#include "plcprotocoltest.h"

#include <atomic>
#include <functional>
#include <set>
#include <thread>
#include <vector>

using namespace Orrery;
using namespace plctest;

namespace {

constexpr int Threads = 4;
constexpr int Rounds = 500;

using ThreadedProtocolTest = PlcProtocolTest;

// Runs `work(thread)` on every thread, all released at once so that they really overlap.
void runTogether(const std::function<void(int)>& work)
{
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            if (vextest::waitUntil([&] { return ready.load() == Threads; }))
                work(t);
        });
    for (std::thread& thread : threads)
        thread.join();
}

// Thread t reads t + 1 IDs of value t, so a packet mixed from two composes shows in its bytes.
std::string idsOfThread(int t)
{
    std::string ids;
    for (int i = 0; i <= t; ++i)
        ids += u16(t) + "00 00 ";
    return ids;
}

TEST_F(ThreadedProtocolTest, ConcurrentComposesGetDistinctNumbersAndWholePackets)
{
    std::vector<std::vector<CvexByteArray>> packets(Threads);
    runTogether([&](int t) {
        for (int i = 0; i < Rounds; ++i) {
            CvexByteArray out;
            factory.protocol(2)->composeProtocol(out, wire(idsOfThread(t)), nullptr);
            packets[static_cast<std::size_t>(t)].push_back(out);
        }
    });
    std::set<std::string> numbers;
    for (int t = 0; t < Threads; ++t)
        for (const CvexByteArray& packet : packets[static_cast<std::size_t>(t)]) {
            const std::string number = hexOf(packet.mid(6, 2));
            ASSERT_EQ(hexOf(packet), "99 88 " + u16(18 + 4 * t) + "02 00 " + number + " 00 00 " +
                                         u16(t + 1) + idsOfThread(t) + "88 66");
            numbers.insert(number);
        }
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(Threads * Rounds));
}

TEST_F(ThreadedProtocolTest, ParsesAndComposesOnOneObjectDoNotInterfere)
{
    auto actual = fromJson<CvexParseActual>(R"({"ID": 1, "DataIDList": [5]})");
    const CvexByteArray reply =
        wire("88 55 18 00 E9 03 00 00 00 00 01 00 05 00 00 00 04 01 2A 00 00 00 88 66");
    std::atomic<int> wrongResults{0};
    runTogether([&](int t) {
        for (int i = 0; i < Rounds; ++i) {
            CvexByteArray out;
            const bool right = t % 2 ? factory.protocol(1)->composeProtocol(out, {}, &actual) == 18
                                     : factory.protocol(1001)->parseProtocol(reply) == 1;
            wrongResults += right ? 0 : 1;
        }
    });
    EXPECT_EQ(wrongResults.load(), 0);
    EXPECT_EQ(storage()->value(5), CvexVariant(42));
}

} // namespace
