// The running host named by /pid, remembered before the update ends it.
#pragma once

#include "base/Handles.h"

#include <string>

class CHostProcess {
public:
    // Nothing is remembered for 0, for this very process, or for a process
    // that cannot be opened (already gone, or no access).
    explicit CHostProcess(DWORD processId);

    // The host's executable; empty when no host is known.
    const std::wstring& Path() const { return m_path; }

    // Its main window: the first visible top-level window without an owner.
    HWND MainWindow() const;

    // True once the host is gone (or none is known); waits at most waitMs.
    bool WaitForExit(DWORD waitMs) const;

private:
    DWORD m_dwProcessId = 0;
    CHandle m_process;
    std::wstring m_path;
};
