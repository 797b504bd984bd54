#include "description/LocalUpdateInfo.h"

#include "base/LinkSafeFiles.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include "description/NewsText.h"
#include "description/RemoteUpdateInfo.h"

namespace {

const wchar_t kFiles[] = L"Files";
const wchar_t kUpdate[] = L"Update";

} // namespace

CLocalUpdateInfo::CLocalUpdateInfo(LPCWSTR pszFile) : CUpdateInfo(pszFile)
{
    m_strVersion = ReadString(kFiles, L"Version");
    m_nServicePack = ::GetPrivateProfileIntW(kFiles, L"ServicePack", 0, m_strFile);
    m_nServiceProPack = ::GetPrivateProfileIntW(kFiles, L"ServiceProPack", 0, m_strFile);
    m_strOEMClientName = ReadString(kFiles, L"OEMClientName");
    m_strPublisherKey = ReadString(kFiles, L"PublisherKey");
    m_strPublisherRoot = ReadString(kFiles, L"PublisherRoot");
    m_strChannel = ReadString(kFiles, L"Channel");
    m_strRolledBack = ReadString(kRecordUpdateSection, kRolledBackKey);
}

HRESULT CLocalUpdateInfo::CheckRecordPlace() const
{
    if (IsNothingOrPlainFileAt(m_strFile.Str()))
        return S_OK;
    UpdateLog(L"record: not written, ", m_strFile.Str(), L" is a link or reached through one");
    return HRESULT_FROM_WIN32(kLinkInTheWay);
}

HRESULT CLocalUpdateInfo::WriteUpdate(const CRemoteUpdateInfo* pOffered)
{
    if (!pOffered)
        return E_POINTER;
    if (const HRESULT hr = CheckRecordPlace(); FAILED(hr))
        return hr;
    ::WritePrivateProfileStringW(kUpdate, L"Version", pOffered->m_strVersion, m_strFile);
    // One line per value: the news keeps its line breaks as "+", as the description has them.
    ::WritePrivateProfileStringW(kUpdate, L"Info", FoldNewsLineBreaks(pOffered->m_strUpdateInfo), m_strFile);
    return S_OK;
}

void CLocalUpdateInfo::WriteRecalledFrom(const CString& strVersion)
{
    if (FAILED(CheckRecordPlace()))
        return;
    ::WritePrivateProfileStringW(kUpdate, L"RecalledFrom", strVersion, m_strFile);
}

HRESULT CLocalUpdateInfo::WriteInstalled(const CRemoteUpdateInfo* pOffered, bool bProfessional)
{
    if (!pOffered)
        return E_POINTER;
    if (const HRESULT hr = CheckRecordPlace(); FAILED(hr))
        return hr;
    ::WritePrivateProfileStringW(kFiles, L"Version", pOffered->m_strVersion, m_strFile);
    // Signed, as stored records have it: a number above 2,147,483,647 is written negative.
    const UINT nPack = bProfessional ? pOffered->m_nServiceProPack : pOffered->m_nServicePack;
    wchar_t text[32] = {};
    ::_snwprintf(text, ARRAYSIZE(text) - 1, L"%d", static_cast<int>(nPack));
    ::WritePrivateProfileStringW(kFiles, bProfessional ? L"ServiceProPack" : L"ServicePack", text, m_strFile);
    return WriteUpdate(pOffered);
}
