// SPDX-License-Identifier: MIT
#ifndef VEXDIAGNOSTIC_H
#define VEXDIAGNOSTIC_H

#include "vexglobal.h"

#include <ostream>
#include <sstream>
#include <string>

namespace Orrery {

// One diagnostic line on the standard output stream. The pieces are collected and, when the
// object goes out of scope, written as one line with a line end and a flush, under a process-wide
// lock so that lines of different threads never interleave:
//
//     CvexDiagnostic() << "CvexPlcCommon::receiveData: Can't Find Protocol (Type: " << code << "
//     )";
class VEX_KERNEL_EXPORT CvexDiagnostic {
public:
    CvexDiagnostic() = default;
    CvexDiagnostic(const CvexDiagnostic&) = delete;
    CvexDiagnostic& operator=(const CvexDiagnostic&) = delete;
    ~CvexDiagnostic();

    template <typename T> CvexDiagnostic& operator<<(const T& value)
    {
        _line << value;
        return *this;
    }
    CvexDiagnostic& operator<<(std::ostream& (*manipulator)(std::ostream&))
    {
        _line << manipulator;
        return *this;
    }
    CvexDiagnostic& operator<<(std::ios_base& (*manipulator)(std::ios_base&))
    {
        _line << manipulator;
        return *this;
    }

    // Writes one complete line.
    static void write(const std::string& line);

private:
    std::ostringstream _line;
};

} // namespace Orrery

#endif // VEXDIAGNOSTIC_H
