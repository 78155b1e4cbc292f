// SPDX-License-Identifier: MIT
#include "processmodel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vexsim {

namespace {

constexpr double kAmbient = 25.0;
constexpr double kHeatingSeconds = 20.0; // time constant of the barrel heating
constexpr double kPeakPressure = 800.0;  // bar
constexpr double kInjectionSpeed = 80.0; // mm/s
constexpr double kStroke = 60.0;         // mm
constexpr double kCushion = 5.0;         // mm
// Phases of a shot, as fractions of the shot interval.
constexpr double kInjectionEnd = 0.12;
constexpr double kHoldEnd = 0.35;
constexpr double kRecoveryEnd = 0.75;

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool mentions(const std::string& name, const char* word)
{
    return name.find(word) != std::string::npos;
}

double pressureAt(double phase, double peak)
{
    if (phase < kInjectionEnd)
        return peak * phase / kInjectionEnd;
    if (phase < kHoldEnd)
        return peak * 0.6;
    return peak * 0.6 * std::exp(-(phase - kHoldEnd) * 25.0);
}

double positionAt(double phase)
{
    if (phase < kHoldEnd) {
        const double pushed = std::min(1.0, phase / kHoldEnd * 1.3);
        return kStroke - (kStroke - kCushion) * pushed;
    }
    if (phase < kRecoveryEnd)
        return kCushion + (kStroke - kCushion) * (phase - kHoldEnd) / (kRecoveryEnd - kHoldEnd);
    return kStroke;
}

double speedAt(double phase, double top)
{
    if (phase < kInjectionEnd)
        return top;
    if (phase < kHoldEnd)
        return top * 0.1;
    if (phase < kRecoveryEnd)
        return top * 0.25; // screw rotating back during recovery
    return 0;
}

} // namespace

ProcessModel::ProcessModel(uint32_t seed, Clock::time_point start,
                           std::chrono::milliseconds shotInterval)
    : _random(seed), _start(start), _shotStart(start),
      _shotInterval(std::max(shotInterval, std::chrono::milliseconds(1)))
{
}

void ProcessModel::startShot(uint64_t shot, Clock::time_point now)
{
    _shot = shot;
    _shotStart = now;
}

ProcessModel::Kind ProcessModel::kindOf(uint32_t id, const ItemInfo* item)
{
    if (item && !item->name.empty()) {
        const std::string name = lowerCase(item->name);
        if (mentions(name, "temp") || mentions(name, "zone") || mentions(name, "heat"))
            return Kind::Temperature;
        if (mentions(name, "press"))
            return Kind::Pressure;
        if (mentions(name, "pos") || mentions(name, "stroke") || mentions(name, "cushion"))
            return Kind::Position;
        if (mentions(name, "speed") || mentions(name, "veloc"))
            return Kind::Speed;
        if (mentions(name, "count") || mentions(name, "number"))
            return Kind::Counter;
        return Kind::Generic;
    }
    static const Kind byId[] = {Kind::Temperature, Kind::Pressure, Kind::Position, Kind::Speed,
                                Kind::Temperature};
    return byId[id % 5];
}

double ProcessModel::noise(double amplitude)
{
    // Built from the raw engine output, which the standard fixes, so that a seed repeats a run
    // whatever the library's distributions do.
    const double unit = static_cast<double>(_random() >> 8) / static_cast<double>(1u << 24);
    return (unit * 2.0 - 1.0) * amplitude;
}

double ProcessModel::phase(Clock::time_point now) const
{
    const double elapsed = std::chrono::duration<double, std::milli>(now - _shotStart).count() /
                           static_cast<double>(_shotInterval.count());
    return std::min(std::max(elapsed, 0.0), 1.0);
}

double ProcessModel::nominal(uint32_t id, const ItemInfo* item, Kind kind) const
{
    if (item && item->hasValue)
        return item->value;
    switch (kind) {
    case Kind::Temperature:
        return 180.0 + static_cast<double>(id % 8) * 10.0;
    case Kind::Pressure:
        return kPeakPressure;
    case Kind::Position:
        return kCushion;
    case Kind::Speed:
        return kInjectionSpeed;
    case Kind::Counter:
        return 0;
    case Kind::Generic:
        break;
    }
    return 50.0 + static_cast<double>(id % 50);
}

