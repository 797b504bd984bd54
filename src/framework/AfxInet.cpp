#include "framework/AfxInet.h"

#include "framework/AfxException.h"
#include "framework/AfxWin.h"

#include <algorithm>
#include <cstring>

namespace {

[[noreturn]] void ThrowLastInternetError()
{
    AfxThrowInternetException(::GetLastError());
}

DWORD ServiceOfScheme(INTERNET_SCHEME scheme)
{
    switch (scheme) {
    case INTERNET_SCHEME_HTTP: return AFX_INET_SERVICE_HTTP;
    case INTERNET_SCHEME_HTTPS: return AFX_INET_SERVICE_HTTPS;
    case INTERNET_SCHEME_FTP: return AFX_INET_SERVICE_FTP;
    case INTERNET_SCHEME_FILE: return AFX_INET_SERVICE_FILE;
    default: return AFX_INET_SERVICE_UNK;
    }
}

LONGLONG Microseconds()
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return now.QuadPart / frequency.QuadPart * 1000000 + now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

CString AnsiToString(const char* p, size_t n)
{
    if (n == 0)
        return CString();
    const int nChars = ::MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(n), nullptr, 0);
    CString text;
    ::MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(n), text.GetBuffer(nChars), nChars);
    text.ReleaseBuffer(nChars);
    return text;
}

} // namespace

BOOL AfxParseURL(LPCWSTR pszURL, DWORD& dwServiceType, CString& strServer, CString& strObject, INTERNET_PORT& nPort)
{
    dwServiceType = AFX_INET_SERVICE_UNK;
    if (!pszURL || !*pszURL)
        return FALSE;
    // Nonzero lengths with null buffers: the parts come back as pointers into the address.
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(pszURL, 0, 0, &parts) || parts.dwSchemeLength == 0 || parts.dwHostNameLength == 0)
        return FALSE;
    dwServiceType = ServiceOfScheme(parts.nScheme);
    strServer = CString(parts.lpszHostName, static_cast<int>(parts.dwHostNameLength));
    strObject = CString(parts.lpszUrlPath, static_cast<int>(parts.dwUrlPathLength))
                + CString(parts.lpszExtraInfo, static_cast<int>(parts.dwExtraInfoLength));
    if (strObject.IsEmpty() || strObject[0] != L'/')
        strObject = L"/" + strObject;
    nPort = parts.nPort;
    return TRUE;
}

UINT CInternetFile::Read(void* pBuffer, UINT nCount)
{
    if (!m_strAhead.empty()) {
        const UINT n = static_cast<UINT>(std::min<size_t>(nCount, m_strAhead.size()));
        std::memcpy(pBuffer, m_strAhead.data(), n);
        m_strAhead.erase(0, n);
        return n;
    }
    const LONGLONG tStart = Microseconds();
    if (m_bLargeReads) {
        const UINT n = ReadAll(pBuffer, nCount);
        // A large read that had to wait: the data no longer streams.
        if (Microseconds() - tStart > kLargeReadMicroseconds) {
            m_bLargeReads = FALSE;
            m_nPaceBytes = 0;
        }
        return n;
    }
    if (m_nPaceBytes == 0)
        m_tPaceStart = tStart;
    const UINT n = ReadArrived(pBuffer, nCount);
    m_nPaceBytes += n;
    if (m_nPaceBytes >= nCount) {
        m_bLargeReads = Microseconds() - m_tPaceStart <= kLargeReadMicroseconds;
        m_nPaceBytes = 0;
    }
    return n;
}

UINT CInternetFile::ReadArrived(void* pBuffer, UINT nCount)
{
    DWORD nAvailable = 0;
    if (!::InternetQueryDataAvailable(m_hFile.Get(), &nAvailable, 0, 0))
        ThrowLastInternetError();
    return nAvailable ? ReadAll(pBuffer, std::min<DWORD>(nCount, nAvailable)) : 0;
}

UINT CInternetFile::ReadAll(void* pBuffer, UINT nCount)
{
    DWORD nRead = 0;
    if (!::InternetReadFile(m_hFile.Get(), pBuffer, nCount, &nRead))
        ThrowLastInternetError();
    return nRead;
}

void CInternetFile::Write(const void* pBuffer, UINT nCount)
{
    const BYTE* p = static_cast<const BYTE*>(pBuffer);
    while (nCount > 0) {
        DWORD nWritten = 0;
        if (!::InternetWriteFile(m_hFile.Get(), p, nCount, &nWritten))
            ThrowLastInternetError();
        if (nWritten == 0)
            AfxThrowInternetException(ERROR_INTERNET_CONNECTION_ABORTED);
        p += nWritten;
        nCount -= nWritten;
    }
}

void CInternetFile::Close()
{
    m_hFile.Reset();
    m_strAhead.clear();
}

