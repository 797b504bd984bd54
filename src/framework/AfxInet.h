// The framework's Internet classes over WinINet. Failures of WinINet throw a
// CInternetException carrying its error code.
#pragma once

#include "framework/AfxFile.h"
#include "framework/AfxHandle.h"
#include "framework/AfxString.h"

#include <string>

// Service types reported by AfxParseURL.
enum : DWORD {
    AFX_INET_SERVICE_FTP = INTERNET_SERVICE_FTP,
    AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP,
    AFX_INET_SERVICE_UNK = 0x1000,
    AFX_INET_SERVICE_FILE = 0x1001,
    AFX_INET_SERVICE_HTTPS = 0x1007,
};

// Splits "scheme://[user[:password]@]server[:port][/object]" into its service,
// server, object (path, query and fragment; "/" when empty) and port (the
// scheme's default when none is named). FALSE when it is no such address.
BOOL AfxParseURL(LPCWSTR pszURL, DWORD& dwServiceType, CString& strServer, CString& strObject, INTERNET_PORT& nPort);

// A file opened through WinINet: a download's body.
class CInternetFile : public CFileBase {
public:
    explicit CInternetFile(HINTERNET hFile) : m_hFile(hFile) {}

    // Up to nCount bytes; 0 at the end. While the body comes slowly it returns
    // what has arrived; once it streams, it waits for all nCount bytes, which
    // at the pace seen takes a few milliseconds.
    UINT Read(void* pBuffer, UINT nCount) override;
    void Write(const void* pBuffer, UINT nCount) override;
    void Close() override;

    // The next line without its end ("\n" or "\r\n"), its bytes taken in the
    // ANSI code page; FALSE when the body has ended.
    BOOL ReadString(CString& rString);

    // Bytes that can be read now (InternetQueryDataAvailable); 0 when that fails.
    DWORD GetLength() const;

    operator HINTERNET() const { return m_hFile.Get(); }

private:
    // A synchronous read may wait until it has all it asked for, even holding
    // some already; a read of what has arrived moves a few kilobytes for a
    // round of calls that is costly under some WinINets. So read what has
    // arrived until a large read's worth comes within this time, then large.
    static constexpr LONGLONG kLargeReadMicroseconds = 50000;

    UINT ReadArrived(void* pBuffer, UINT nCount);
    UINT ReadAll(void* pBuffer, UINT nCount);

    CInternetHandle m_hFile;
    std::string m_strAhead;  // read past the end of the last line
    BOOL m_bLargeReads = FALSE;
    UINT m_nPaceBytes = 0;   // read what has arrived since m_tPaceStart
    LONGLONG m_tPaceStart = 0;
};

class CHttpFile : public CInternetFile {
public:
    using CInternetFile::CInternetFile;

    BOOL SendRequest(LPCWSTR pszHeaders = nullptr, DWORD dwHeadersLength = 0, LPVOID pOptional = nullptr,
                     DWORD dwOptionalLength = 0);
    BOOL QueryInfoStatusCode(DWORD& dwStatusCode) const;
    // A header of the answer as text (HTTP_QUERY_...); FALSE when it is missing.
    BOOL QueryInfo(DWORD dwInfoLevel, CString& strValue) const;
};

class CHttpConnection {
public:
    explicit CHttpConnection(HINTERNET hConnection) : m_hConnection(hConnection) {}
    virtual ~CHttpConnection() = default;
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // A request to send; the caller owns it. pszVersion null: the default HTTP version.
    CHttpFile* OpenRequest(LPCWSTR pszVerb, LPCWSTR pszObjectName, LPCWSTR pszReferer = nullptr,
                           DWORD_PTR dwContext = 1, LPCWSTR* ppszAcceptTypes = nullptr,
                           LPCWSTR pszVersion = nullptr, DWORD dwFlags = INTERNET_FLAG_EXISTING_CONNECT);
    // A 4-byte option; FALSE on failure, with the platform's last error set.
    BOOL SetOption(DWORD dwOption, DWORD dwValue);
    virtual void Close();

    operator HINTERNET() const { return m_hConnection.Get(); }

private:
    CInternetHandle m_hConnection;
};

class CInternetSession {
public:
    // A null agent stands for the application's name.
    explicit CInternetSession(LPCWSTR pszAgent = nullptr, DWORD_PTR dwContext = 1,
                              DWORD dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG, LPCWSTR pszProxyName = nullptr,
                              LPCWSTR pszProxyBypass = nullptr, DWORD dwFlags = 0);
    virtual ~CInternetSession() = default;
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A 4-byte option; FALSE on failure, with the platform's last error set.
    BOOL SetOption(DWORD dwOption, DWORD dwValue);

    // Sends a request for the address; the caller owns the file, a CHttpFile
    // for an HTTP address.
    CInternetFile* OpenURL(LPCWSTR pszURL, DWORD_PTR dwContext = 1, DWORD dwFlags = INTERNET_FLAG_TRANSFER_ASCII,
                           LPCWSTR pszHeaders = nullptr, DWORD dwHeadersLength = 0);

    // The caller owns the connection; it must be closed before the session.
    CHttpConnection* GetHttpConnection(LPCWSTR pszServer, INTERNET_PORT nPort = INTERNET_INVALID_PORT_NUMBER,
                                       LPCWSTR pszUserName = nullptr, LPCWSTR pszPassword = nullptr);

    virtual void Close();

    DWORD_PTR GetContext() const { return m_dwContext; }
    operator HINTERNET() const { return m_hSession.Get(); }

private:
    CInternetHandle m_hSession;
    DWORD_PTR m_dwContext;
};
