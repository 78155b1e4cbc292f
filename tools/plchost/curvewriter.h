// SPDX-License-Identifier: MIT
// Writes one saved curve into a folder as a CSV table (one row per record, one column per
// series) and as an SVG plot of the four series with axes and a legend. Use from one thread.
#ifndef PLCHOST_CURVEWRITER_H
#define PLCHOST_CURVEWRITER_H

#include "vexabstractcontroldata.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace plchost {

struct CurveFiles {
    std::string csvPath;
    std::string svgPath;
};

class CurveWriter {
public:
    using SeriesNames = std::array<std::string, 4>;

    explicit CurveWriter(std::string folder);

    // Writes curve `curve`, the `ordinal`-th saved one (1-based), as curveN-MMM.csv and .svg,
    // where MMM counts on from the highest number of that curve already in the folder, so that
    // a later run never overwrites an earlier one's curves.
    // False when a file cannot be written; error() then names the file and the reason.
    bool write(unsigned int curve, size_t ordinal, const std::vector<Orrery::tagCurveData>& records,
               const SeriesNames& names, CurveFiles* files);
    const std::string& error() const { return _error; }

    static std::string csv(const std::vector<Orrery::tagCurveData>& records,
                           const SeriesNames& names);
    static std::string svg(const std::string& title,
                           const std::vector<Orrery::tagCurveData>& records,
                           const SeriesNames& names);

private:
    bool writeFile(const std::string& path, const std::string& content);
    size_t highestNumberInFolder(unsigned int curve) const;

    std::string _folder;
    std::string _error;
    std::map<unsigned int, size_t> _earlier; // curve -> highest number before this run
};

} // namespace plchost

#endif // PLCHOST_CURVEWRITER_H
