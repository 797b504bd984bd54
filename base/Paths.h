// Paths as the file system reads them: names compared without regard to case,
// the folder of a path, joining, and the module's own folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Ordinal comparison without regard to case, as the file system compares names.
bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b);
bool LessIgnoringCase(std::wstring_view a, std::wstring_view b);
bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix);
// The same order for sets and maps of names.
struct IgnoringCaseLess {
    bool operator()(std::wstring_view a, std::wstring_view b) const { return LessIgnoringCase(a, b); }
};

// The folder that holds what path names ('\' or '/' between names), without
// the final separator unless it is a root: "C:\app" for "C:\app\host.exe",
// "C:\" for "C:\host.exe" ("C:" alone would name the current folder of drive
// C), "\" for "\host.exe". Empty for a bare name.
std::wstring FolderOf(const std::wstring& path);

// relative inside folder, with one backslash between them ("C:\" + "x" is "C:\x").
std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative);

// path is folder or lies under it, without regard to case. Both absolute; a
// folder may end with a backslash (a root does).
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// The folder of a module's file (null: the process's executable); empty when
// the platform cannot tell.
std::wstring ModuleFolder(HMODULE hModule);
