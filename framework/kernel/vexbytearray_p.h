// SPDX-License-Identifier: MIT
//
// Not part of the public API: the bytes behind CvexByteArray.
#ifndef VEXBYTEARRAY_P_H
#define VEXBYTEARRAY_P_H

#include <string>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define VEX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEX_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef VEX_ADDRESS_SANITIZER
#define VEX_ADDRESS_SANITIZER 0
#endif

namespace Orrery {

// The bytes that one or more copies of a CvexByteArray share, followed by a NUL that size() does
// not count. A parser that reads one byte past a datagram would find that NUL and carry on as if
// the datagram had ended in 0, so under AddressSanitizer the NUL and the spare capacity behind it
// are poisoned: such a read is reported. Every change goes through change(), which lifts the
// poison for the string's own writes and lays it behind the new end. Only the one array that
// holds the bytes alone may change them.
class CvexByteArrayData {
public:
    CvexByteArrayData() { poisonTail(); }
    explicit CvexByteArrayData(std::string bytes) : _bytes(std::move(bytes)) { poisonTail(); }
    CvexByteArrayData(const CvexByteArrayData& other) : _bytes(other._bytes) { poisonTail(); }
    CvexByteArrayData& operator=(const CvexByteArrayData&) = delete;
    ~CvexByteArrayData() { unpoisonTail(); }

    const std::string& bytes() const { return _bytes; }
    // The bytes may be written, up to size() and no further.
    char* data() { return _bytes.data(); }

    // Runs `change` on the string, which it may write, grow, shrink or reallocate.
    template <typename Change> void change(Change&& change)
    {
        unpoisonTail();
        std::forward<Change>(change)(_bytes);
        poisonTail();
    }

private:
    // From the NUL to the end of the string's buffer, so that the poisoned bytes reach the end
    // of the memory granule AddressSanitizer tracks them in.
    void poisonTail() const;
    void unpoisonTail() const;

    std::string _bytes;
};

} // namespace Orrery

#endif // VEXBYTEARRAY_P_H
