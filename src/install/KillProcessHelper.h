// Ends the running host before its files are overwritten: asks its top-level
// windows to quit, waits a while, then terminates it.
#pragma once

#include <windows.h>

class CKillProcessHelper {
public:
    CKillProcessHelper() = default;
    virtual ~CKillProcessHelper();
    CKillProcessHelper(const CKillProcessHelper&) = delete;
    CKillProcessHelper& operator=(const CKillProcessHelper&) = delete;

    // TRUE when the process ended within the wait or was terminated; FALSE when
    // it could not be opened or terminated, or names this very process.
    BOOL KillProcess(DWORD dwProcessId);

    static const DWORD kQuitWaitMs = 5000;
};
