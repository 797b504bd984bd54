// Starting a program with a command line built by BuildCommandLine.
#pragma once

#include "base/Handles.h"

#include <string>

struct CStartedProcess {
    CHandle process;
    CHandle thread;
};

// CreateProcessW with a copy of the command line (it may write into it).
// program may be null (then the command line names it); folder null keeps
// ours. Returns 0, or the error code of the failed call.
DWORD StartProcess(const wchar_t* program, const std::wstring& commandLine, const wchar_t* folder,
                   CStartedProcess& started);

// Starts program with the command line in folder and waits for its end; false
// when it could not be started.
bool RunToEnd(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder,
              DWORD& exitCode);
