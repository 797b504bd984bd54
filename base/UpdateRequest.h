// The command line "update.exe <url> [/pid pid] [/s]", read by one grammar for
// the library and for the launcher, so that both take the same facts. Two
// switches only the launcher hands the library: "delta" (the caller applies a
// delta package itself) and "full" (the full package, installed without asking
// again: a delta could not be applied after the person pressed Install).
#pragma once

#include <windows.h>

#include <string>

inline constexpr wchar_t kAppliesDeltasSwitch[] = L"delta";
inline constexpr wchar_t kFullPackageSwitch[] = L"full";

struct UpdateRequest {
    std::wstring url;     // the first plain argument
    DWORD processId = 0;  // the first non-zero value after the "pid" switch
    bool silent = false;  // the "s" switch
    bool appliesDeltas = false;  // the "delta" switch
    bool fullPackage = false;    // the "full" switch
};

// argv[0] is the program and is skipped. Switches begin with '-' or '/' and
// match without regard to case; unknown switches and extra values are
// ignored. A null vector reads as no arguments and a null element as an empty
// one, so that a careless host cannot crash the reader.
UpdateRequest ParseUpdateRequest(const LPCWSTR* argv, int argc);
