#include "install/PackageInstall.h"

#include "base/LinkSafeFiles.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "description/TrustRecord.h"
#include "framework/AfxWin.h"
#include "install/DescriptionTrust.h"
#include "install/ListedDeletion.h"
#include "install/OfferAnalysis.h"
#include "install/TrustFile.h"
#include "install/UpdateFolder.h"

#include <shlwapi.h>

ExtractionTarget PreparedExtraction()
{
    return {AfxGetModuleFolder(AfxGetInstanceHandle()).Str(), UpdateFilePath(kPackageFileName).Str()};
}

namespace {

void DeleteListed(const CRemoteUpdateInfo& offered, LPCWSTR pszHostFolder)
{
    const CListedDeletion deletion(pszHostFolder, UpdateFolderPath());
    const int nFiles = offered.ReadListCount(L"DelFileCount");
    for (int i = 1; i <= nFiles; ++i)
        deletion.Delete(offered.GetDelFile(i), EListedKind::File);
    const int nFolders = offered.ReadListCount(L"DelDirCount");
    for (int i = 1; i <= nFolders; ++i)
        deletion.Delete(offered.GetDelDirName(i), EListedKind::Folder);
}

} // namespace

HRESULT CompleteInstalledUpdate(CLocalUpdateInfo& local, CRemoteUpdateInfo& offered, BOOL bProfessional)
{
    if (local.m_strOEMClientName.IsEmpty())
        return E_INVALIDARG;
    if (!::PathFileExistsW(offered.m_strFile)) {
        UpdateLog(L"completion: nothing to complete, no description is kept");
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    // The file could have changed since the check: what it lists is acted on only when it is still the publisher's.
    if (!TrustDescriptionFile(offered.m_strFile, local, TrustFilePath()))
        return kDescriptionRefused;
    LoadChosenSection(offered, local);
    if (offered.m_strVersion.IsEmpty()) {
        UpdateLog(L"completion: the kept description names no version for this client");
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    const CString left = local.m_strVersion;
    const bool bRecalled = OfferFactsOf(local, offered, bProfessional != 0).bRecalled;
    // Unrecorded, nothing is deleted: the next start tries again.
    if (const HRESULT hr = local.WriteInstalled(&offered, bProfessional != 0); FAILED(hr))
        return hr;
    UpdateLog(L"completion: version ", offered.m_strVersion, L" recorded as installed");
    if (bRecalled)
        local.WriteRecalledFrom(left);
    DeleteListed(offered, AfxGetModuleFolder(nullptr));

    RemoveFileAt(offered.m_strFile.Str());
    RemoveFileAt(UpdateFilePath(kPackageFileName).Str());
    return S_OK;
}
