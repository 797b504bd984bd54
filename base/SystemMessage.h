// The platform's text for an error code.
#pragma once

#include <windows.h>

#include <string>

// From hMessages' message table when given (WinINet's own errors), else the
// system's; without the final line break. "Error <code>" when there is none.
std::wstring SystemMessageText(DWORD dwError, HMODULE hMessages = nullptr);
