// SPDX-License-Identifier: MIT
// One-line descriptions of datagrams of either direction, for plcsim's -v log. Pure functions.
#ifndef PLCDECODE_H
#define PLCDECODE_H

#include <string>

namespace vexsim {

// "<type> #<number> <length>B <what it says>", e.g. "7 #42 20B line status request v2 cycle
// 3000 ms". Never reads beyond `datagram`; a datagram too short for its type says so.
std::string describeDatagram(const std::string& datagram);

} // namespace vexsim

#endif // PLCDECODE_H
