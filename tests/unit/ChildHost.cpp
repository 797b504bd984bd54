#include "unit/ChildHost.h"

#include "support/WindowDriver.h"

namespace {

struct WindowCensus {
    DWORD dwProcessId;
    size_t n;
};

BOOL CALLBACK CountChildWindow(HWND hWnd, LPARAM lParam)
{
    auto* census = reinterpret_cast<WindowCensus*>(lParam);
    DWORD dwOwner = 0;
    wchar_t className[64] = {};
    ::GetWindowThreadProcessId(hWnd, &dwOwner);
    ::GetClassNameW(hWnd, className, 64);
    if (dwOwner == census->dwProcessId && std::wstring(className) == L"KillChildWindow")
        ++census->n;
    return TRUE;
}

} // namespace

ChildHost::ChildHost(const std::wstring& arguments)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path);
    exe.erase(exe.find_last_of(L'\\') + 1);
    exe += L"kill_child.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        m_process.Reset(pi.hProcess);
        m_dwId = pi.dwProcessId;
    }
}

ChildHost::~ChildHost()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
        ::TerminateProcess(m_process.Get(), 99);
}

size_t ChildHost::WindowCount() const
{
    WindowCensus census{m_dwId, 0};
    ::EnumWindows(CountChildWindow, reinterpret_cast<LPARAM>(&census));
    return census.n;
}

bool ChildHost::WaitForWindows(size_t n) const
{
    return testing_support::WaitUntil([&] { return WindowCount() >= n; });
}

DWORD ChildHost::WaitForExitCode(DWORD timeoutMs) const
{
    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(m_process.Get(), &code);
    return code;
}