double ProcessModel::actualValue(uint32_t id, const ItemInfo* item, Clock::time_point now)
{
    const Kind kind = kindOf(id, item);
    const double base = nominal(id, item, kind);
    const double seconds = std::chrono::duration<double>(now - _start).count();
    switch (kind) {
    case Kind::Temperature:
        return base + (kAmbient - base) * std::exp(-seconds / kHeatingSeconds) + noise(0.3);
    case Kind::Pressure:
        return std::max(0.0, pressureAt(phase(now), base) + noise(base * 0.01));
    case Kind::Position:
        return positionAt(phase(now)) + noise(0.05);
    case Kind::Speed:
        return speedAt(phase(now), base) + noise(0.2);
    case Kind::Counter:
        return base + static_cast<double>(_shot);
    case Kind::Generic:
        break;
    }
    return base + 0.05 * base * std::sin(seconds / 10.0) + noise(0.1);
}

double ProcessModel::shotValue(uint32_t id, const ItemInfo* item)
{
    const Kind kind = kindOf(id, item);
    const double base = nominal(id, item, kind);
    switch (kind) {
    case Kind::Temperature:
        return base + noise(0.5);
    case Kind::Pressure:
        return base + noise(base * 0.02);
    case Kind::Position:
        return base + noise(0.2);
    case Kind::Speed:
        return base + noise(1.0);
    case Kind::Counter:
        return base + static_cast<double>(_shot);
    case Kind::Generic:
        break;
    }
    return base + noise(base * 0.01);
}

const std::array<ProcessModel::Kind, 4> ProcessModel::kCurveSeries = {
    Kind::Pressure, Kind::Speed, Kind::Position, Kind::Temperature};

std::array<ProcessModel::Kind, 4> ProcessModel::curveSeries(const std::vector<uint32_t>& ids,
                                                            const ItemTable& items)
{
    std::array<Kind, 4> series = kCurveSeries;
    for (size_t i = 0; i < series.size() && i < ids.size(); ++i) {
        const ItemInfo* item = items.find(ids[i]);
        if (!item || item->name.empty())
            continue;
        const Kind kind = kindOf(ids[i], item);
        if (kind == Kind::Pressure || kind == Kind::Speed || kind == Kind::Position ||
            kind == Kind::Temperature)
            series[i] = kind;
    }
    return series;
}

std::vector<float> ProcessModel::shotCurve(size_t points, const std::array<Kind, 4>& series)
{
    std::vector<float> samples;
    samples.reserve(points * 4);
    const double melt = 220.0 + noise(1.0);
    // A kind that comes again is a second sensor of the same quantity: a little lower, so that
    // its line does not hide the first one.
    std::array<double, 4> scale{};
    for (size_t i = 0; i < series.size(); ++i)
        scale[i] =
            1.0 - 0.15 * static_cast<double>(std::count(
                             series.begin(), series.begin() + static_cast<long>(i), series[i]));
    for (size_t i = 0; i < points; ++i) {
        const double at = points > 1 ? static_cast<double>(i) / static_cast<double>(points - 1) : 0;
        for (size_t s = 0; s < series.size(); ++s) {
            double sample = 0;
            switch (series[s]) {
            case Kind::Pressure:
                sample = pressureAt(at, kPeakPressure * scale[s]) + noise(4.0);
                break;
            case Kind::Speed:
                sample = speedAt(at, kInjectionSpeed * scale[s]) + noise(0.5);
                break;
            case Kind::Position:
                sample = positionAt(at) * scale[s] + noise(0.05);
                break;
            default:
                sample = (melt - 3.0 * at) * scale[s] + noise(0.2);
                break;
            }
            samples.push_back(static_cast<float>(sample));
        }
    }
    return samples;
}

} // namespace vexsim
