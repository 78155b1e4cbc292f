// SPDX-License-Identifier: MIT
#ifndef VEXABSTRACTPARTPROTOCOL_H
#define VEXABSTRACTPARTPROTOCOL_H

#include "vexbytearray.h"
#include "vexglobal.h"

#include <vector>

namespace Orrery {

// A fixed-size part of a packet (a head or a tail) into which values are written at byte
// positions. Bytes not yet written read as 0. A write that would reach outside the part is
// refused and changes nothing. A plain value; one part is used by one thread at a time.
class VEX_PROTOCOL_EXPORT CvexAbstractPartProtocol {
public:
    explicit CvexAbstractPartProtocol(int mode = 1);

    // Grows with zeros or shrinks to `size` bytes.
    void setFixedSize(int size);
    int fixedSize() const;
    // Copies `size` bytes from `src` to `pos` in memory order; false when refused.
    bool setPartValue(int pos, const void* src, int size);
    // A copy of the part's bytes.
    CvexByteArray buffer() const;
    int mode() const { return _mode; }

private:
    int _mode;
    std::vector<char> _bytes;
};

} // namespace Orrery

#endif // VEXABSTRACTPARTPROTOCOL_H
