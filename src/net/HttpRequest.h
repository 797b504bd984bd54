// One HTTP GET over an asynchronous WinINet session. Every wait ends: at the
// request's time-outs, at the caller's deadline, or at once when the caller's
// stop event is signalled, whatever the server does. Redirects are followed
// by rule, never by the platform.
#pragma once

#include "framework/AfxHandle.h"
#include "framework/AfxString.h"

#include <wininet.h>

class CRequestContext;

class CHttpRequest {
public:
    // Connect, send and receive time-outs of every request.
    static constexpr DWORD kTimeoutMs = 5000;
    // Redirects followed before the request fails.
    static constexpr int kMaxRedirects = 10;
    // The largest read beneath the caller's chunks: WinINet's cost follows
    // the number of receive calls, so few large reads keep pace with the wire.
    static constexpr DWORD kMaxReadSize = 1024 * 1024;

    CHttpRequest();
    // Closes the request; a read the platform still holds keeps its buffer
    // (and this code) alive until the platform lets go.
    ~CHttpRequest();
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Sends a GET for an http or https address, with extra header lines
    // (each ending in "\r\n") or none, and follows redirects: at most
    // kMaxRedirects, to http or https only, never from https to http. S_OK
    // once a final answer's headers have arrived; E_ABORT when hStop was
    // signalled (it is consumed); else the failure as an HRESULT. hStop may be
    // null. ullDeadline is a GetTickCount64 value, 0 for none.
    HRESULT Send(LPCWSTR pszUrl, LPCWSTR pszHeaders, HANDLE hStop, ULONGLONG ullDeadline);

    DWORD GetStatus() const { return m_dwStatus; }
    // A header of the final answer as text; FALSE when it is missing.
    BOOL QueryHeader(DWORD dwInfoLevel, CString& strValue) const;
    // The announced body length; FALSE without a valid Content-Length.
    BOOL GetContentLength(ULONGLONG& nLength) const;
    // The address of the final answer, after redirects.
    const CString& GetUrl() const { return m_strUrl; }

    // The next piece of the body as it has arrived, at most nMaxBytes: S_OK
    // with *pnRead bytes at *ppData (0 at the end), valid until the next
    // call; E_ABORT on a stop; else the failure.
    HRESULT Read(const BYTE** ppData, DWORD* pnRead, DWORD nMaxBytes, HANDLE hStop, ULONGLONG ullDeadline);

    void Close();

private:
    HRESULT SendOnce(LPCWSTR pszUrl, LPCWSTR pszHeaders, HANDLE hStop, ULONGLONG ullDeadline);
    HRESULT Wait(HANDLE hStop, ULONGLONG ullDeadline, DWORD dwLimitMs);
    void CloseRequest();

    CInternetHandle m_hSession;
    CInternetHandle m_hConnection;
    HINTERNET m_hRequest = nullptr;   // closed through CloseRequest: its context outlives it
    CRequestContext* m_pContext = nullptr;
    CString m_strUrl;
    DWORD m_dwStatus = 0;
};
