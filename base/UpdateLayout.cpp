#include "base/UpdateLayout.h"

#include "base/Paths.h"

std::wstring UpdateFolderIn(const std::wstring& programFolder)
{
    return JoinPath(programFolder, kUpdateFolderName);
}

std::wstring UpdateFileIn(const std::wstring& programFolder, const wchar_t* pszName)
{
    return JoinPath(UpdateFolderIn(programFolder), pszName);
}
