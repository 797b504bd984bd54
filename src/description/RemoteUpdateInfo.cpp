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

CString CRemoteUpdateInfo::GetPackageURL(bool bProfessional) const
{
    return ReadClientString(bProfessional ? L"URL_PRO" : L"URL");
}

ULONGLONG CRemoteUpdateInfo::GetPackageSize(bool bProfessional) const
{
    return ParseLenientSize(ReadClientString(bProfessional ? L"ProCABFileSize" : L"CABFileSize").Str());
}

CString CRemoteUpdateInfo::GetTips() const { return ReadClientString(L"Tips"); }
CString CRemoteUpdateInfo::GetPackageDigest(bool bProfessional) const
{
    return ReadClientString(bProfessional ? L"ProCABFileSHA256" : L"CABFileSHA256");
}
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
