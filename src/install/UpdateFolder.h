// The update folder beside the library's module and the files the library
// keeps there (their names: base/UpdateLayout.h), and the host's edition flag.
#pragma once

#include "framework/AfxString.h"

// "update" in the folder of the library's module.
CString UpdateFolderPath();

// A file's path in the update folder, which is made on the way unless the
// caller only looks (bCreateFolder FALSE). An existing folder, or one that
// cannot be made, is left to the file operation that follows.
CString UpdateFilePath(LPCWSTR pszName, BOOL bCreateFolder = TRUE);

// Removes a fetched description, so that nothing acts on it later. Never
// makes the folder: a cancel before anything was fetched leaves no trace.
void DeleteFetchedDescription();

// "IsProUpdate" of [Config] in the host's "Ambrel.ini" as it is now: nonzero
// for the professional edition.
BOOL ReadEditionFlag();
