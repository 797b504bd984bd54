// The language table for this user, from the files beside the language library:
// "vexmod.<language>.txt" for each language, and the optional "vexmod.ini",
// whose [Language] Use= names a table for every user and Fallback= the table
// for a user whose language has none.
#pragma once

#include "TextTable.h"

// The user's interface language as a name ("zh-CN", "en-US"); empty when unknown.
std::wstring UserLanguageName();

// The first table of the candidates that the folder holds and that reads
// without a fault; a faulty file is passed over as if it were missing. Empty
// when none applies: the library then shows its own texts. Every choice and
// every fault goes to the debugger output.
TextTable LoadTableBeside(const std::wstring& folder);
