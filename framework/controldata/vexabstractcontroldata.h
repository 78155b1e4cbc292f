// SPDX-License-Identifier: MIT
#ifndef VEXABSTRACTCONTROLDATA_H
#define VEXABSTRACTCONTROLDATA_H

#include "vexglobal.h"
#include "vexnocopyable.h"

#include <vector>

namespace Orrery {

// One record of a curve: four samples and fields the curve log may use; the library fills only
// the samples and leaves the rest zero.
struct tagCurveData {
    double samples[4];
    unsigned int state;
    unsigned int reserved;
    long long timeStamp;
};

// One entry of the error log, as addErrorLog received it.
struct CvexErrorLog {
    unsigned int alarmNumber = 0;
    unsigned short category = 0;
    unsigned short alarmByte = 0;
};

// The host's control data: the error (alarm) log, the monitoring log and the curve log.
// Obtained from CvexControlDataFactory, which owns it. Every operation may be called from several
// threads at once.
class VEX_CONTROLDATA_EXPORT CvexAbstractControlData : public CvexNoCopyable {
public:
    virtual ~CvexAbstractControlData();

    virtual int addErrorLog(unsigned int alarmNumber, unsigned short category,
                            unsigned short alarmByte) = 0;
    virtual int addMoniLog() = 0;
    virtual int addCurveLog(unsigned int curve, const tagCurveData& record) = 0;
    // Closes the open curve of that number: its records become one saved curve.
    virtual int saveCurveLog(unsigned int curve) = 0;

    virtual std::vector<CvexErrorLog> errorLogs() const = 0;
    virtual unsigned int moniLogCount() const = 0;
    // Records added to that curve since it was last saved.
    virtual std::vector<tagCurveData> openCurve(unsigned int curve) const = 0;
    // Each saved curve of that number, oldest first.
    virtual std::vector<std::vector<tagCurveData>> savedCurves(unsigned int curve) const = 0;
    // Forgets everything.
    virtual void clear() = 0;
};

} // namespace Orrery

#endif // VEXABSTRACTCONTROLDATA_H
