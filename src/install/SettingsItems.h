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

// Fills item from the text as far as the text allows: nothing unless there
// are exactly four fields, and only up to the first field that is not one
// name and one value. In "Filename", "<app>" and then "<appdata>" become the
// two folders.
void ParseIniItem(const CString& text, LPCWSTR pszAppFolder, LPCWSTR pszAppDataFolder, CIniItem& item);

// The all-users application data folder, created when missing; empty when the
// platform has none.
CString CommonAppDataFolder();
