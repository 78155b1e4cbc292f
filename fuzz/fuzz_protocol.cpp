// SPDX-License-Identifier: MIT
// Feeds arbitrary datagrams to the reply parsers. The first byte chooses the packet type, the rest
// is the datagram. The storage knows a few items of every value type, so that triggered data and
// value records reach the conversions and the storage writes.
#include "vexabstractcontroldata.h"
#include "vexabstractdatastorage.h"
#include "vexbytearray.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vexplcprotocolfactory.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace Orrery;

constexpr int ReceiveCodes[] = {1001, 1002, 1003, 1004, 1005, 1006,
                                1007, 1008, 1009, 1015, 1017, 1018};
constexpr unsigned int KnownItems = 16;
// The stand-ins keep every value and log entry, so a long run would only measure their growth.
constexpr unsigned int InputsBetweenResets = 4096;

// Items 0 to 15 carry value type (and data type code) equal to their ID.
void declareItems()
{
    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    storage->clear();
    for (int type = 0; type <= 2; ++type)
        CvexControlDataFactory::instance()->get(type)->clear();
    for (unsigned int id = 0; id < KnownItems; ++id) {
        storage->addItem(id, "item" + std::to_string(id), static_cast<unsigned char>(id));
        storage->setItemProperty(id, "ValueT", CvexVariant(id));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CvexPlcProtocolFactory factory;
    static unsigned int inputs = 0;
    if (inputs++ % InputsBetweenResets == 0)
        declareItems();
    if (size == 0)
        return 0;
    const int code = ReceiveCodes[data[0] % (sizeof ReceiveCodes / sizeof ReceiveCodes[0])];
    const CvexByteArray datagram(reinterpret_cast<const char*>(data + 1),
                                 static_cast<int>(size - 1));
    factory.protocol(code)->parseProtocol(datagram);
    return 0;
}
