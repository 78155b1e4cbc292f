// SPDX-License-Identifier: MIT
#include "vexmemorycontroldata.h"

namespace Orrery {

int CvexMemoryControlData::addErrorLog(unsigned int alarmNumber, unsigned short category,
                                       unsigned short alarmByte)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    CvexErrorLog entry;
    entry.alarmNumber = alarmNumber;
    entry.category = category;
    entry.alarmByte = alarmByte;
    _errorLogs.push_back(entry);
    return 0;
}

int CvexMemoryControlData::addMoniLog()
{
    const std::lock_guard<std::mutex> lock(_mutex);
    ++_moniLogCount;
    return 0;
}

int CvexMemoryControlData::addCurveLog(unsigned int curve, const tagCurveData& record)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _openCurves[curve].push_back(record);
    return 0;
}

// A save without records since the last one keeps no empty curve: a saved curve is always one
// that was really recorded. It then returns -1; a real save returns 0.
int CvexMemoryControlData::saveCurveLog(unsigned int curve)
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto open = _openCurves.find(curve);
    if (open == _openCurves.end() || open->second.empty())
        return -1;
    _savedCurves[curve].push_back(std::move(open->second));
    _openCurves.erase(open);
    return 0;
}

std::vector<CvexErrorLog> CvexMemoryControlData::errorLogs() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _errorLogs;
}

unsigned int CvexMemoryControlData::moniLogCount() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _moniLogCount;
}

std::vector<tagCurveData> CvexMemoryControlData::openCurve(unsigned int curve) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto open = _openCurves.find(curve);
    return open == _openCurves.end() ? Curve() : open->second;
}

std::vector<std::vector<tagCurveData>> CvexMemoryControlData::savedCurves(unsigned int curve) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    const auto saved = _savedCurves.find(curve);
    return saved == _savedCurves.end() ? std::vector<Curve>() : saved->second;
}

void CvexMemoryControlData::clear()
{
    const std::lock_guard<std::mutex> lock(_mutex);
    _errorLogs.clear();
    _moniLogCount = 0;
    _openCurves.clear();
    _savedCurves.clear();
}

} // namespace Orrery
