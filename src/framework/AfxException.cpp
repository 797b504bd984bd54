#include "framework/AfxException.h"

#include "framework/AfxWin.h"

namespace {

BOOL CopyMessage(LPCWSTR pszText, LPWSTR pszError, UINT nMaxError)
{
    if (!pszError || nMaxError == 0)
        return FALSE;
    ::lstrcpynW(pszError, pszText, static_cast<int>(nMaxError));
    return TRUE;
}

// The platform's text for an error code; from hModule's message table when given.
CString SystemMessage(DWORD dwError, HMODULE hModule)
{
    LPWSTR pText = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS
                        | (hModule ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD n = ::FormatMessageW(flags, hModule, dwError, 0, reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    CString text;
    if (n && pText) {
        text = CString(pText, static_cast<int>(n)).TrimRight();
    }
    ::LocalFree(pText);
    if (text.IsEmpty())
        text.Format(L"Error %lu", dwError);
    return text;
}

} // namespace

BOOL CException::GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (pszError && nMaxError)
        *pszError = L'\0';
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID)
{
    wchar_t text[512] = {};
    if (GetErrorMessage(text, ARRAYSIZE(text)))
        return AfxMessageBox(text, nType);
    if (nMessageID)
        return AfxMessageBox(nMessageID, nType);
    return AfxMessageBox(L"An unsupported operation was attempted.", nType);
}

BOOL CMemoryException::GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage(L"Out of memory.", pszError, nMaxError);
}

BOOL CWin32Exception::GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    return CopyMessage(SystemMessage(m_dwError, nullptr), pszError, nMaxError);
}

BOOL CFileException::GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    CString text = SystemMessage(m_dwError, nullptr);
    if (!m_strFileName.IsEmpty())
        text = m_strFileName + L": " + text;
    return CopyMessage(text, pszError, nMaxError);
}

BOOL CInternetException::GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext) const
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    HMODULE hWinInet = ::GetModuleHandleW(L"wininet.dll");
    const bool internetError = m_dwError >= 12000 && m_dwError <= 12999;
    return CopyMessage(SystemMessage(m_dwError, internetError ? hWinInet : nullptr), pszError, nMaxError);
}

void AfxThrowMemoryException()
{
    throw new CMemoryException();
}

void AfxThrowFileException(DWORD dwError, LPCWSTR pszFileName)
{
    throw new CFileException(dwError, pszFileName);
}

void AfxThrowInternetException(DWORD dwError)
{
    throw new CInternetException(dwError);
}
