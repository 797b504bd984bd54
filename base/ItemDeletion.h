// Deleting files and folders by handle, never through a link. An item is
// opened without following a link at its last step and deleted only where the
// platform places it exactly at the path asked for: Wine follows a link even
// then, and deleting what it opened would delete the link's target.
#pragma once

#include "base/Handles.h"

#include <string>

// The item itself: a link as the link, not its target; folders open too.
CHandle OpenItemItself(const std::wstring& path, DWORD access);

// Where the handle really is, "\\?\" in front; empty when the platform cannot tell.
std::wstring FinalPathOf(HANDLE h);
std::wstring FinalPathOf(const std::wstring& path);

// Deletes the item at root, a final path as FinalPathOf gives it: a file, a
// link as a link, and with bFolderAllowed a folder with everything in it. A
// link met inside is never entered, and stays when the platform could remove
// it only by reaching its target.
void DeleteItemTree(const std::wstring& root, bool bFolderAllowed);

// Deletes the item at root alone, as DeleteItemTree would: a folder only when
// bFolderAllowed and it is empty. True when it was deleted.
bool DeleteSingleItem(const std::wstring& root, bool bFolderAllowed);

// Deletes the item at path, a full path as the caller spells it, with
// everything in it when it is a folder, starting from the real place of its
// folder. True when nothing stands at the path afterwards.
bool DeleteItemTreeAt(const std::wstring& path);
