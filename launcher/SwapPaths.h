// Paths of a swap: names relative to the program folder, and how they compare.
#pragma once

#include <string>
#include <vector>

// A name that stays inside the folder it is joined to: not empty, not rooted,
// no drive or stream, no "." or ".." part, no part that Win32 would shorten
// (trailing dots and blanks), no control character, '\' between parts.
bool IsSafeRelativePath(const std::wstring& path);

// path is folder or lies under it, without regard to case. Both absolute,
// without a trailing backslash.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative);

// The folders that hold a relative path, outermost first: "a\b\c" gives "a", "a\b".
std::vector<std::wstring> ParentFolders(const std::wstring& relative);

// Ordinal comparison without regard to case, as the file system names files.
bool LessIgnoringCase(const std::wstring& a, const std::wstring& b);
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b);
