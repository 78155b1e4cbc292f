// SPDX-License-Identifier: MIT
#ifndef VEXPLCPROTOCOLFACTORY_H
#define VEXPLCPROTOCOLFACTORY_H

#include "vexabstractprotocol.h"
#include "vexglobal.h"
#include "vexnocopyable.h"

#include <memory>

namespace Orrery {

class CvexPlcProtocolFactoryPrivate;

// One protocol object per packet type, found by its send or receive code and created on first
// demand. The factory owns the objects until it is destroyed; the pointers it hands out stay valid
// that long. protocol() may be called from any thread: a new slot is filled under a lock.
class VEX_PLCCOMMON_EXPORT CvexPlcProtocolFactory : public CvexNoCopyable {
public:
    // {type code, slot} of every code the system sends or receives, in lookup order.
    static constexpr int PLCPROTOCOLTYPE[26][2] = {
        {1, 0},     {1001, 0}, {2, 1},     {1002, 1}, {3, 2},    {1003, 2}, {2004, 3},
        {1004, 3},  {5, 4},    {1005, 4},  {6, 5},    {1006, 5}, {7, 6},    {1007, 6},
        {8, 7},     {1008, 7}, {9, 8},     {1009, 8}, {17, 9},   {1017, 9}, {2018, 10},
        {1018, 10}, {15, 11},  {1015, 11}, {16, 11},  {1016, 11}};

    CvexPlcProtocolFactory();
    virtual ~CvexPlcProtocolFactory();

    // The object for `code`, or null for a code outside the table.
    CvexAbstractProtocol* protocol(int code);

private:
    std::unique_ptr<CvexPlcProtocolFactoryPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXPLCPROTOCOLFACTORY_H
