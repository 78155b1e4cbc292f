// SPDX-License-Identifier: MIT
#ifndef VEXDIAGNOSTIC_H
#define VEXDIAGNOSTIC_H

#include "vexglobal.h"

#include <functional>
#include <ostream>
#include <sstream>
#include <string>

namespace Orrery {

// One diagnostic line of the library. The pieces are collected and, when the object goes out of
// scope, handed on as one complete line under a process-wide lock, so that lines of different
// threads never interleave:
//
//     CvexDiagnostic() << "CvexPlcCommon::receiveData: Can't Find Protocol (Type: " << code << "
//     )";
//
// By default a line goes to std::cout with a line end and a flush. A host routes the lines
// elsewhere with setSink. A CvexDiagnostic object belongs to the thread that made it; write and
// setSink may be called from any thread at any time.
class VEX_KERNEL_EXPORT CvexDiagnostic {
public:
    // Receives one complete line, without its line end.
    using Sink = std::function<void(const std::string&)>;

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

    // Routes every later line to `sink`; an empty function restores std::cout. The sink is called
    // by the thread that wrote the line, one line at a time (calls never overlap), so it needs no
    // lock of its own but should return quickly: writers of other threads wait meanwhile. Once
    // setSink returns, the previous sink is not called again, so its owner may go away. A line
    // that the sink itself writes goes to std::cout rather than back into the sink.
    static void setSink(Sink sink);

private:
    std::ostringstream _line;
};

} // namespace Orrery

#endif // VEXDIAGNOSTIC_H
