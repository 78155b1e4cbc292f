// SPDX-License-Identifier: MIT
#include "vexfile.h"
#include "vexplatform_p.h"

namespace Orrery {

namespace {

const char* fopenMode(int mode)
{
    switch (mode) {
    case CvexDevice::ReadOnly:
        return "rb";
    case CvexDevice::WriteOnly:
        return "wb";
    case CvexDevice::ReadWrite:
        return "r+b";
    default:
        return nullptr;
    }
}

} // namespace

CvexFile::CvexFile(const CvexString& name, CvexObject* parent) : CvexDevice(parent), _name(name) {}

CvexFile::~CvexFile()
{
    close();
}

bool CvexFile::open(int mode)
{
    const char* fileMode = fopenMode(mode);
    if (isOpen() || !fileMode || _name.isEmpty())
        return false;
    _file = vexplatform::openFile(_name.toStdString(), fileMode);
    if (!_file)
        return false;
    setOpenMode(mode);
    return true;
}

void CvexFile::close()
{
    if (_file)
        std::fclose(_file);
    _file = nullptr;
    setOpenMode(NotOpen);
}

CvexByteArray CvexFile::readAll()
{
    CvexByteArray content;
    if (!_file || !(openMode() & ReadOnly))
        return content;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), _file)) > 0)
        content.append(chunk, static_cast<int>(got));
    if (std::ferror(_file))
        return CvexByteArray();
    return content;
}

long long CvexFile::write(const CvexByteArray& data)
{
    if (!_file || !(openMode() & WriteOnly))
        return -1;
    const auto size = static_cast<std::size_t>(data.size());
    if (std::fwrite(data.constData(), 1, size, _file) != size || std::fflush(_file) != 0)
        return -1;
    return static_cast<long long>(size);
}

} // namespace Orrery
