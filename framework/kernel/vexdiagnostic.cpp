// SPDX-License-Identifier: MIT
#include "vexdiagnostic.h"

#include <iostream>
#include <mutex>

namespace Orrery {

namespace {

std::mutex& outputMutex()
{
    // Never destroyed: threads that outlive main's statics may still report.
    static auto* mutex = new std::mutex;
    return *mutex;
}

} // namespace

CvexDiagnostic::~CvexDiagnostic()
{
    write(_line.str());
}

void CvexDiagnostic::write(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(outputMutex());
    std::cout << line << '\n' << std::flush;
}

} // namespace Orrery
