// Diagnostics for a developer's debugger: every fixed text of the library goes
// through here, so that they can be found in one place and logged in one.
#pragma once

#include <windows.h>

void AfxTrace(LPCWSTR pszText);
