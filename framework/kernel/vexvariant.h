// SPDX-License-Identifier: MIT
#ifndef VEXVARIANT_H
#define VEXVARIANT_H

#include "vexglobal.h"

namespace Orrery {

// A value that holds nothing, an int, an unsigned int or a double.
class VEX_KERNEL_EXPORT CvexVariant {
public:
    enum Type { Null, Int, UInt, Double };

    CvexVariant() = default;
    CvexVariant(int value);
    CvexVariant(unsigned int value);
    CvexVariant(double value);

    Type type() const { return _type; }
    bool isNull() const { return _type == Null; }

    // Conversions; *ok is false (and the result 0) for a null variant or a value out of range.
    int toInt(bool* ok = nullptr) const;
    unsigned int toUInt(bool* ok = nullptr) const;
    double toDouble(bool* ok = nullptr) const;

    // The bytes of the held value in memory order (4 for Int and UInt, 8 for Double, 8 zero
    // bytes for Null).
    const void* constData() const;

    // Equal when both hold the same kind and value: CvexVariant(1) != CvexVariant(1u).
    friend VEX_KERNEL_EXPORT bool operator==(const CvexVariant& a, const CvexVariant& b);
    friend VEX_KERNEL_EXPORT bool operator!=(const CvexVariant& a, const CvexVariant& b);

private:
    Type _type = Null;
    union {
        int i;
        unsigned int u;
        double d;
        unsigned char bytes[8];
    } _value{};
};

} // namespace Orrery

#endif // VEXVARIANT_H
