// SPDX-License-Identifier: MIT
#include "faultinjector.h"

#include <algorithm>

namespace vexsim {

FaultInjector::FaultInjector(const FaultOptions& options, Clock::time_point start)
    : _options(options), _start(start), _random(options.seed)
{
}

double FaultInjector::draw()
{
    // From the raw engine output, which the standard fixes, so that a seed repeats a run.
    return static_cast<double>(_random() >> 8) / static_cast<double>(1u << 24);
}

bool FaultInjector::silentAt(Clock::time_point now) const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - _start);
    return std::any_of(_options.silences.begin(), _options.silences.end(), [&](const auto& s) {
        return elapsed >= s.start && elapsed < s.start + s.length;
    });
}

void FaultInjector::submit(const std::string& bytes, Clock::time_point now)
{
    ++_counters.submitted;
    // All four draws happen for every datagram, so that one fault never shifts the others.
    const double lossDraw = draw();
    const double duplicateDraw = draw();
    const double reorderDraw = draw();
    const double jitterDraw = draw();
    if (silentAt(now)) {
        ++_counters.silenced;
        return;
    }
    if (lossDraw < _options.loss) {
        ++_counters.dropped;
        return;
    }
    const auto jitter = std::chrono::milliseconds(
        static_cast<int64_t>(jitterDraw * static_cast<double>(_options.jitter.count() + 1)));
    const Clock::time_point due = now + _options.delay + std::min(jitter, _options.jitter);
    const bool reorder = reorderDraw < _options.reorder;
    if (reorder) {
        ++_counters.reordered;
        _pending.push_back({due + kReorderHold, _sequence++, bytes, true});
    } else {
        _pending.push_back({due, _sequence++, bytes, false});
    }
    if (duplicateDraw < _options.duplicate) {
        ++_counters.duplicated;
        _pending.push_back({due + (reorder ? kReorderHold : Clock::duration::zero()), _sequence++,
                            bytes, reorder});
    }
}

std::vector<std::string> FaultInjector::takeDue(Clock::time_point now)
{
    std::vector<Pending> due;
    std::vector<Pending> later;
    for (Pending& entry : _pending)
        (entry.due <= now ? due : later).push_back(std::move(entry));
    std::stable_sort(due.begin(), due.end(), [](const Pending& a, const Pending& b) {
        return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    std::vector<std::string> out;
    for (const Pending& entry : due) {
        out.push_back(entry.bytes);
        if (entry.waitsForNext)
            continue;
        // Whatever was held back for this one to overtake follows it now.
        for (auto it = later.begin(); it != later.end();) {
            if (it->waitsForNext && it->sequence < entry.sequence) {
                out.push_back(std::move(it->bytes));
                it = later.erase(it);
            } else {
                ++it;
            }
        }
    }
    _pending = std::move(later);
    return out;
}

std::optional<FaultInjector::Clock::time_point> FaultInjector::nextDue() const
{
    if (_pending.empty())
        return std::nullopt;
    return std::min_element(_pending.begin(), _pending.end(),
                            [](const Pending& a, const Pending& b) { return a.due < b.due; })
        ->due;
}

} // namespace vexsim
