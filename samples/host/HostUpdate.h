// How the sample host starts an update: update.exe beside it, with the address
// from its configuration file and its own process identifier.
#pragma once

#include <windows.h>

#include <string>

// "<updateExe>" <url> /pid <processId>
std::wstring BuildUpdateCommandLine(const std::wstring& updateExe, const std::wstring& url, DWORD processId);

// The service address: [Config] UpdateUrl of "Ambrel.ini" beside the program.
std::wstring ConfiguredUpdateUrl();

// Starts update.exe beside the program; the error code of CreateProcessW, or 0.
DWORD StartUpdate(const std::wstring& url);
