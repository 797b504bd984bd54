// What the offered description and the installed record have in common: the
// profile file, a version and the two service-pack numbers, and the getters of
// the record's [Dialog] and [Update] sections.
#pragma once

#include "framework/AfxString.h"

class CUpdateInfo {
public:
    explicit CUpdateInfo(LPCWSTR pszFile);
    virtual ~CUpdateInfo();
    CUpdateInfo(const CUpdateInfo&) = delete;
    CUpdateInfo& operator=(const CUpdateInfo&) = delete;

    // The value as the file holds it now: at most 4,095 characters, "" when missing.
    CString ReadString(LPCWSTR pszSection, LPCWSTR pszKey) const;

    // [Dialog]: texts that replace the dialog's own; empty leaves them.
    CString ReadUpdateTitle() const;
    CString ReadCheckingDesc() const;
    CString ReadCheckSucceededDesc() const;
    CString ReadCheckFailedDesc() const;
    CString ReadUpgradeProfessionDesc() const;
    CString ReadDownloadingDesc() const;
    CString ReadInstallDesc() const;
    CString ReadCancelDesc() const;
    CString ReadPurchasePage() const;
    CString ReadPurchasePageWeb() const;
    int ReadPurchasePageHeight() const;

    // [Update]: the last offer found applicable.
    CString ReadUpdateVersion() const;
    CString ReadUpdateInfo() const;

    CString m_strFile;
    CString m_strVersion;
    UINT m_nServicePack = 0;
    UINT m_nServiceProPack = 0;
};
