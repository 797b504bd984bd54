// What the launcher reads from the host's command line "update.exe <url> [/pid pid] [/s]",
// with the grammar the library applies to the same arguments.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct LaunchRequest {
    std::wstring url;        // the first plain argument
    DWORD processId = 0;     // the first non-zero value after the "pid" switch
    bool silent = false;     // the "s" switch
};

// args[0] is the program and is skipped. Switches begin with '-' or '/' and
// match without regard to case; unknown switches and extra values are ignored.
LaunchRequest ParseLaunchRequest(const std::vector<std::wstring>& args);
