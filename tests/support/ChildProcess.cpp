#include "support/ChildProcess.h"

#include "support/WindowDriver.h"

namespace testing_support {

namespace {

struct WindowsOf {
    DWORD processId;
    std::vector<HWND>* windows;
};

BOOL CALLBACK CollectWindowOf(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowsOf*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner == search->processId)
        search->windows->push_back(hWnd);
    return TRUE;
}

std::wstring ClassNameOf(HWND hWnd)
{
    wchar_t name[256] = {};
    ::GetClassNameW(hWnd, name, ARRAYSIZE(name));
    return name;
}

} // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return;
    ::CloseHandle(pi.hThread);
    m_hProcess = pi.hProcess;
    m_dwId = pi.dwProcessId;
}

ChildProcess::~ChildProcess()
{
    if (!m_hProcess)
        return;
    if (!WaitForExit(0)) {
        ::TerminateProcess(m_hProcess, 1);
        ::WaitForSingleObject(m_hProcess, 10000);
    }
    ::CloseHandle(m_hProcess);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) const
{
    return m_hProcess && ::WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_hProcess)
        ::GetExitCodeProcess(m_hProcess, &code);
    return code;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    std::vector<HWND> windows;
    WindowsOf search = {processId, &windows};
    ::EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return windows;
}

HWND WaitForWindowOf(DWORD processId, LPCWSTR className, const std::function<bool(HWND)>& matches, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND hWnd : TopLevelWindowsOf(processId)) {
            if (!::IsWindowVisible(hWnd) || (className && ClassNameOf(hWnd) != className))
                continue;
            if (!matches || matches(hWnd)) {
                found = hWnd;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

} // namespace testing_support
