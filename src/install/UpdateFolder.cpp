#include "install/UpdateFolder.h"

#include "framework/AfxWin.h"

#include "base/Paths.h"
#include "base/UpdateLayout.h"

#include <shlwapi.h>

CString UpdateFolderPath()
{
    return AfxGetModuleFolderPath(AfxGetInstanceHandle(), kUpdateFolderName);
}

CString UpdateFilePath(LPCWSTR pszName, BOOL bCreateFolder)
{
    const CString folder = UpdateFolderPath();
    if (bCreateFolder)
        ::CreateDirectoryW(folder, nullptr);
    return CString(JoinPath(folder.Str(), pszName));
}

void DeleteFetchedDescription()
{
    const CString path = UpdateFilePath(kDescriptionFileName, FALSE);
    if (::PathFileExistsW(path))
        ::DeleteFileW(path);
}

BOOL ReadEditionFlag()
{
    const CString path = AfxGetModuleFolderPath(nullptr, L"Ambrel.ini");
    return static_cast<BOOL>(::GetPrivateProfileIntW(L"Config", L"IsProUpdate", 0, path));
}
