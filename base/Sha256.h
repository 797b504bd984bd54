// SHA-256 through the platform, fed in pieces, and the digest's hexadecimal form.
#pragma once

#include "base/CngHandle.h"

#include <array>
#include <string>
#include <string_view>

using Sha256Digest = std::array<BYTE, 32>;

class CSha256 {
public:
    // Never throws: a failure of the platform, here or in Update, shows in Finish.
    CSha256();

    void Update(const void* pData, size_t nSize);

    // The digest of every byte fed; false when the platform failed at any step.
    // The hasher is spent afterwards.
    bool Finish(Sha256Digest& digest);

private:
    CAlgorithmHandle m_algorithm;  // outlives the hash, which is declared after it
    CHashHandle m_hash;
    bool m_bFailed = false;
};

// The digest of bytes at once; false when the platform failed.
bool Sha256Of(const void* pData, size_t nSize, Sha256Digest& digest);

// Exactly 64 hexadecimal digits, either case; false for anything else
// (blanks, a prefix, one digit more or less).
bool ParseSha256Hex(std::wstring_view text, Sha256Digest& digest);

// 64 lower-case hexadecimal digits.
std::wstring FormatSha256Hex(const Sha256Digest& digest);
