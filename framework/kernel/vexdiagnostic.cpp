// SPDX-License-Identifier: MIT
#include "vexdiagnostic.h"

#include <iostream>
#include <memory>
#include <mutex>

namespace Orrery {

namespace {

struct Output {
    // Recursive: a sink may call setSink or write itself on the delivering thread.
    std::recursive_mutex mutex;
    std::shared_ptr<const CvexDiagnostic::Sink> sink;
};

Output& output()
{
    // Never destroyed: threads that outlive main's statics may still report.
    static auto* shared = new Output;
    return *shared;
}

// Set while this thread is inside the sink, so that a line the sink writes cannot loop back.
thread_local bool deliveringToSink = false;

void writeToStdout(const std::string& line)
{
    std::cout << line << '\n' << std::flush;
}

} // namespace

CvexDiagnostic::~CvexDiagnostic()
{
    write(_line.str());
}

void CvexDiagnostic::write(const std::string& line)
{
    Output& out = output();
    const std::lock_guard<std::recursive_mutex> lock(out.mutex);
    if (!out.sink || deliveringToSink) {
        writeToStdout(line);
        return;
    }
    // Held by a copy: a sink that replaces itself keeps running to the end of this line.
    const auto sink = out.sink;
    deliveringToSink = true;
    try {
        (*sink)(line);
    } catch (...) {
        // A throwing sink must not take down the library thread that reported.
    }
    deliveringToSink = false;
}

void CvexDiagnostic::setSink(Sink sink)
{
    Output& out = output();
    auto replacement = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
    const std::lock_guard<std::recursive_mutex> lock(out.mutex);
    out.sink = std::move(replacement);
}

} // namespace Orrery
