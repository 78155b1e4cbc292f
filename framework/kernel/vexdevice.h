// SPDX-License-Identifier: MIT
#ifndef VEXDEVICE_H
#define VEXDEVICE_H

#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexobject.h"

namespace Orrery {

// A source and sink of bytes. One device is used by one thread at a time.
class VEX_KERNEL_EXPORT CvexDevice : public CvexObject {
public:
    enum OpenModeFlag { NotOpen = 0, ReadOnly = 1, WriteOnly = 2, ReadWrite = 3 };

    explicit CvexDevice(CvexObject* parent = nullptr);
    ~CvexDevice() override;

    virtual bool open(int mode);
    virtual void close();
    bool isOpen() const { return _openMode != NotOpen; }
    int openMode() const { return _openMode; }

    // Everything left to read; empty on failure.
    virtual CvexByteArray readAll();
    // Bytes written, or -1.
    virtual long long write(const CvexByteArray& data);

protected:
    void setOpenMode(int mode) { _openMode = mode; }

private:
    int _openMode = NotOpen;
};

} // namespace Orrery

#endif // VEXDEVICE_H
