// What the launcher reads and writes in the installed record (update\update.log)
// around a new release's health check.
#pragma once

#include <windows.h>

#include <string>

// [Update] ConfirmWithin of the record in the program folder: a whole number
// of seconds above 0; false when the key is absent or not such a number.
bool ReadConfirmDeadline(const std::wstring& programFolder, DWORD& seconds);

// After a rollback: [Update] RolledBack names the version that was being
// installed ([Update] Version), so that the library does not offer it again,
// and the kept description and package go, so that no later completion call
// records that version as installed.
void RecordRolledBack(const std::wstring& programFolder);
