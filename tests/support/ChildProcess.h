// A program of the build run as a child process, and its windows found from outside.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    // Starts program with the whole command line (which names the program
    // first) in folder (empty: ours); Started() tells whether it ran.
    ChildProcess(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder = {});
    // A child still running is terminated: a failed test leaves nothing behind.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_hProcess != nullptr; }
    DWORD Id() const { return m_dwId; }

    // True once it has ended; waits at most timeoutMs.
    bool WaitForExit(DWORD timeoutMs = 60000) const;
    // Its exit code once it has ended, STILL_ACTIVE before.
    DWORD ExitCode() const;

private:
    HANDLE m_hProcess = nullptr;
    DWORD m_dwId = 0;
};

// Top-level windows of the process, visible or not.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);

// Waits for a visible top-level window of the process whose class is
// className (null: any) and that matches; null after the time-out.
HWND WaitForWindowOf(DWORD processId, LPCWSTR className, const std::function<bool(HWND)>& matches = {},
                     DWORD timeoutMs = 30000);

} // namespace testing_support
