// Paths of a swap: names relative to the program folder. How names compare,
// join and nest is the shared floor's (base/Paths.h).
#pragma once

#include "base/Paths.h"

#include <string>
#include <vector>

// A name that stays inside the folder it is joined to: not empty, not rooted,
// no drive or stream, no "." or ".." part, no part that Win32 would shorten
// (trailing dots and blanks), no control character, '\' between parts.
bool IsSafeRelativePath(const std::wstring& path);

// A drive path ("C:\...") or a share ("\\server\...").
bool IsAbsolutePath(const std::wstring& path);

// The folders that hold a relative path, outermost first: "a\b\c" gives "a", "a\b".
std::vector<std::wstring> ParentFolders(const std::wstring& relative);
