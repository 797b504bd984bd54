// What a package must be before it may replace "update.cab": a whole cabinet,
// as its own header declares it.
#pragma once

#include "net/DownloadCheck.h"
#include "base/Sha256.h"

#include <cstddef>
#include <memory>

class CPackageCheck : public IDownloadCheck {
public:
    // pDigest: the SHA-256 that the package must have, or null for none.
    explicit CPackageCheck(const Sha256Digest* pDigest = nullptr);

    void OnBytes(const BYTE* pData, DWORD nCount) override;
    void OnRestart() override;
    // S_OK for a whole cabinet with the digest; TRUST_E_BAD_DIGEST for another
    // digest; a transfer error (the body cannot be what it claims) otherwise.
    HRESULT OnEnd(ULONGLONG nTotal) override;

private:
    // The cabinet header's signature and its declared total size.
    static constexpr size_t kHeadSize = 12;
    BYTE m_head[kHeadSize] = {};
    size_t m_nHead = 0;
    Sha256Digest m_expected = {};
    std::unique_ptr<CSha256> m_pHasher;  // only when a digest is expected
};
