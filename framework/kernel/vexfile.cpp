// SPDX-License-Identifier: MIT
#include "vexfile.h"
#include "vexplatform_p.h"

#include <limits>

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

// Bytes from the current position to the end; -1 when the file cannot tell.
long long remainingSize(std::FILE* file)
{
    const long position = std::ftell(file);
    if (position < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, position, SEEK_SET) != 0 || end < position)
        return -1;
    return end - position;
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
    // A file whose size is known is read in one piece into one allocation; whatever is left
    // (a file that grew, or one without a size) follows in chunks.
    const long long expected = remainingSize(_file);
    if (expected > 0 && expected < std::numeric_limits<int>::max()) {
        content = CvexByteArray(static_cast<int>(expected), '\0');
        const std::size_t got =
            std::fread(content.data(), 1, static_cast<std::size_t>(expected), _file);
        content.resize(static_cast<int>(got));
    }
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
