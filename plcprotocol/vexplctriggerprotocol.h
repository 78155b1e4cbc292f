// SPDX-License-Identifier: MIT
#ifndef VEXPLCTRIGGERPROTOCOL_H
#define VEXPLCTRIGGERPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

class CvexParseTrigger;
class CvexParseTriggerFeature;

// Trigger definitions (arg: CvexParseTrigger*) and the PLC's acknowledgement with its group ID.
// Owned by the protocol factory; every compose and parse takes the object's lock, so any thread
// may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcTriggerProtocol : public CvexAbstractPlcTriggerProtocol {
public:
    // The payload of a definition is staged in an area of this size; larger ones are refused.
    static constexpr int PayloadAreaSize = 1460;

    CvexPlcTriggerProtocol();
    ~CvexPlcTriggerProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;

    // Encodes one feature at `buffer` and returns the bytes written (at least 2). Returns 0 and
    // writes nothing when the buffer or the feature is null or the encoding exceeds `capacity`.
    int composeTriggerFeature(void* buffer, CvexParseTriggerFeature* feature,
                              int capacity = PayloadAreaSize);
    // Bytes the encoding of `feature` takes.
    static long long triggerFeatureSize(const CvexParseTriggerFeature& feature);
    // Payload bytes the definition of `trigger` takes; above PayloadAreaSize it is never sent.
    static long long definitionSize(const CvexParseTrigger& trigger);
};

} // namespace Orrery

#endif // VEXPLCTRIGGERPROTOCOL_H
