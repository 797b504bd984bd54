// The list a delta package carries beside its files: per changed file, how it
// travels (a patch against the installed file, or whole), the SHA-256 of the
// old file a patch applies to and of the new file, the new file's size and its
// path. The list and the patches lie in a folder of their own in the package.
#pragma once

#include "base/Sha256.h"
#include "delta/FileForm.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

inline constexpr wchar_t kDeltaFolderName[] = L".delta";
inline constexpr wchar_t kDeltaListName[] = L".delta\\list.txt";

struct DeltaEntry {
    FileForm form = FileForm::Whole;
    Sha256Digest oldSha256 = {};  // Patch only
    Sha256Digest newSha256 = {};
    ULONGLONG newSize = 0;
    std::wstring path;  // relative to the program folder, '\' between names
};

// The list's own folder or anything in it: no release file may be there.
bool IsInDeltaFolder(std::wstring_view name);

// The package name of the patch of the list's entry n (from 0): ".delta\<n>.patch".
std::wstring DeltaPatchName(size_t n);

// One line per entry, "patch|whole TAB old TAB new TAB size TAB path", the old
// digest "-" for a whole file; UTF-16LE with CRLF, so paths need no other code page.
std::string FormatDeltaList(const std::vector<DeltaEntry>& entries);

// The entries of a list as FormatDeltaList writes it; false for any line that
// is not exactly such a line (a path is checked by the reader's own rules).
bool ParseDeltaList(std::string_view bytes, std::vector<DeltaEntry>& entries);
