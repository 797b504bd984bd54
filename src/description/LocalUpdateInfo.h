// The installed copy's record ("update.log" in the update folder): what is
// installed, the client it belongs to, the last offer and the dialog's texts.
#pragma once

#include "description/UpdateInfo.h"

class CRemoteUpdateInfo;

class CLocalUpdateInfo : public CUpdateInfo {
public:
    // Reads [Files]; a missing file gives an empty version, 0, 0 and no client.
    explicit CLocalUpdateInfo(LPCWSTR pszFile);

    // [Update] "Version" and "Info" from the offer. E_POINTER for null,
    // kLinkInTheWay as an HRESULT when the record is a link or reached through
    // one (nothing is written then), else 0; the writes change the file only,
    // never the fields.
    HRESULT WriteUpdate(const CRemoteUpdateInfo* pOffered);

    // [Files] "Version" and the edition's service pack, then WriteUpdate.
    HRESULT WriteInstalled(const CRemoteUpdateInfo* pOffered, bool bProfessional);

    // [Update] "RecalledFrom": the recalled version this installation left.
    void WriteRecalledFrom(const CString& strVersion);

    // With a key or a root pinned, only a signed description counts.
    bool PinsPublisher() const { return !m_strPublisherKey.IsEmpty() || !m_strPublisherRoot.IsEmpty(); }

    CString m_strOEMClientName;
    // [Files] "PublisherKey": the publisher's public keys, "," between them; empty for none.
    CString m_strPublisherKey;
    // [Files] "PublisherRoot": root keys that certify signing keys, "," between them; empty for none.
    CString m_strPublisherRoot;
    // [Files] "Channel": the installation's channel; empty for the default.
    CString m_strChannel;
    // [Update] "RolledBack": a version that did not start here and was put back; empty for none.
    CString m_strRolledBack;

private:
    // The profile writer follows a link: the record is written only where it really is.
    HRESULT CheckRecordPlace() const;
};
