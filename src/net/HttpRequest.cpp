#include "net/HttpRequest.h"

#include "base/Decimal.h"
#include "base/UpdateLog.h"

#include "framework/AfxInet.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// After the platform's own time-outs, a little more before our own ends a
// wait: the platform should have spoken by then.
constexpr DWORD kWaitMarginMs = 1000;

HRESULT HResultOf(DWORD dwError)
{
    // A failure must never read as success, even when the platform left no code.
    return dwError ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
}

bool IsRedirect(DWORD dwStatus)
{
    return dwStatus == 301 || dwStatus == 302 || dwStatus == 303 || dwStatus == 307 || dwStatus == 308;
}

void SetTimeouts(HINTERNET h)
{
    DWORD timeout = CHttpRequest::kTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(h, option, &timeout, sizeof(timeout));
}

} // namespace

// What the platform's status callback reaches: shared by the owner and by
// every open handle of one request, and deleted only when all have let go,
// because the platform may complete a read (into this buffer) and close a
// handle after the owner has closed it.
class CRequestContext {
public:
    CRequestContext()
        : m_hComplete(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          m_hAllClosed(::CreateEventW(nullptr, TRUE, TRUE, nullptr))
    {
    }
    CRequestContext(const CRequestContext&) = delete;
    CRequestContext& operator=(const CRequestContext&) = delete;

    // A handle opened with this context; its closing notification lets go.
    void HandleOpened()
    {
        if (::InterlockedIncrement(&m_nHandles) == 1)
            ::ResetEvent(m_hAllClosed.Get());
        ::InterlockedIncrement(&m_nRefs);
    }
    // For a handle whose opening failed: no notification will come.
    void HandleNotOpened() { HandleClosed(); }

    void AddRef() { ::InterlockedIncrement(&m_nRefs); }

    void Release()
    {
        if (::InterlockedDecrement(&m_nRefs) == 0)
            delete this;
    }

    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pInfo, DWORD)
    {
        auto* pContext = reinterpret_cast<CRequestContext*>(dwContext);
        if (!pContext)
            return;  // the session, opened without a context
        if (dwStatus == INTERNET_STATUS_REQUEST_COMPLETE) {
            pContext->m_result = *static_cast<const INTERNET_ASYNC_RESULT*>(pInfo);
            ::SetEvent(pContext->m_hComplete.Get());
        } else if (dwStatus == INTERNET_STATUS_HANDLE_CLOSING) {
            pContext->HandleClosed();
        }
    }

    HANDLE Complete() const { return m_hComplete.Get(); }
    HANDLE AllClosed() const { return m_hAllClosed.Get(); }
    DWORD Error() const { return m_result.dwError; }

    std::vector<BYTE> m_buffer;
    INTERNET_BUFFERSW m_buffers = {};

private:
    ~CRequestContext() = default;

    void HandleClosed()
    {
        if (::InterlockedDecrement(&m_nHandles) == 0)
            ::SetEvent(m_hAllClosed.Get());
        Release();
    }

    CHandle m_hComplete;
    CHandle m_hAllClosed;
    INTERNET_ASYNC_RESULT m_result = {};
    volatile LONG m_nRefs = 1;  // the owner's
    volatile LONG m_nHandles = 0;
};

namespace {

// How long a closing thread waits for the platform to let go of a request
// before it keeps this code loaded for good instead.
constexpr DWORD kLateCloseWaitMs = 60000;

// Closes a request's handles on a thread of its own. Closing can take
// seconds (the platform may finish a read or drain the body first), and a
// stop must not wait for it; the thread holds this module until the platform
// has sent its last notification, then lets it go.
struct CRequestCloser {
    HINTERNET hRequest;
    HINTERNET hConnection;
    HINTERNET hSession;
    CRequestContext* pContext;  // one reference, ours
    HMODULE hModule;            // one reference, ours

    void CloseAll() const
    {
        for (HINTERNET h : {hRequest, hConnection, hSession}) {
            if (h)
                ::InternetCloseHandle(h);
        }
    }

    static DWORD WINAPI Run(LPVOID pParam)
    {
        CRequestCloser* pCloser = static_cast<CRequestCloser*>(pParam);
        pCloser->CloseAll();
        const HMODULE hModule = pCloser->hModule;
        const bool bClosed = ::WaitForSingleObject(pCloser->pContext->AllClosed(), kLateCloseWaitMs) == WAIT_OBJECT_0;
        if (!bClosed)
            PinModule();  // a notification may still come, now or ever
        pCloser->pContext->Release();
        delete pCloser;
        ::FreeLibraryAndExitThread(hModule, 0);
    }

    static void PinModule()
    {
        HMODULE hPinned = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                             reinterpret_cast<LPCWSTR>(&CRequestContext::OnStatus), &hPinned);
    }
};

} // namespace

