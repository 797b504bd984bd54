// Reading profile (INI) files, one value per call through the platform's reader.
#pragma once

#include "framework/AfxString.h"

#include <string>

// A text value: at most 4,095 characters arrive, "" when the key is missing.
CString ReadProfileString(LPCWSTR pszFile, LPCWSTR pszSection, LPCWSTR pszKey);

// A value that the file holds as UTF-8 bytes, decoded as UTF-8 whatever the
// ANSI code page; a file with a UTF-16 byte-order mark is read as it stands.
// The same cut and default as ReadProfileString.
CString ReadUtf8ProfileString(LPCWSTR pszFile, LPCWSTR pszSection, LPCWSTR pszKey);

// The largest description that is read at all: far above any real one, and
// small enough that a hostile one costs nothing.
constexpr size_t kMaxDescriptionBytes = 16 * 1024 * 1024;

// A file's bytes, when it exists and holds at most nMaxBytes.
bool ReadFileBytes(LPCWSTR pszFile, size_t nMaxBytes, std::string& bytes);

// Bytes in a code page as text; bytes that are not valid in it come out as
// the platform's decoder makes them.
CString DecodeBytes(UINT nCodePage, const std::string& bytes);

// The text of a profile file without a byte-order mark, with a UTF-16 mark in
// front, for the profile reader to take as it stands: section lines decoded in
// the ANSI code page, as the reader decodes the file itself, so that the same
// sections match; every other line decoded as UTF-8.
std::wstring MakeUtf8ProfileView(const std::string& fileBytes);
