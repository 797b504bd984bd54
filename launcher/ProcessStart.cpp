#include "ProcessStart.h"

#include <vector>

DWORD StartProcess(const wchar_t* program, const std::wstring& commandLine, const wchar_t* folder,
                   CStartedProcess& started)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi))
        return ::GetLastError();
    started.process.Reset(pi.hProcess);
    started.thread.Reset(pi.hThread);
    return 0;
}

bool RunToEnd(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder,
              DWORD& exitCode)
{
    CStartedProcess started;
    if (StartProcess(program.c_str(), commandLine, folder.c_str(), started) != 0)
        return false;
    ::WaitForSingleObject(started.process.Get(), INFINITE);
    return ::GetExitCodeProcess(started.process.Get(), &exitCode) != FALSE;
}
