#include "install/FileManager.h"

#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "framework/AfxWin.h"

#include <shlwapi.h>

#include <algorithm>
#include <new>

CFileManager::~CFileManager()
{
    delete m_pLocalInfo;
    m_pLocalInfo = nullptr;
    delete m_pRemoteInfo;
    m_pRemoteInfo = nullptr;
}

void CFileManager::GetUpdatePath(LPWSTR pszBuffer, LPCWSTR pszName, BOOL bCreateFolder)
{
    std::fill_n(pszBuffer, MAX_PATH, L'\0');
    ::GetModuleFileNameW(AfxGetInstanceHandle(), pszBuffer, MAX_PATH);
    ::PathRemoveFileSpecW(pszBuffer);
    ::PathAppendW(pszBuffer, L"update");
    // Made on first use; an existing folder, or one that cannot be made, is
    // left to the file operation that follows.
    if (bCreateFolder)
        ::CreateDirectoryW(pszBuffer, nullptr);
    ::PathAppendW(pszBuffer, pszName);
}

void CFileManager::ReadEdition()
{
    m_bIsProUpdate = ReadEditionFlag();
}

BOOL CFileManager::ReadEditionFlag()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    ::PathAppendW(path, L"Ambrel.ini");
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
    delete m_pLocalInfo;
    m_pLocalInfo = new (std::nothrow) CLocalUpdateInfo(path);
    return m_pLocalInfo;
}