CHttpRequest::CHttpRequest() : m_pContext(new CRequestContext) {}

CHttpRequest::~CHttpRequest()
{
    Close();
    m_pContext->Release();
}

void CHttpRequest::Close()
{
    if (!m_hRequest && !m_hConnection && !m_hSession)
        return;
    auto* pCloser = new CRequestCloser{std::exchange(m_hRequest, nullptr), m_hConnection.Detach(),
                                       m_hSession.Detach(), m_pContext, nullptr};
    m_pContext->AddRef();
    HANDLE hThread = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCWSTR>(&CRequestCloser::Run), &pCloser->hModule))
        hThread = ::CreateThread(nullptr, 0, &CRequestCloser::Run, pCloser, 0, nullptr);
    if (hThread) {
        ::CloseHandle(hThread);
        return;
    }
    // No thread for it: close here, and keep the code for a late notification.
    pCloser->CloseAll();
    CRequestCloser::PinModule();
    if (pCloser->hModule)
        ::FreeLibrary(pCloser->hModule);
    pCloser->pContext->Release();
    delete pCloser;
}

void CHttpRequest::CloseRequest()
{
    if (m_hRequest)
        ::InternetCloseHandle(std::exchange(m_hRequest, nullptr));
}

HRESULT CHttpRequest::Wait(HANDLE hStop, ULONGLONG ullDeadline, DWORD dwLimitMs)
{
    DWORD dwWait = dwLimitMs;
    if (ullDeadline) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= ullDeadline)
            return HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT);
        dwWait = static_cast<DWORD>(std::min<ULONGLONG>(dwWait, ullDeadline - now));
    }
    const HANDLE handles[] = {m_pContext->Complete(), hStop};
    switch (::WaitForMultipleObjects(hStop ? 2 : 1, handles, FALSE, dwWait)) {
    case WAIT_OBJECT_0:
        return m_pContext->Error() ? HResultOf(m_pContext->Error()) : S_OK;
    case WAIT_OBJECT_0 + 1:
        return E_ABORT;
    case WAIT_TIMEOUT:
        return HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT);
    default:
        return HResultOf(::GetLastError());
    }
}

HRESULT CHttpRequest::Send(LPCWSTR pszUrl, LPCWSTR pszHeaders, HANDLE hStop, ULONGLONG ullDeadline)
{
    Close();
    // A fresh context: an abandoned read of an earlier request may still complete into the old one.
    m_pContext->Release();
    m_pContext = new CRequestContext;
    m_hSession.Reset(::InternetOpenW(L"update", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!m_hSession)
        return HResultOf(::GetLastError());
    ::InternetSetStatusCallbackW(m_hSession.Get(), &CRequestContext::OnStatus);

    CString url(pszUrl);
    DWORD dwService = 0;
    CString server, object;
    INTERNET_PORT nPort = 0;
    if (!AfxParseURL(url, dwService, server, object, nPort))
        return HRESULT_FROM_WIN32(ERROR_INTERNET_INVALID_URL);
    // Anything but the web's own schemes could reach a file, a share or a
    // protocol that this library does not mean to speak.
    if (dwService != AFX_INET_SERVICE_HTTP && dwService != AFX_INET_SERVICE_HTTPS)
        return HRESULT_FROM_WIN32(ERROR_INTERNET_UNRECOGNIZED_SCHEME);

    for (int nRedirects = 0;; ++nRedirects) {
        const HRESULT hr = SendOnce(url, pszHeaders, hStop, ullDeadline);
        UpdateLog(L"GET ", LoggedAddress(url.Str()), L": ",
                  FAILED(hr) ? LoggedResult(hr) : L"status " + std::to_wstring(m_dwStatus));
        if (FAILED(hr))
            return hr;
        CString location;
        if (!IsRedirect(m_dwStatus) || !QueryHeader(HTTP_QUERY_LOCATION, location))
            return S_OK;
        // A loop of redirects would otherwise never end.
        if (nRedirects == kMaxRedirects)
            return HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED);
        wchar_t next[INTERNET_MAX_URL_LENGTH] = {};
        DWORD nLength = ARRAYSIZE(next);
        if (!::InternetCombineUrlW(url, location, next, &nLength, ICU_NO_ENCODE))
            return HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED);
        DWORD dwNextService = 0;
        if (!AfxParseURL(next, dwNextService, server, object, nPort))
            return HRESULT_FROM_WIN32(ERROR_HTTP_REDIRECT_FAILED);
        if (dwNextService != AFX_INET_SERVICE_HTTP && dwNextService != AFX_INET_SERVICE_HTTPS)
            return HRESULT_FROM_WIN32(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        // What TLS protects must not continue in the clear.
        if (dwService == AFX_INET_SERVICE_HTTPS && dwNextService != AFX_INET_SERVICE_HTTPS)
            return HRESULT_FROM_WIN32(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        url = next;
        dwService = dwNextService;
    }
}

HRESULT CHttpRequest::SendOnce(LPCWSTR pszUrl, LPCWSTR pszHeaders, HANDLE hStop, ULONGLONG ullDeadline)
{
    CloseRequest();
    m_hConnection.Reset();
    m_strUrl = pszUrl;
    m_dwStatus = 0;

    DWORD dwService = 0;
    CString server, object;
    INTERNET_PORT nPort = 0;
    if (!AfxParseURL(m_strUrl, dwService, server, object, nPort))
        return HRESULT_FROM_WIN32(ERROR_INTERNET_INVALID_URL);

    const auto context = reinterpret_cast<DWORD_PTR>(m_pContext);
    m_pContext->HandleOpened();
    m_hConnection.Reset(::InternetConnectW(m_hSession.Get(), server, nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                           context));
    if (!m_hConnection) {
        const DWORD dwError = ::GetLastError();
        m_pContext->HandleNotOpened();
        return HResultOf(dwError);
    }
    SetTimeouts(m_hConnection.Get());

    // The certificate checks stay on: no flag here ignores a name, an
    // authority or a date, and a failed check fails the request.
    DWORD dwFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                    INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
    if (dwService == AFX_INET_SERVICE_HTTPS)
        dwFlags |= INTERNET_FLAG_SECURE;
    m_pContext->HandleOpened();
    m_hRequest = ::HttpOpenRequestW(m_hConnection.Get(), L"GET", object, nullptr, nullptr, nullptr, dwFlags, context);
    if (!m_hRequest) {
        const DWORD dwError = ::GetLastError();
        m_pContext->HandleNotOpened();
        return HResultOf(dwError);
    }
    SetTimeouts(m_hRequest);

    if (!::HttpSendRequestW(m_hRequest, pszHeaders, pszHeaders ? static_cast<DWORD>(-1) : 0, nullptr, 0)) {
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_IO_PENDING)
            return HResultOf(dwError);
        // Connecting (with its retries), sending and the answer's first bytes.
        const HRESULT hr = Wait(hStop, ullDeadline, 3 * kTimeoutMs + kWaitMarginMs);
        if (FAILED(hr))
            return hr;
    }
    DWORD nSize = sizeof(m_dwStatus);
    if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &m_dwStatus, &nSize, nullptr))
        return HResultOf(::GetLastError());
    return S_OK;
}

