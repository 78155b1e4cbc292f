// SPDX-License-Identifier: MIT
#include "vexvariant.h"

#include <climits>
#include <cmath>

namespace Orrery {

namespace {

template <typename T> T failed(bool* ok)
{
    if (ok)
        *ok = false;
    return T{};
}

template <typename T> T succeeded(bool* ok, T value)
{
    if (ok)
        *ok = true;
    return value;
}

// Doubles convert by truncation toward zero when the truncated value fits [low, high].
bool truncatedInRange(double value, double low, double high, double* result)
{
    if (!std::isfinite(value))
        return false;
    const double truncated = std::trunc(value);
    if (truncated < low || truncated > high)
        return false;
    *result = truncated;
    return true;
}

} // namespace

CvexVariant::CvexVariant(int value) : _type(Int)
{
    _value.i = value;
}

CvexVariant::CvexVariant(unsigned int value) : _type(UInt)
{
    _value.u = value;
}

CvexVariant::CvexVariant(double value) : _type(Double)
{
    _value.d = value;
}

int CvexVariant::toInt(bool* ok) const
{
    switch (_type) {
    case Int:
        return succeeded(ok, _value.i);
    case UInt:
        if (_value.u > static_cast<unsigned int>(INT_MAX))
            return failed<int>(ok);
        return succeeded(ok, static_cast<int>(_value.u));
    case Double: {
        double truncated = 0;
        if (!truncatedInRange(_value.d, INT_MIN, INT_MAX, &truncated))
            return failed<int>(ok);
        return succeeded(ok, static_cast<int>(truncated));
    }
    case Null:
        break;
    }
    return failed<int>(ok);
}

unsigned int CvexVariant::toUInt(bool* ok) const
{
    switch (_type) {
    case Int:
        if (_value.i < 0)
            return failed<unsigned int>(ok);
        return succeeded(ok, static_cast<unsigned int>(_value.i));
    case UInt:
        return succeeded(ok, _value.u);
    case Double: {
        double truncated = 0;
        if (!truncatedInRange(_value.d, 0.0, UINT_MAX, &truncated))
            return failed<unsigned int>(ok);
        return succeeded(ok, static_cast<unsigned int>(truncated));
    }
    case Null:
        break;
    }
    return failed<unsigned int>(ok);
}

double CvexVariant::toDouble(bool* ok) const
{
    switch (_type) {
    case Int:
        return succeeded(ok, static_cast<double>(_value.i));
    case UInt:
        return succeeded(ok, static_cast<double>(_value.u));
    case Double:
        return succeeded(ok, _value.d);
    case Null:
        break;
    }
    return failed<double>(ok);
}

const void* CvexVariant::constData() const
{
    return _value.bytes;
}

// Values of different kinds never compare equal: a stored value is compared exactly as it was
// given.
bool operator==(const CvexVariant& a, const CvexVariant& b)
{
    if (a._type != b._type)
        return false;
    switch (a._type) {
    case CvexVariant::Int:
        return a._value.i == b._value.i;
    case CvexVariant::UInt:
        return a._value.u == b._value.u;
    case CvexVariant::Double:
        return a._value.d == b._value.d;
    case CvexVariant::Null:
        break;
    }
    return true;
}

bool operator!=(const CvexVariant& a, const CvexVariant& b)
{
    return !(a == b);
}

} // namespace Orrery
