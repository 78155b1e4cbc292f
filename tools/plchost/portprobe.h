// SPDX-License-Identifier: MIT
// Tells whether a UDP endpoint can be bound, before the source binds it: the source itself does
// not report a failed bind, it just never hears from the PLC. Callable from any thread.
#ifndef PLCHOST_PORTPROBE_H
#define PLCHOST_PORTPROBE_H

#include <string>

namespace plchost {

class PortProbe {
public:
    PortProbe() = delete;
    // Empty when ip:port can be bound now; otherwise the reason ("Address already in use").
    static std::string bindProblem(const std::string& ip, unsigned int port);
};

} // namespace plchost

#endif // PLCHOST_PORTPROBE_H