BOOL CHttpRequest::QueryHeader(DWORD dwInfoLevel, CString& strValue) const
{
    if (!m_hRequest)
        return FALSE;
    wchar_t value[2048] = {};
    DWORD nSize = sizeof(value) - sizeof(wchar_t);
    if (!::HttpQueryInfoW(m_hRequest, dwInfoLevel, value, &nSize, nullptr))
        return FALSE;
    strValue = value;
    return TRUE;
}

BOOL CHttpRequest::GetContentLength(ULONGLONG& nLength) const
{
    CString text;
    return QueryHeader(HTTP_QUERY_CONTENT_LENGTH, text) && ParseStrictDecimal(text.Str(), nLength);
}

HRESULT CHttpRequest::Read(const BYTE** ppData, DWORD* pnRead, DWORD nMaxBytes, HANDLE hStop, ULONGLONG ullDeadline)
{
    *ppData = nullptr;
    *pnRead = 0;
    if (!m_hRequest)
        return E_HANDLE;
    CRequestContext& context = *m_pContext;
    if (context.m_buffer.empty())
        context.m_buffer.resize(kMaxReadSize);
    const DWORD nSize = std::max<DWORD>(1, std::min(nMaxBytes, kMaxReadSize));
    for (;;) {
        context.m_buffers = {};
        context.m_buffers.dwStructSize = sizeof(context.m_buffers);
        context.m_buffers.lpvBuffer = context.m_buffer.data();
        context.m_buffers.dwBufferLength = nSize;
        // What has arrived, up to nSize, without waiting for more: the caller
        // shows every chunk as soon as it is here. Nothing at all is a
        // pending read whose completion says that data has come; the next
        // call takes it. TRUE with nothing is the end of the body.
        if (::InternetReadFileExW(m_hRequest, &context.m_buffers, IRF_ASYNC | IRF_NO_WAIT,
                                  reinterpret_cast<DWORD_PTR>(m_pContext))) {
            *ppData = context.m_buffer.data();
            *pnRead = context.m_buffers.dwBufferLength;
            return S_OK;
        }
        const DWORD dwError = ::GetLastError();
        if (dwError != ERROR_IO_PENDING)
            return HResultOf(dwError);
        const HRESULT hr = Wait(hStop, ullDeadline, kTimeoutMs + kWaitMarginMs);
        if (FAILED(hr))
            return hr;
    }
}
