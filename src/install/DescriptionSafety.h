// Checks for what a downloaded update description may make the library do. The
// description travels over plain HTTP and can be altered on the way, so a path
// or an address it names is used only after one of these has accepted it.
#pragma once

#include "framework/AfxString.h"

// A "DelFile%d" or "DelDirName%d" entry joined to the host program folder: true
// with the full path (at most MAX_PATH - 1 characters) when the entry names
// something strictly inside that folder; false with out empty otherwise.
bool ResolveDeletionPath(LPCWSTR pszHostFolder, LPCWSTR pszEntry, CString& out);

// True when one path is the other or lies inside it, the pieces compared
// without regard to case once "." and ".." are resolved; true for an empty path.
bool PathsOverlap(LPCWSTR pszPath, LPCWSTR pszFolder);

// A settings item's file after token replacement: true with the normalised path
// when it names a ".ini" file strictly inside the host program folder, or inside
// the common application-data folder but not its "Microsoft" subtree, and
// outside the update folder of the host program folder and pszUpdateFolder
// (the library's; null for none); false with out empty otherwise.
bool ResolveSettingsFile(LPCWSTR pszFile, LPCWSTR pszHostFolder, LPCWSTR pszCommonAppDataFolder,
                         LPCWSTR pszUpdateFolder, CString& out);

// True for an http or https address with a host, the only kind the shell may open for us.
bool IsWebAddress(LPCWSTR pszAddress);
