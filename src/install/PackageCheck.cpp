#include "install/PackageCheck.h"

#include "base/UpdateLog.h"

#include <wininet.h>

#include <algorithm>
#include <cstring>

CPackageCheck::CPackageCheck(const Sha256Digest* pDigest)
{
    if (pDigest) {
        m_expected = *pDigest;
        m_pHasher = std::make_unique<CSha256>();
    }
}

void CPackageCheck::OnRestart()
{
    m_nHead = 0;
    if (m_pHasher)
        m_pHasher = std::make_unique<CSha256>();
}

void CPackageCheck::OnBytes(const BYTE* pData, DWORD nCount)
{
    // Hashed as it is written: no second pass over the file.
    if (m_pHasher)
        m_pHasher->Update(pData, nCount);
    const size_t nTake = std::min<size_t>(nCount, kHeadSize - m_nHead);
    std::memcpy(m_head + m_nHead, pData, nTake);
    m_nHead += nTake;
}

HRESULT CPackageCheck::OnEnd(ULONGLONG nTotal)
{
    // A body cut short (a chunked one whose end the platform cannot see), a
    // piece of one or an error page would be unpacked over the program and
    // fail half way: only a cabinet whose header names this very size is whole.
    if (m_nHead < kHeadSize || std::memcmp(m_head, "MSCF", 4) != 0) {
        UpdateLog(L"package: the body of ", nTotal, L" bytes is no cabinet");
        return HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    const ULONGLONG nDeclared = static_cast<ULONGLONG>(m_head[8]) | static_cast<ULONGLONG>(m_head[9]) << 8 |
                                static_cast<ULONGLONG>(m_head[10]) << 16 | static_cast<ULONGLONG>(m_head[11]) << 24;
    if (nDeclared != nTotal) {
        UpdateLog(L"package: ", nTotal, L" bytes arrived, the cabinet's header names ", nDeclared);
        return HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    // What the signed description names, and nothing else, may be unpacked over the program.
    Sha256Digest digest;
    if (m_pHasher && (!m_pHasher->Finish(digest) || digest != m_expected)) {
        UpdateLog(L"package: its SHA-256 is ", FormatSha256Hex(digest), L", the description names ",
                  FormatSha256Hex(m_expected));
        return TRUST_E_BAD_DIGEST;
    }
    return S_OK;
}
