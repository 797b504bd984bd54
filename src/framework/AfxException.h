// The framework's exceptions: thrown by pointer, shown with ReportError,
// and always ended with Delete.
#pragma once

#include "framework/AfxString.h"
#include "framework/AfxUserEffects.h"

#include <memory>

class CException {
public:
    virtual ~CException() = default;

    // The exception's own text; FALSE when it has none.
    virtual BOOL GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;

    // Shows the message (or string nMessageID when it has none) in a message
    // box, when a message of that kind (EMessageKind) may be shown.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0, unsigned nKind = kMessageError);

    void Delete() { delete this; }
};

// Takes over a caught exception so that it is deleted on every way out.
struct CExceptionDelete {
    void operator()(CException* e) const { if (e) e->Delete(); }
};
using CExceptionPtr = std::unique_ptr<CException, CExceptionDelete>;

class CMemoryException : public CException {
public:
    BOOL GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
};

// A platform error code with its system text.
class CWin32Exception : public CException {
public:
    explicit CWin32Exception(DWORD dwError) : m_dwError(dwError) {}
    BOOL GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
    DWORD m_dwError;
};

class CFileException : public CWin32Exception {
public:
    CFileException(DWORD dwError, LPCWSTR pszFileName) : CWin32Exception(dwError), m_strFileName(pszFileName) {}
    BOOL GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
    CString m_strFileName;
};

// An Internet error (ERROR_INTERNET_*), described by WinINet's own message table.
class CInternetException : public CWin32Exception {
public:
    explicit CInternetException(DWORD dwError) : CWin32Exception(dwError) {}
    BOOL GetErrorMessage(LPWSTR pszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowFileException(DWORD dwError, LPCWSTR pszFileName);
[[noreturn]] void AfxThrowInternetException(DWORD dwError);
