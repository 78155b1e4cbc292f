// SPDX-License-Identifier: MIT
// Spoils what the simulated PLC sends, on purpose, to exercise the host's recovery: loss,
// duplicates, delay with jitter, reordering and windows of silence. Every decision comes from one
// seeded generator, drawn in a fixed order per datagram, so the same seed and the same datagrams
// give the same faults. Owned by the simulator's runner and used by one thread at a time.
#ifndef FAULTINJECTOR_H
#define FAULTINJECTOR_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vexsim {

struct FaultOptions {
    struct Silence {
        std::chrono::milliseconds start{0}; // from the start of the run
        std::chrono::milliseconds length{0};
    };
    double loss = 0;      // probability that a datagram is dropped
    double duplicate = 0; // probability that it goes out twice
    double reorder = 0;   // probability that it is held back behind the next one
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds jitter{0}; // extra delay, uniform in [0, jitter]
    std::vector<Silence> silences;
    uint32_t seed = 1;
};

class FaultInjector {
public:
    using Clock = std::chrono::steady_clock;

    struct Counters {
        uint64_t submitted = 0;
        uint64_t dropped = 0;
        uint64_t silenced = 0;
        uint64_t duplicated = 0;
        uint64_t reordered = 0;
    };

    // How long a datagram picked for reordering waits for a later one to overtake it.
    static constexpr std::chrono::milliseconds kReorderHold{500};

    FaultInjector(const FaultOptions& options, Clock::time_point start);

    // Hands one outgoing datagram over; it comes back from takeDue() when it is due, twice, or
    // never.
    void submit(const std::string& bytes, Clock::time_point now);
    // The datagrams to send now, in sending order.
    std::vector<std::string> takeDue(Clock::time_point now);
    std::optional<Clock::time_point> nextDue() const;
    bool silentAt(Clock::time_point now) const;
    const Counters& counters() const { return _counters; }

private:
    struct Pending {
        Clock::time_point due;
        uint64_t sequence;
        std::string bytes;
        bool waitsForNext; // reordered: goes out right after the next datagram
    };
    double draw();

    FaultOptions _options;
    Clock::time_point _start;
    std::mt19937 _random;
    std::vector<Pending> _pending;
    uint64_t _sequence = 0;
    Counters _counters;
};

} // namespace vexsim

#endif // FAULTINJECTOR_H
