// Base64 through the platform (crypt32), read strictly: the platform's decoder
// skips blanks and line breaks, which a signature or a key must not carry.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Canonical base64: only A-Z a-z 0-9 + /, a length that is a multiple of four,
// and "=" only as the padding at the end. False (bytes untouched) otherwise.
bool DecodeBase64(std::string_view text, std::vector<BYTE>& bytes);
bool IsCanonicalBase64(std::string_view text);
// The same for wide text, which must be ASCII.
bool DecodeBase64(std::wstring_view text, std::vector<BYTE>& bytes);

// One line of base64, without line breaks.
std::string EncodeBase64(const BYTE* pData, size_t nSize);
