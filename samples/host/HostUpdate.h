// How the sample host starts an update: update.exe beside it, with the address
// from its configuration file and its own process identifier. Like any host,
// it knows only include/update.h and its own code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "<updateExe>" "<url>" /pid <processId>. An address holds no quote (it is
// written %22), so quoting it is enough.
std::wstring BuildUpdateCommandLine(const std::wstring& updateExe, const std::wstring& url, DWORD processId);

// The service address: [Config] UpdateUrl of "Ambrel.ini" beside the program.
std::wstring ConfiguredUpdateUrl();

// Starts update.exe beside the program; the error code of CreateProcessW, or 0.
DWORD StartUpdate(const std::wstring& url);

// The program's arguments, args[0] its own name.
std::vector<std::wstring> CommandLineArguments(LPCWSTR pszCommandLine);

// The launcher starts the host again with "/updated" (or "-updated", in any
// case) once it has applied a package; the host then calls NotifyEvent(0).
// args[0] is the program and is skipped.
bool IsStartedAfterUpdate(const std::vector<std::wstring>& args);
