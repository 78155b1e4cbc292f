// SPDX-License-Identifier: MIT
#ifndef VEXEVENT_H
#define VEXEVENT_H

#include "vexglobal.h"

namespace Orrery {

// Events an object may be handed. The stand-in delivers none of them itself; they exist so that
// objects keep the virtual interface hosts written for the platform expect.
class VEX_KERNEL_EXPORT CvexEvent {
public:
    enum Type { None = 0, Timer = 1, ChildAdded = 68, ChildRemoved = 71, User = 1000 };

    explicit CvexEvent(Type type) : _type(type) {}
    virtual ~CvexEvent();
    Type type() const { return _type; }

private:
    Type _type;
};

class VEX_KERNEL_EXPORT CvexTimerEvent : public CvexEvent {
public:
    explicit CvexTimerEvent(int timerId) : CvexEvent(Timer), _timerId(timerId) {}
    int timerId() const { return _timerId; }

private:
    int _timerId;
};

class CvexObject;

class VEX_KERNEL_EXPORT CvexChildEvent : public CvexEvent {
public:
    CvexChildEvent(Type type, CvexObject* child) : CvexEvent(type), _child(child) {}
    CvexObject* child() const { return _child; }

private:
    CvexObject* _child;
};

class VEX_KERNEL_EXPORT CvexCustomEvent : public CvexEvent {
public:
    explicit CvexCustomEvent(int type) : CvexEvent(static_cast<Type>(type)) {}
};

class VEX_KERNEL_EXPORT CvexDataSensorEvent : public CvexEvent {
public:
    explicit CvexDataSensorEvent(unsigned int dataID)
        : CvexEvent(static_cast<Type>(User + 1)), _dataID(dataID)
    {
    }
    unsigned int dataID() const { return _dataID; }

private:
    unsigned int _dataID;
};

struct CvexMetaProperty {
    enum Call { InvokeMetaMethod, ReadProperty, WriteProperty };
};

} // namespace Orrery

#endif // VEXEVENT_H
