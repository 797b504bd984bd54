// The installed copy's record ("update.log" in the update folder): what is
// installed, the client it belongs to, the last offer and the dialog's texts.
#pragma once

#include "description/UpdateInfo.h"

class CRemoteUpdateInfo;

class CLocalUpdateInfo : public CUpdateInfo {
public:
    // Reads [Files]; a missing file gives an empty version, 0, 0 and no client.
    explicit CLocalUpdateInfo(LPCWSTR pszFile);

    // [Update] "Version" and "Info" from the offer. E_POINTER for null, else 0;
    // the writes change the file only, never the fields.
    HRESULT WriteUpdate(const CRemoteUpdateInfo* pOffered);

    // [Files] "Version" and the edition's service pack, then WriteUpdate.
    HRESULT WriteInstalled(const CRemoteUpdateInfo* pOffered, bool bProfessional);

    CString m_strOEMClientName;
    // [Files] "PublisherKey": the publisher's public keys, "," between them; empty for none.
    CString m_strPublisherKey;
};
