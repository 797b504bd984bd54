#include "install/DescriptionTrust.h"

#include "description/LocalUpdateInfo.h"
#include "description/ProfileFile.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxTrace.h"
#include "install/FileManager.h"
#include "verify/DescriptionSignature.h"
#include "verify/Expires.h"

bool IsDescriptionTrusted(std::string_view fileBytes, const CString& strPublisherKey, const CString& strExpires,
                          ULONGLONG nowUtcTicks)
{
    if (strPublisherKey.IsEmpty())
        return true;
    if (VerifyDescriptionSignature(fileBytes, strPublisherKey.Str()) != SignatureVerdict::Verified)
        return false;
    // An old signed answer, replayed, must not hold clients back for ever.
    return strExpires.IsEmpty() || CheckExpires(strExpires.Str(), nowUtcTicks) == ExpiryVerdict::Valid;
}

bool CFileManager::HasPublisherKey()
{
    if (!m_pLocalInfo)
        LoadLocalInfo();
    return !m_pLocalInfo->m_strPublisherKey.IsEmpty();
}

bool CFileManager::TrustDescription(LPCWSTR pszPath)
{
    if (!HasPublisherKey())
        return true;
    std::string bytes;
    CString expires;
    if (ReadFileBytes(pszPath, kMaxDescriptionBytes, bytes)) {
        CRemoteUpdateInfo description(pszPath);
        description.LoadClient(m_pLocalInfo->m_strOEMClientName);
        expires = description.GetExpires();
        if (IsDescriptionTrusted(bytes, m_pLocalInfo->m_strPublisherKey, expires, CurrentUtcTicks()))
            return true;
    }
    AfxTrace(L"CFileManager: the update description is not signed by the publisher");
    // Nothing may act on it later either.
    ::DeleteFileW(pszPath);
    return false;
}
