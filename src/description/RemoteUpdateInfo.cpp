#include "description/RemoteUpdateInfo.h"

#include "base/Decimal.h"

#include "description/NewsText.h"
#include "description/ProfileFile.h"

#include <algorithm>

CRemoteUpdateInfo::CRemoteUpdateInfo(LPCWSTR pszFile) : CUpdateInfo(pszFile) {}

void CRemoteUpdateInfo::LoadClient(const CString& strClientName)
{
    LoadSection(L"OEMClient_" + strClientName);
}

void CRemoteUpdateInfo::LoadSection(const CString& strSection)
{
    m_strSection = strSection;
    m_strVersion = ReadClientString(L"MajorVerson");
    m_nServicePack = static_cast<UINT>(ReadClientInt(L"ServicePack"));
    m_nServiceProPack = static_cast<UINT>(ReadClientInt(L"ServiceProPack"));
    m_nCanUpdate = ReadClientInt(L"CanUpdate");
    m_strDownloadURL = ReadClientString(L"DownloadURL");
    m_strValidVersion = ReadClientString(L"ValidVersion");
    // The service writes the news as UTF-8 bytes, "+" for a line break.
    m_strUpdateInfo = ExpandNewsLineBreaks(ReadUtf8ProfileString(m_strFile, m_strSection, L"UpdateInfo"));
}

PackageKeys PackageKeysOf(bool bProfessional, PackageKind kind)
{
    if (kind == PackageKind::Delta)
        return bProfessional ? PackageKeys{L"DeltaURL_PRO", L"ProDeltaCABFileSize", L"ProDeltaCABFileSHA256"}
                             : PackageKeys{L"DeltaURL", L"DeltaCABFileSize", L"DeltaCABFileSHA256"};
    return bProfessional ? PackageKeys{L"URL_PRO", L"ProCABFileSize", L"ProCABFileSHA256"}
                         : PackageKeys{L"URL", L"CABFileSize", L"CABFileSHA256"};
}

CString CRemoteUpdateInfo::GetPackageURL(bool bProfessional, PackageKind kind) const
{
    return ReadClientString(PackageKeysOf(bProfessional, kind).url);
}

ULONGLONG CRemoteUpdateInfo::GetPackageSize(bool bProfessional, PackageKind kind) const
{
    return ParseLenientSize(ReadClientString(PackageKeysOf(bProfessional, kind).size).Str());
}

CString CRemoteUpdateInfo::GetPackageDigest(bool bProfessional, PackageKind kind) const
{
    return ReadClientString(PackageKeysOf(bProfessional, kind).sha256);
}

CString CRemoteUpdateInfo::GetDeltaBase() const { return ReadClientString(L"DeltaFrom"); }
CString CRemoteUpdateInfo::GetTips() const { return ReadClientString(L"Tips"); }
CString CRemoteUpdateInfo::GetExpires() const { return ReadClientString(L"Expires"); }
CString CRemoteUpdateInfo::GetShortDesc() const { return ReadClientString(L"ShortDesc"); }
CString CRemoteUpdateInfo::GetLongDesc() const { return ReadClientString(L"LongDesc"); }
CString CRemoteUpdateInfo::GetDelFile(int n) const { return ReadNumberedString(L"DelFile%d", n); }
CString CRemoteUpdateInfo::GetDelDirName(int n) const { return ReadNumberedString(L"DelDirName%d", n); }

int CRemoteUpdateInfo::ReadClientInt(LPCWSTR pszKey) const
{
    return static_cast<int>(::GetPrivateProfileIntW(m_strSection, pszKey, 0, m_strFile));
}

int CRemoteUpdateInfo::ReadListCount(LPCWSTR pszKey) const
{
    return std::clamp(ReadClientInt(pszKey), 0, kMaxListEntries);
}

CString CRemoteUpdateInfo::ReadClientString(LPCWSTR pszKey) const
{
    return ReadString(m_strSection, pszKey);
}

CString CRemoteUpdateInfo::ReadNumberedString(LPCWSTR pszKeyFormat, int n) const
{
    CString key;
    key.Format(pszKeyFormat, n);
    return ReadClientString(key);
}
