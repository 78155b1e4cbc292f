// SPDX-License-Identifier: MIT
#ifndef VEXFILE_H
#define VEXFILE_H

#include "vexdevice.h"
#include "vexglobal.h"
#include "vexstring.h"

#include <cstdio>

namespace Orrery {

// A file on disk. Destruction closes it.
class VEX_KERNEL_EXPORT CvexFile : public CvexDevice {
public:
    explicit CvexFile(const CvexString& name, CvexObject* parent = nullptr);
    ~CvexFile() override;

    // ReadOnly opens an existing file; WriteOnly creates or truncates it.
    bool open(int mode) override;
    void close() override;
    CvexByteArray readAll() override;
    long long write(const CvexByteArray& data) override;
    CvexString fileName() const { return _name; }

private:
    CvexString _name;
    std::FILE* _file = nullptr;
};

} // namespace Orrery

#endif // VEXFILE_H
