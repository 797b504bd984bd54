#include "install/PackageInstall.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxWin.h"
#include "install/FileManager.h"
#include "install/ListedDeletion.h"

#include <shlwapi.h>

CString FormatExtractArgs(LPCWSTR pszFolder, LPCWSTR pszPackage)
{
    CString folder(pszFolder);
    // A backslash before the closing quote would escape it ("C:\" "x" reads as
    // one argument); "C:\." names the same folder without that.
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] == L'\\')
        folder += L'.';
    CString args;
    args.Format(L"\"%s\" \"%s\"", folder.GetString(), pszPackage);
    return args;
}

int CFileManager::GetExtractArgs(CString& out)
{
    out.Empty();
    const CString folder = AfxGetModuleFolder(AfxGetInstanceHandle());
    wchar_t package[MAX_PATH] = {};
    GetUpdatePath(package, L"update.cab");
    out = FormatExtractArgs(folder, package);
    return 0;
}

namespace {

void DeleteListed(const CRemoteUpdateInfo& offered, LPCWSTR pszHostFolder)
{
    const CListedDeletion deletion(pszHostFolder, CFileManager::UpdateFolder());
    const int nFiles = offered.ReadListCount(L"DelFileCount");
    for (int i = 1; i <= nFiles; ++i)
        deletion.Delete(offered.GetDelFile(i), EListedKind::File);
    const int nFolders = offered.ReadListCount(L"DelDirCount");
    for (int i = 1; i <= nFolders; ++i)
        deletion.Delete(offered.GetDelDirName(i), EListedKind::Folder);
}

} // namespace

HRESULT CFileManager::CompleteUpdate()
{
    LoadLocalInfo();

    wchar_t iniPath[MAX_PATH] = {};
    GetUpdatePath(iniPath, L"update.ini");
    m_pRemoteInfo.reset();
    m_pRemoteInfo = std::make_unique<CRemoteUpdateInfo>(iniPath);

    if (m_pLocalInfo->m_strOEMClientName.IsEmpty())
        return E_INVALIDARG;
    // Nothing pending (no description, or this update was already completed):
    // the record must not take an empty version from a missing offer.
    if (!::PathFileExistsW(iniPath))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // The file could have changed since the check: what it lists is acted on only when it is still the publisher's.
    if (!TrustDescription(iniPath))
        return TRUST_E_NOSIGNATURE;
    m_pRemoteInfo->LoadClient(m_pLocalInfo->m_strOEMClientName);
    if (m_pRemoteInfo->m_strVersion.IsEmpty())
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

    ReadEdition();
    m_pLocalInfo->WriteInstalled(m_pRemoteInfo.get(), m_bIsProUpdate != 0);

    const CString hostFolder = AfxGetModuleFolder(nullptr);
    DeleteListed(*m_pRemoteInfo, hostFolder);

    wchar_t cabPath[MAX_PATH] = {};
    GetUpdatePath(cabPath, L"update.cab");
    ::DeleteFileW(iniPath);
    ::DeleteFileW(cabPath);

    m_pLocalInfo.reset();
    m_pRemoteInfo.reset();
    return S_OK;
}
