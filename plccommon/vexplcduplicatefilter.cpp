// SPDX-License-Identifier: MIT
#include "vexplcduplicatefilter_p.h"

namespace Orrery {

namespace {
constexpr int NumberOffset = 6;

std::uint16_t packetNumber(const CvexByteArray& datagram)
{
    if (datagram.size() < NumberOffset + 2)
        return 0;
    const auto low = static_cast<unsigned char>(datagram.at(NumberOffset));
    const auto high = static_cast<unsigned char>(datagram.at(NumberOffset + 1));
    return static_cast<std::uint16_t>(low | (high << 8));
}
} // namespace

CvexPlcDuplicateFilter::CvexPlcDuplicateFilter(std::chrono::milliseconds window) : _window(window)
{
}

CvexPlcDuplicateFilter::Verdict CvexPlcDuplicateFilter::check(const CvexByteArray& datagram,
                                                              Clock::time_point now)
{
    if (!_enabled)
        return Verdict::New;
    forgetBefore(now - _window);
    const std::uint16_t number = packetNumber(datagram);
    std::string bytes(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    const auto found = _byNumber.find(number);
    if (found == _byNumber.end()) {
        _byNumber.emplace(number, Seen{std::move(bytes), now});
        _arrivals.emplace_back(now, number);
        return Verdict::New;
    }
    if (found->second.bytes == bytes) {
        // A repeat is handled too: a PLC resending its buffer every so often stays recognised.
        found->second.at = now;
        _arrivals.emplace_back(now, number);
        return Verdict::Repeat;
    }
    _enabled = false;
    _byNumber.clear();
    _arrivals.clear();
    return Verdict::FilterTurnedOff;
}

void CvexPlcDuplicateFilter::forgetBefore(Clock::time_point limit)
{
    while (!_arrivals.empty() && _arrivals.front().first < limit) {
        const auto found = _byNumber.find(_arrivals.front().second);
        if (found != _byNumber.end() && found->second.at < limit)
            _byNumber.erase(found);
        _arrivals.pop_front();
    }
}

} // namespace Orrery
