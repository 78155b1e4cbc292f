// SPDX-License-Identifier: MIT
// Feeds arbitrary datagrams to the reply parsers. The first byte chooses the packet type, the rest
// is the datagram. The storage knows a few items of every value type, so that triggered data and
// value records reach the conversions and the storage writes.
#include "vexabstractdatastorage.h"
#include "vexbytearray.h"
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

// Items 0 to 15 carry value type (and data type code) equal to their ID.
bool declareItems()
{
    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    for (unsigned int id = 0; id < KnownItems; ++id) {
        storage->addItem(id, "item" + std::to_string(id), static_cast<unsigned char>(id));
        storage->setItemProperty(id, "ValueT", CvexVariant(id));
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool declared = declareItems();
    static CvexPlcProtocolFactory factory;
    static_cast<void>(declared);
    if (size == 0)
        return 0;
    const int code = ReceiveCodes[data[0] % (sizeof ReceiveCodes / sizeof ReceiveCodes[0])];
    const CvexByteArray datagram(reinterpret_cast<const char*>(data + 1),
                                 static_cast<int>(size - 1));
    factory.protocol(code)->parseProtocol(datagram);
    return 0;
}
