// SPDX-License-Identifier: MIT
#include "vexplcmoldsetprotocol.h"

#include "vexdbstoragefactory.h"
#include "vexparseplccommon.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"
#include "vexplcvaluerecord.h"

#include <vector>

namespace Orrery {

namespace {
constexpr unsigned int MoldRecordArea = 1460;
// Records are staged in the area above; a larger pack is cut so that the PLC's acknowledgement
// is compared with what was really sent.
constexpr unsigned int MaxMoldRecords = MoldRecordArea / PlcRecords::RecordSize;
} // namespace

CvexPlcMoldSetProtocol::CvexPlcMoldSetProtocol()
{
    setSendType(PlcPacket::MoldSet.sendCode);
    setReceiveType(PlcPacket::MoldSet.receiveCode);
}

CvexPlcMoldSetProtocol::~CvexPlcMoldSetProtocol() = default;

int CvexPlcMoldSetProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray&, void* arg)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    auto* block = static_cast<CvexParseMoldBlock*>(arg);
    if (block == nullptr)
        return -1;
    const std::vector<unsigned int> ids = block->dataIDSet().array();
    const unsigned int start = block->queryStartPos();
    if (start >= ids.size())
        return -1;
    const std::size_t remaining = ids.size() - start;
    std::size_t pack = block->queryPackSize();
    if (remaining <= pack)
        pack = remaining;
    else if (pack == 0)
        return -1;
    if (pack > MaxMoldRecords)
        pack = MaxMoldRecords;
    block->setPackSize(static_cast<unsigned int>(pack));

    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    if (storage == nullptr)
        return -1;
    const std::vector<CvexDataItem> items = storage->dataItems(
        std::vector<unsigned int>(ids.begin() + start, ids.begin() + start + pack));
    if (items.empty())
        return -1;

    CvexByteArray records;
    unsigned int count = 0;
    for (const CvexDataItem& item : items) {
        if (item.value.isNull() || count == MaxMoldRecords)
            continue;
        CvexPlcValueRecord::append(records, item.dataID, item.dataType, item.value);
        ++count;
    }
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    return d->finishPacket(out, records);
}

int CvexPlcMoldSetProtocol::parseProtocol(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.size() < d->minimumReplySize())
        return -1;
    return PlcBytes::getU16(in, d->countPos);
}

} // namespace Orrery
