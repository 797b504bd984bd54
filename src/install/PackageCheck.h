// What a package must be before it may replace "update.cab": a whole cabinet,
// as its own header declares it.
#pragma once

#include "net/DownloadCheck.h"

#include <cstddef>

class CPackageCheck : public IDownloadCheck {
public:
    void OnBytes(const BYTE* pData, DWORD nCount) override;
    // S_OK for a whole cabinet; a transfer error (the body cannot be what it
    // claims) otherwise.
    HRESULT OnEnd(ULONGLONG nTotal) override;

private:
    // The cabinet header's signature and its declared total size.
    static constexpr size_t kHeadSize = 12;
    BYTE m_head[kHeadSize] = {};
    size_t m_nHead = 0;
};
