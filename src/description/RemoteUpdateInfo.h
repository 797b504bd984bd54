// The offered update description ("update.ini"): one section per client,
// "OEMClient_" + the client name of the installed record.
#pragma once

#include "description/UpdateInfo.h"

// The full package installs over any installation the offer reaches; a delta
// only over the one version it was made from ("DeltaFrom"), by the launcher.
enum class PackageKind { Full, Delta };

// The keys that name a package's address, size and SHA-256, chosen by the
// edition and the kind.
struct PackageKeys {
    LPCWSTR url;
    LPCWSTR size;
    LPCWSTR sha256;
};
PackageKeys PackageKeysOf(bool bProfessional, PackageKind kind);

class CRemoteUpdateInfo : public CUpdateInfo {
public:
    explicit CRemoteUpdateInfo(LPCWSTR pszFile);

    // Reads the client's section into the fields; a second call with another
    // client replaces every one of them.
    void LoadClient(const CString& strClientName);
    // The same for a section named in full, such as a channel's.
    void LoadSection(const CString& strSection);

    // The getters read the client section as the file holds it at the call.
    CString GetPackageURL(bool bProfessional, PackageKind kind = PackageKind::Full) const;
    CString GetTips() const;
    // "CABFileSHA256" or "ProCABFileSHA256": the package's digest, 64 hexadecimal digits.
    CString GetPackageDigest(bool bProfessional, PackageKind kind = PackageKind::Full) const;
    // "CABFileSize"/"ProCABFileSize", beyond 2 GiB too (0: not given).
    ULONGLONG GetPackageSize(bool bProfessional, PackageKind kind = PackageKind::Full) const;
    // "DeltaFrom": the one installed version the delta package applies to; empty for no delta.
    CString GetDeltaBase() const;
    // "Expires": when a signed description stops being taken (UTC, YYYY-MM-DDTHH:MM:SSZ).
    CString GetExpires() const;
    CString GetShortDesc() const;
    CString GetLongDesc() const;
    CString GetDelFile(int n) const;
    CString GetDelDirName(int n) const;

    // Settings item nItem ("IniItem%d", from 0) into the four strings; the
    // strings keep what the item does not set. False, with the strings as they
    // were, when the item cannot be read whole.
    bool ReadIniItem(CString& file, CString& section, CString& key, CString& value, int nItem) const;

    // An integer of the client section ("CABFileSize", "DelFileCount", ...): 0 when missing.
    int ReadClientInt(LPCWSTR pszKey) const;

    // The length of a list ("DelFileCount", "DelDirCount", "IniItemCount"),
    // at most kMaxListEntries: a tampered count of billions would otherwise
    // keep the host's call busy for days.
    int ReadListCount(LPCWSTR pszKey) const;
    static constexpr int kMaxListEntries = 1024;

    CString m_strSection;
    int m_nCanUpdate = 0;
    CString m_strDownloadURL;
    CString m_strUpdateInfo;
    CString m_strValidVersion;

private:
    CString ReadClientString(LPCWSTR pszKey) const;
    CString ReadNumberedString(LPCWSTR pszKeyFormat, int n) const;
};
