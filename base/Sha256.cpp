#include "base/Sha256.h"

#include <algorithm>
#include <climits>

CSha256::CSha256() : m_algorithm(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM))
{
    BCRYPT_HASH_HANDLE h = nullptr;
    // No object buffer: the platform keeps the hash state itself.
    if (!m_algorithm || !BCRYPT_SUCCESS(::BCryptCreateHash(m_algorithm.Get(), &h, nullptr, 0, nullptr, 0, 0))) {
        m_bFailed = true;
        return;
    }
    m_hash.Reset(h);
}

void CSha256::Update(const void* pData, size_t nSize)
{
    auto* p = static_cast<const BYTE*>(pData);
    while (nSize > 0 && !m_bFailed) {
        const ULONG n = static_cast<ULONG>(std::min<size_t>(nSize, ULONG_MAX));
        m_bFailed = !BCRYPT_SUCCESS(::BCryptHashData(m_hash.Get(), const_cast<PUCHAR>(p), n, 0));
        p += n;
        nSize -= n;
    }
}

bool CSha256::Finish(Sha256Digest& digest)
{
    if (m_bFailed || !m_hash)
        return false;
    const bool bDone = BCRYPT_SUCCESS(::BCryptFinishHash(m_hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    m_hash.Reset();
    m_bFailed = true;  // a finished hash takes no more data
    return bDone;
}

bool Sha256Of(const void* pData, size_t nSize, Sha256Digest& digest)
{
    CSha256 hasher;
    hasher.Update(pData, nSize);
    return hasher.Finish(digest);
}

namespace {

int HexValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

} // namespace

bool ParseSha256Hex(std::wstring_view text, Sha256Digest& digest)
{
    if (text.size() != digest.size() * 2)
        return false;
    Sha256Digest parsed;
    for (size_t i = 0; i < parsed.size(); ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        parsed[i] = static_cast<BYTE>(high * 16 + low);
    }
    digest = parsed;
    return true;
}

std::wstring FormatSha256Hex(const Sha256Digest& digest)
{
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(digest.size() * 2);
    for (BYTE b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}
