#include "framework/AfxException.h"

#include "framework/AfxWin.h"

#include "base/SystemMessage.h"

namespace {

BOOL CopyMessage(LPCWSTR pszText, LPWSTR pszError, UINT nMaxError)
{
    if (!pszError || nMaxError == 0)
        return FALSE;
    ::lstrcpynW(pszError, pszText, static_cast<int>(nMaxError));
    return TRUE;
}

CString SystemMessage(DWORD dwError, HMODULE hModule)
{
    return CString(SystemMessageText(dwError, hModule));
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

int CException::ReportError(UINT nType, UINT nMessageID, unsigned nKind)
{
    wchar_t text[512] = {};
    if (GetErrorMessage(text, ARRAYSIZE(text)))
        return AfxMessageBox(text, nType, nKind);
    if (nMessageID)
        return AfxMessageBox(nMessageID, nType, nKind);
    return AfxMessageBox(L"An unsupported operation was attempted.", nType, nKind);
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
