// SPDX-License-Identifier: MIT
#ifndef VEXABSTRACTPROTOCOL_H
#define VEXABSTRACTPROTOCOL_H

#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexnocopyable.h"

#include <memory>

namespace Orrery {

class CvexAbstractProtocolPrivate;

// Base of every packet protocol: composes outgoing packets, parses incoming ones and stores what
// they carry. The object owns its private data, handed over by the constructor. The base forms
// of the three operations do nothing and return -1 (compose, parse) or 0 (store).
class VEX_PROTOCOL_EXPORT CvexAbstractProtocol : public CvexNoCopyable {
public:
    explicit CvexAbstractProtocol(CvexAbstractProtocolPrivate* d);
    virtual ~CvexAbstractProtocol();

    virtual int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg);
    virtual int parseProtocol(const CvexByteArray& in);
    virtual int writeToDataBase(const CvexByteArray& payload);

protected:
    // The private data of the whole hierarchy: a derived protocol installs a derived private
    // class through the constructor and reaches it by casting this pointer in its d_func().
    const std::unique_ptr<CvexAbstractProtocolPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXABSTRACTPROTOCOL_H
