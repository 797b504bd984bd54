// Settings items of an update description: "IniItem%d" entries of four fields,
// "Filename:<file>,Section:<section>,Keyname:<key>,Value:<value>" in any order.
#pragma once

#include "framework/AfxString.h"

struct CIniItem {
    CString strFile;
    CString strSection;
    CString strKey;
    CString strValue;
};

// Fills item from the text when the text is exactly four fields, each one
// name and one value (so a value holds no "," and no ":"), and returns true;
// leaves item as it was and returns false otherwise. Unknown names change
// nothing. In "Filename", "<app>" and then "<appdata>" become the two folders.
bool ParseIniItem(const CString& text, LPCWSTR pszAppFolder, LPCWSTR pszAppDataFolder, CIniItem& item);

class CRemoteUpdateInfo;

// Writes the settings items of a description that may be acted on: only into
// this product's own profile files, never in the update folder (ResolveSettingsFile).
void ApplySettingsItems(const CRemoteUpdateInfo& offered);

// The all-users application data folder, created when missing; empty when the
// platform has none.
CString CommonAppDataFolder();
