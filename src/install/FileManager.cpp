#include "install/FileManager.h"

#include "framework/AfxWin.h"

#include <shlwapi.h>

#include <algorithm>

CString CFileManager::UpdateFolder()
{
    return AfxGetModuleFolderPath(AfxGetInstanceHandle(), L"update");
}

void CFileManager::GetUpdatePath(LPWSTR pszBuffer, LPCWSTR pszName, BOOL bCreateFolder)
{
    const CString folder = UpdateFolder();
    // Made on first use; an existing folder, or one that cannot be made, is
    // left to the file operation that follows.
    if (bCreateFolder)
        ::CreateDirectoryW(folder, nullptr);
    std::fill_n(pszBuffer, MAX_PATH, L'\0');
    std::copy_n(folder.GetString(), std::min(folder.GetLength(), MAX_PATH - 1), pszBuffer);
    ::PathAppendW(pszBuffer, pszName);
}

void CFileManager::ReadEdition()
{
    m_bIsProUpdate = ReadEditionFlag();
}

BOOL CFileManager::ReadEditionFlag()
{
    const CString path = AfxGetModuleFolderPath(nullptr, L"Ambrel.ini");
    return static_cast<BOOL>(::GetPrivateProfileIntW(L"Config", L"IsProUpdate", 0, path));
}

std::vector<CString> CFileManager::SplitString(const CString& text, LPCWSTR pszSeparator)
{
    std::vector<CString> pieces;
    const std::wstring& s = text.Str();
    const std::wstring separator(pszSeparator ? pszSeparator : L"");
    if (separator.empty()) {
        if (!s.empty())
            pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    for (;;) {
        const size_t found = s.find(separator, start);
        const size_t end = found == std::wstring::npos ? s.size() : found;
        if (end > start)
            pieces.push_back(text.Mid(static_cast<int>(start), static_cast<int>(end - start)));
        if (found == std::wstring::npos)
            return pieces;
        start = found + separator.size();
    }
}

CLocalUpdateInfo* CFileManager::LoadLocalInfo()
{
    wchar_t path[MAX_PATH] = {};
    GetUpdatePath(path, L"update.log");
    m_pLocalInfo.reset();
    m_pLocalInfo = std::make_unique<CLocalUpdateInfo>(path);
    return m_pLocalInfo.get();
}
