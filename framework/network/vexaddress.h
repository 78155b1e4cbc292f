// SPDX-License-Identifier: MIT
#ifndef VEXADDRESS_H
#define VEXADDRESS_H

#include "vexglobal.h"

#include <string>

namespace Orrery {

// An IPv4 address. Text that is not a dotted IPv4 address gives a null address.
class VEX_NETWORK_EXPORT CvexAddress {
public:
    CvexAddress() = default;
    explicit CvexAddress(const std::string& dotted);
    explicit CvexAddress(unsigned int ip4);

    bool isNull() const { return _null; }
    // Host byte order.
    unsigned int toIPv4Address() const { return _ip4; }
    std::string toString() const;

    friend bool operator==(const CvexAddress& a, const CvexAddress& b)
    {
        return a._null == b._null && a._ip4 == b._ip4;
    }
    friend bool operator!=(const CvexAddress& a, const CvexAddress& b) { return !(a == b); }

private:
    unsigned int _ip4 = 0;
    bool _null = true;
};

} // namespace Orrery

#endif // VEXADDRESS_H