BOOL CInternetFile::ReadString(CString& rString)
{
    size_t nEnd;
    while ((nEnd = m_strAhead.find('\n')) == std::string::npos) {
        char chunk[1024];
        const UINT nRead = ReadArrived(chunk, sizeof(chunk));
        if (nRead == 0)
            break;
        m_strAhead.append(chunk, nRead);
    }
    if (m_strAhead.empty()) {
        rString.Empty();
        return FALSE;
    }
    const bool bEnded = nEnd != std::string::npos;
    std::string line = m_strAhead.substr(0, nEnd);
    m_strAhead.erase(0, bEnded ? nEnd + 1 : std::string::npos);
    if (bEnded && !line.empty() && line.back() == '\r')
        line.pop_back();
    rString = AnsiToString(line.data(), line.size());
    return TRUE;
}

DWORD CInternetFile::GetLength() const
{
    DWORD nAvailable = 0;
    if (!::InternetQueryDataAvailable(m_hFile.Get(), &nAvailable, 0, 0))
        nAvailable = 0;
    return static_cast<DWORD>(m_strAhead.size()) + nAvailable;
}

BOOL CHttpFile::SendRequest(LPCWSTR pszHeaders, DWORD dwHeadersLength, LPVOID pOptional, DWORD dwOptionalLength)
{
    if (pszHeaders && dwHeadersLength == 0)
        dwHeadersLength = static_cast<DWORD>(-1);
    if (!::HttpSendRequestW(*this, pszHeaders, dwHeadersLength, pOptional, dwOptionalLength))
        ThrowLastInternetError();
    return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& dwStatusCode) const
{
    DWORD nSize = sizeof(dwStatusCode);
    return ::HttpQueryInfoW(*this, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatusCode, &nSize, nullptr);
}

BOOL CHttpFile::QueryInfo(DWORD dwInfoLevel, CString& strValue) const
{
    wchar_t value[256] = {};
    DWORD nSize = sizeof(value) - sizeof(wchar_t);
    if (!::HttpQueryInfoW(*this, dwInfoLevel, value, &nSize, nullptr))
        return FALSE;
    strValue = value;
    return TRUE;
}

CHttpFile* CHttpConnection::OpenRequest(LPCWSTR pszVerb, LPCWSTR pszObjectName, LPCWSTR pszReferer,
                                        DWORD_PTR dwContext, LPCWSTR* ppszAcceptTypes, LPCWSTR pszVersion,
                                        DWORD dwFlags)
{
    HINTERNET h = ::HttpOpenRequestW(m_hConnection.Get(), pszVerb, pszObjectName, pszVersion, pszReferer,
                                     ppszAcceptTypes, dwFlags, dwContext);
    if (!h)
        ThrowLastInternetError();
    return new CHttpFile(h);
}

BOOL CHttpConnection::SetOption(DWORD dwOption, DWORD dwValue)
{
    return ::InternetSetOptionW(m_hConnection.Get(), dwOption, &dwValue, sizeof(dwValue));
}

void CHttpConnection::Close()
{
    m_hConnection.Reset();
}

CInternetSession::CInternetSession(LPCWSTR pszAgent, DWORD_PTR dwContext, DWORD dwAccessType,
                                   LPCWSTR pszProxyName, LPCWSTR pszProxyBypass, DWORD dwFlags)
    : m_dwContext(dwContext)
{
    CString strAgent = pszAgent;
    if (!pszAgent && AfxGetApp())
        strAgent = AfxGetApp()->m_strAppName;
    m_hSession.Reset(::InternetOpenW(strAgent, dwAccessType, pszProxyName, pszProxyBypass, dwFlags));
    if (!m_hSession)
        ThrowLastInternetError();
}

BOOL CInternetSession::SetOption(DWORD dwOption, DWORD dwValue)
{
    return ::InternetSetOptionW(m_hSession.Get(), dwOption, &dwValue, sizeof(dwValue));
}

CInternetFile* CInternetSession::OpenURL(LPCWSTR pszURL, DWORD_PTR dwContext, DWORD dwFlags, LPCWSTR pszHeaders,
                                         DWORD dwHeadersLength)
{
    if (pszHeaders && dwHeadersLength == 0)
        dwHeadersLength = static_cast<DWORD>(-1);
    CInternetHandle hFile(::InternetOpenUrlW(m_hSession.Get(), pszURL, pszHeaders, dwHeadersLength, dwFlags, dwContext));
    if (!hFile)
        ThrowLastInternetError();
    DWORD dwType = 0;
    DWORD nSize = sizeof(dwType);
    if (::InternetQueryOptionW(hFile.Get(), INTERNET_OPTION_HANDLE_TYPE, &dwType, &nSize)
        && dwType == INTERNET_HANDLE_TYPE_HTTP_REQUEST)
        return new CHttpFile(hFile.Detach());
    return new CInternetFile(hFile.Detach());
}

CHttpConnection* CInternetSession::GetHttpConnection(LPCWSTR pszServer, INTERNET_PORT nPort, LPCWSTR pszUserName,
                                                     LPCWSTR pszPassword)
{
    HINTERNET h = ::InternetConnectW(m_hSession.Get(), pszServer, nPort, pszUserName, pszPassword,
                                     INTERNET_SERVICE_HTTP, 0, m_dwContext);
    if (!h)
        ThrowLastInternetError();
    return new CHttpConnection(h);
}

void CInternetSession::Close()
{
    m_hSession.Reset();
}
