// SPDX-License-Identifier: MIT
// Plausible process values of a moulding machine: barrel temperatures that settle towards their
// set points, an injection pressure, a screw speed and position that run through every shot, and
// shot curves. Deterministic for a given seed and sequence of calls. Owned by the simulator and
// used by one thread at a time.
#ifndef PROCESSMODEL_H
#define PROCESSMODEL_H

#include "itemtable.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace vexsim {

class ProcessModel {
public:
    using Clock = std::chrono::steady_clock;

    enum class Kind { Temperature, Pressure, Position, Speed, Counter, Generic };

    ProcessModel(uint32_t seed, Clock::time_point start, std::chrono::milliseconds shotInterval);

    // Begins shot number `shot` (counted from 1) at `now`.
    void startShot(uint64_t shot, Clock::time_point now);
    uint64_t shot() const { return _shot; }

    // A live value for an actual-value reply.
    double actualValue(uint32_t id, const ItemInfo* item, Clock::time_point now);
    // A value that summarises the current shot, for triggered data.
    double shotValue(uint32_t id, const ItemInfo* item);
    // `points` samples of four interleaved series over one shot, each of the kind given for it
    // (pressure, speed, position or temperature; other kinds give a melt temperature).
    std::vector<float> shotCurve(size_t points, const std::array<Kind, 4>& series = kCurveSeries);

    // What an item measures, guessed from its name ("temperature", "pressure", "position",
    // "speed", "counter" or "number"), or from its ID when it has none.
    static Kind kindOf(uint32_t id, const ItemInfo* item);
    // The series of a curve group with these data IDs: each ID's kind where its name tells one,
    // otherwise the kind of kCurveSeries at that place.
    static std::array<Kind, 4> curveSeries(const std::vector<uint32_t>& ids,
                                           const ItemTable& items);

    // Pressure, speed, position and melt temperature.
    static const std::array<Kind, 4> kCurveSeries;

private:
    double noise(double amplitude);
    double phase(Clock::time_point now) const;
    double nominal(uint32_t id, const ItemInfo* item, Kind kind) const;

    std::mt19937 _random;
    Clock::time_point _start;
    Clock::time_point _shotStart;
    std::chrono::milliseconds _shotInterval;
    uint64_t _shot = 0;
};

} // namespace vexsim

#endif // PROCESSMODEL_H
