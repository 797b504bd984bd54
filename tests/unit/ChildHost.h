// A stand-in host (tests/kill_child) started from the folder of this program,
// for the tests that end a host process from outside.
#pragma once

#include "framework/AfxHandle.h"

#include <string>

class ChildHost {
public:
    explicit ChildHost(const std::wstring& arguments);
    // Terminates the child when it is still running.
    ~ChildHost();
    ChildHost(const ChildHost&) = delete;
    ChildHost& operator=(const ChildHost&) = delete;

    bool Started() const { return static_cast<bool>(m_process); }
    DWORD Id() const { return m_dwId; }

    size_t WindowCount() const;
    bool WaitForWindows(size_t n) const;

    // The exit code once the process has ended; STILL_ACTIVE after the time-out.
    DWORD WaitForExitCode(DWORD timeoutMs = 30000) const;

private:
    CHandle m_process;
    DWORD m_dwId = 0;
};
