// SPDX-License-Identifier: MIT
#include "vexplatform_p.h"

#include <windows.h>

#include <timeapi.h>

namespace Orrery {
namespace vexplatform {

namespace {

std::wstring wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &text[0], length);
    return text;
}

} // namespace

// The narrow fopen reads the name in the ANSI code page, where "Größe" is not what the host meant.
std::FILE* openFile(const std::string& utf8Name, const char* mode)
{
    const std::wstring name = wide(utf8Name);
    if (name.empty())
        return nullptr;
    return ::_wfopen(name.c_str(), wide(mode).c_str());
}

void requestFineTimers()
{
    ::timeBeginPeriod(1);
}

void releaseFineTimers()
{
    ::timeEndPeriod(1);
}

} // namespace vexplatform
} // namespace Orrery
