// Writing files in a folder that others may write (the update folder): a
// file is created, written, replaced or deleted only where it really is,
// never through a link (a symbolic link, a junction, any reparse point) that
// someone planted at its name. Built on the link-safe deletion (ItemDeletion.h).
#pragma once

#include "base/Handles.h"

#include <string>

// The error a refusal leaves: a link, or something else that is no file of its
// own, stands at the name and could not be removed as itself.
inline constexpr DWORD kLinkInTheWay = ERROR_CANT_ACCESS_FILE;

// Where the platform really places a folder: its final path, without a
// trailing backslash; empty when it cannot be opened.
std::wstring FinalFolderPath(const std::wstring& folder);

// Where the item at path must really be: the real place of its folder, and its
// own name. Empty when the platform cannot tell.
std::wstring ExpectedFinalPath(const std::wstring& path);

// Nothing stands at path, or a plain file that the platform reaches at that
// very place: what a write by name (the profile API) may go to.
bool IsNothingOrPlainFileAt(const std::wstring& path);

// Removes the file at path, or a link there as a link; never a link's target,
// never a folder. True when nothing stands at path afterwards.
bool RemoveFileAt(const std::wstring& path);

// A new, empty file at path: whatever file or link stood there is removed
// first, as RemoveFileAt does. Null, with the error set, when something stays.
CHandle CreateNewFileAt(const std::wstring& path, DWORD access, DWORD share, DWORD attributes);

// The plain file at path, opened as it is; null, with the error set, when it
// is missing, a folder, a link, or reached through one.
CHandle OpenPlainFileAt(const std::wstring& path, DWORD access, DWORD share);

// Moves the plain file at from onto to, replacing a plain file there; a link
// at to is removed as a link first. Never copies: a copy would write through
// whatever stands at to by then.
bool ReplaceFileAt(const std::wstring& from, const std::wstring& to);
