// SPDX-License-Identifier: MIT
//
// Not part of the public API: the control data that the factory hands out.
#ifndef VEXMEMORYCONTROLDATA_H
#define VEXMEMORYCONTROLDATA_H

#include "vexabstractcontroldata.h"

#include <map>
#include <mutex>
#include <vector>

namespace Orrery {

// Keeps the error, monitoring and curve logs in memory. Every operation takes the one lock of
// the object, so it may be used from any thread.
class CvexMemoryControlData : public CvexAbstractControlData {
public:
    int addErrorLog(unsigned int alarmNumber, unsigned short category,
                    unsigned short alarmByte) override;
    int addMoniLog() override;
    int addCurveLog(unsigned int curve, const tagCurveData& record) override;
    int saveCurveLog(unsigned int curve) override;

    std::vector<CvexErrorLog> errorLogs() const override;
    unsigned int moniLogCount() const override;
    std::vector<tagCurveData> openCurve(unsigned int curve) const override;
    std::vector<std::vector<tagCurveData>> savedCurves(unsigned int curve) const override;
    void clear() override;

private:
    using Curve = std::vector<tagCurveData>;

    mutable std::mutex _mutex;
    std::vector<CvexErrorLog> _errorLogs;
    unsigned int _moniLogCount = 0;
    std::map<unsigned int, Curve> _openCurves;
    std::map<unsigned int, std::vector<Curve>> _savedCurves;
};

} // namespace Orrery

#endif // VEXMEMORYCONTROLDATA_H
