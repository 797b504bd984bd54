// The sample host's version, from its own version resource.
#pragma once

#include <windows.h>

#include <string>

// "major.minor", then the build and the revision only when they are not zero:
// 1.1.0.0 reads "1.1", 1.1.0.3 reads "1.1.0.3".
std::wstring FormatVersion(DWORD versionMS, DWORD versionLS);

// The file version of this program; empty when it has none.
std::wstring OwnVersion();
