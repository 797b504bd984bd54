// Texts of the string table, passed through the optional translator.
#pragma once

#include "framework/AfxString.h"

// Every lookup of the library uses this section.
inline constexpr LPCWSTR kMiscStrings = L"MiscStrings";

// The text cut to 1023 characters and, when a translator is loaded, translated.
CString TranslateText(LPCWSTR pszText, LPCWSTR pszSection);

// String nID of the table, translated; empty when no module holds it.
CString LoadLocalString(UINT nID, LPCWSTR pszSection = kMiscStrings);
