// SPDX-License-Identifier: MIT
#include "childprocess.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace vextest {

namespace {

std::wstring wide(const std::string& utf8)
{
    return std::filesystem::u8path(utf8).wstring();
}

// A cross build names its programs by their Linux paths; under wine the root is drive Z:.
std::wstring programPath(const std::string& path)
{
    std::wstring native = (path.rfind('/', 0) == 0 ? L"Z:" : L"") + wide(path);
    std::replace(native.begin(), native.end(), L'/', L'\\');
    return native;
}

// Quoted as the C runtime's command-line parser splits it again.
std::wstring quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L"\"";
}

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The child writes its standard streams in text mode, each line end as CR LF.
std::string withoutCarriageReturns(std::string text)
{
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
{
    std::wstring commandLine = quoted(programPath(argv.at(0)));
    for (size_t i = 1; i < argv.size(); ++i)
        commandLine += L" " + quoted(wide(argv[i]));
    const HANDLE in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE out = inheritable(wide(_folder.path() + "/out"), GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = inheritable(wide(_folder.path() + "/err"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(programPath(argv.at(0)).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    for (HANDLE handle : {in, out, err}) {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    if (!started)
        throw std::runtime_error("cannot start " + argv.at(0));
    CloseHandle(process.hThread);
    _process = process.hProcess;
}

bool BackgroundProcess::waitFor(std::chrono::milliseconds timeout)
{
    if (WaitForSingleObject(_process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(_process, &_exitCode);
    return true;
}

ProcessResult BackgroundProcess::stop(std::chrono::milliseconds timeout)
{
    if (_stopped)
        return _result;
    _stopped = true;
    if (!waitFor(timeout)) {
        _result.timedOut = true;
        TerminateProcess(_process, 1);
        WaitForSingleObject(_process, INFINITE);
        _exitCode = static_cast<unsigned long>(-1);
    }
    CloseHandle(_process);
    _result.exitCode = static_cast<int>(_exitCode);
    _result.out = withoutCarriageReturns(readFile(_folder.path() + "/out"));
    _result.err = withoutCarriageReturns(readFile(_folder.path() + "/err"));
    return _result;
}

} // namespace vextest
