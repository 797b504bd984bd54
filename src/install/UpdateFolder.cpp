#include "install/UpdateFolder.h"

#include "framework/AfxWin.h"

#include "base/LinkSafeFiles.h"
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
    RemoveFileAt(UpdateFilePath(kDescriptionFileName, FALSE).Str());
}

BOOL ReadEditionFlag()
{
    const CString path = AfxGetModuleFolderPath(nullptr, L"Ambrel.ini");
    return static_cast<BOOL>(::GetPrivateProfileIntW(L"Config", L"IsProUpdate", 0, path));
}
