#include "install/PackageInstall.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxWin.h"
#include "install/DescriptionSafety.h"
#include "install/FileManager.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

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

void DeleteListedFiles(const CRemoteUpdateInfo& offered, LPCWSTR pszHostFolder)
{
    const int nCount = offered.ReadListCount(L"DelFileCount");
    for (int i = 1; i <= nCount; ++i) {
        CString path;
        // A tampered description must not reach anything outside the host's
        // folder, nor the folder itself.
        if (ResolveDeletionPath(pszHostFolder, offered.GetDelFile(i), path))
            ::DeleteFileW(path);
    }
}

void DeleteFolder(const CString& path)
{
    // The shell takes a list of paths, each ending in a zero, the list in a second one.
    wchar_t from[MAX_PATH + 1] = {};
    std::copy_n(path.GetString(), std::min(path.GetLength(), MAX_PATH - 1), from);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.fFlags = FOF_NOCONFIRMATION;
    ::SHFileOperationW(&op);
}

void DeleteListedFolders(const CRemoteUpdateInfo& offered, LPCWSTR pszHostFolder)
{
    const int nCount = offered.ReadListCount(L"DelDirCount");
    for (int i = 1; i <= nCount; ++i) {
        CString path;
        if (ResolveDeletionPath(pszHostFolder, offered.GetDelDirName(i), path) && ::PathFileExistsW(path))
            DeleteFolder(path);
    }
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
    m_pRemoteInfo->LoadClient(m_pLocalInfo->m_strOEMClientName);
    if (m_pRemoteInfo->m_strVersion.IsEmpty())
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

    ReadEdition();
    m_pLocalInfo->WriteInstalled(m_pRemoteInfo.get(), m_bIsProUpdate != 0);

    const CString hostFolder = AfxGetModuleFolder(nullptr);
    DeleteListedFiles(*m_pRemoteInfo, hostFolder);
    DeleteListedFolders(*m_pRemoteInfo, hostFolder);

    wchar_t cabPath[MAX_PATH] = {};
    GetUpdatePath(cabPath, L"update.cab");
    ::DeleteFileW(iniPath);
    ::DeleteFileW(cabPath);

    m_pLocalInfo.reset();
    m_pRemoteInfo.reset();
    return S_OK;
}
