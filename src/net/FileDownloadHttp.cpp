#include "net/FileDownloadHttp.h"

#include "framework/AfxException.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "host/UpdateApp.h"

#include <cwchar>

namespace {

// The unit of progress and of the stop check.
constexpr UINT kChunkSize = 4096;
// What one network read or file write moves beneath the chunks: WinINet's cost
// per call is high, so few large calls keep the transfer at the network's pace.
constexpr int kReadBufferSize = 256 * 1024;
constexpr int kWriteBufferSize = 256 * 1024;

constexpr DWORD kTimeoutMs = 5000;
constexpr DWORD kConnectRetries = 5;
constexpr DWORD kStopWaitMs = 2000;

HRESULT HResultFromError(DWORD dwError)
{
    // A failure must never read as success, even when the platform left no code.
    return dwError ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
}

BOOL IsSuccessStatus(DWORD dwStatus)
{
    return dwStatus >= 200 && dwStatus <= 299;
}

// A body that ends before the length its answer announced was cut off; one
// without a length ends where the server closes it.
BOOL IsBodyComplete(const CString& strContentLength, ULONGLONG nReceived)
{
    if (strContentLength.IsEmpty())
        return TRUE;
    wchar_t* pEnd = nullptr;
    const ULONGLONG nAnnounced = std::wcstoull(strContentLength, &pEnd, 10);
    if (pEnd == strContentLength.GetString() || *pEnd != L'\0')
        return TRUE;
    return nReceived >= nAnnounced;
}

void ReportIfInteractive(CException* e)
{
    if (g_bInteractive)
        e->ReportError(MB_OK);
}

} // namespace

CFileDownloadHttp::CFileDownloadHttp() = default;

CFileDownloadHttp::~CFileDownloadHttp()
{
    StopThread();
    // Children before their parents: a handle closed with its parent would be
    // closed again later, perhaps after its value went to a new handle.
    m_pHttpFile.reset();
    m_pConnection.reset();
    m_pInternetSession.reset();
}

HRESULT CFileDownloadHttp::Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile)
{
    ::InterlockedExchange(&m_nFinished, 0);
    m_strUrl = pszUrl;
    m_strLocalFile = pszLocalFile;
    m_nFileSize = 0;
    ::InterlockedExchange(&m_nReceived, 0);

    // The service type is not examined: the request is plain HTTP to the named port.
    DWORD dwServiceType = 0;
    INTERNET_PORT nPort = 0;
    if (!AfxParseURL(m_strUrl, dwServiceType, m_strServer, m_strObject, nPort)) {
        AfxTrace(L"AfxParseURL FALSE!");
        return E_FAIL;
    }

    // A session that cannot be opened fails the start like any framework error.
    try {
        m_pInternetSession = std::make_unique<CInternetSession>();
        const HRESULT hr = SetSessionOptions();
        if (FAILED(hr))
            return hr;
        AfxTrace(L"start TRY TO Download..." + m_strObject);
        return SendRequestAndStart(nPort);
    } catch (CException* e) {
        CExceptionPtr guard(e);
        ReportIfInteractive(e);
        return E_FAIL;
    }
}

HRESULT CFileDownloadHttp::SetSessionOptions()
{
    AfxTrace(L"m_pInternetSession->SetOption()!");
    if (!m_pInternetSession->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMs))
        return HResultFromError(::GetLastError());
    m_pInternetSession->SetOption(INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kTimeoutMs);
    m_pInternetSession->SetOption(INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);
    return S_OK;
}

HRESULT CFileDownloadHttp::SendRequestAndStart(INTERNET_PORT nPort)
{
    m_pConnection.reset(m_pInternetSession->GetHttpConnection(m_strServer, nPort));
    if (!m_pConnection) {
        AfxTrace(L"Get Connection False");
        return E_FAIL;
    }
    AfxTrace(L"Get Connection Success");
    // The data time-out of the session serves FTP's data channel only; without
    // this one, a server that falls silent would hold the worker for ever.
    m_pConnection->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMs);

    m_pHttpFile.reset(m_pConnection->OpenRequest(L"GET", m_strObject, nullptr, 1, nullptr, nullptr,
                                                 INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION));
    if (!m_pHttpFile)
        return E_FAIL;
    m_pHttpFile->SendRequest();

    // An error page is no file: it must never stand as the destination, and
    // no partial file is left to look like one.
    DWORD dwStatus = 0;
    if (!m_pHttpFile->QueryInfoStatusCode(dwStatus) || !IsSuccessStatus(dwStatus)) {
        CString text;
        text.Format(L"HTTP status %lu", dwStatus);
        AfxTrace(text);
        ::DeleteFileW(GetTempFile());
        return E_FAIL;
    }

    m_nFileSize = m_pHttpFile->GetLength();
    if (m_nFileSize != 0)
        AfxTrace(L"file right");
    else
        AfxMessageBox(L"文件错误", MB_OK);

    AfxTrace(L"Begin DownloadImpl Thread!!!");
    m_pReadFile = m_pHttpFile.get();
    // Started suspended so that the object is ours before its thread can end.
    CWinThread* pThread = AfxBeginThread(&DownloadThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!pThread)
        return E_FAIL;
    pThread->m_bAutoDelete = FALSE;
    m_pThread.reset(pThread);
    m_pThread->ResumeThread();
    return S_OK;
}

UINT CFileDownloadHttp::DownloadThreadProc(LPVOID pParam)
{
    return static_cast<CFileDownloadHttp*>(pParam)->DownloadImpl();
}

UINT CFileDownloadHttp::DownloadImpl()
{
    try {
        const CString strTemp = GetTempFile();
        ULONGLONG nTotal = 0;
        BOOL bStopped;
        {
            CFile file(strTemp, CFile::modeCreate | CFile::modeWrite);
            CArchive store(&file, CArchive::store, kWriteBufferSize);
            CArchive load(m_pReadFile, CArchive::load, kReadBufferSize);
            bStopped = CopyBody(load, store, nTotal);
            store.Close();
            file.Close();
        }
        if (bStopped) {
            ::DeleteFileW(strTemp);
        } else {
            CString strLength;
            m_pReadFile->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, strLength);
            if (!IsBodyComplete(strLength, nTotal))
                AfxThrowInternetException(ERROR_INTERNET_CONNECTION_RESET);
            ReplaceDestination();
            ::InterlockedExchange(&m_nFinished, 1);
        }
        CloseInternet();
    } catch (CException* e) {
        // The temporary file keeps what had arrived; the destination is untouched.
        CExceptionPtr guard(e);
        ReportIfInteractive(e);
    }
    return 0;
}

BOOL CFileDownloadHttp::CopyBody(CArchive& load, CArchive& store, ULONGLONG& nTotal)
{
    BYTE chunk[kChunkSize];
    for (;;) {
        const UINT nRead = load.Read(chunk, kChunkSize);
        if (nRead == 0)
            return FALSE;
        // Checked without waiting: a stop asked for is consumed here, and no
        // stop costs nothing. The chunk just read is dropped.
        if (::InterlockedExchangeAdd(&m_nStopAsked, 0)) {
            CSingleLock lock(&m_eventStop);
            if (lock.Lock(0))
                return TRUE;
        }
        store.Write(chunk, nRead);
        nTotal += nRead;
        ::InterlockedExchangeAdd(&m_nReceived, static_cast<LONG>(nRead));
    }
}

void CFileDownloadHttp::ReplaceDestination()
{
    // One step, so that the destination is either the old file or the whole new one.
    const CString strTemp = GetTempFile();
    if (!::MoveFileExW(strTemp, m_strLocalFile, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        AfxThrowFileException(::GetLastError(), m_strLocalFile);
}

void CFileDownloadHttp::CloseInternet()
{
    m_pReadFile->Close();
    m_pConnection->Close();
    m_pInternetSession->Close();
}

LONG CFileDownloadHttp::IsFinished()
{
    ::Sleep(1);
    return ::InterlockedExchangeAdd(&m_nFinished, 0);
}

LONG CFileDownloadHttp::GetReceived()
{
    ::Sleep(1);
    return ::InterlockedExchangeAdd(&m_nReceived, 0);
}

BOOL CFileDownloadHttp::HasStopped()
{
    // The thread's end is read before the flag: a worker that finishes and ends
    // between the two reads is then seen finished, never failed.
    const BOOL bEnded = !m_pThread || ::WaitForSingleObject(*m_pThread, 0) == WAIT_OBJECT_0;
    return bEnded && ::InterlockedExchangeAdd(&m_nFinished, 0) == 0;
}

void CFileDownloadHttp::Cancel()
{
    RequestStop();
}

void CFileDownloadHttp::RequestStop()
{
    // Set, not pulsed: a pulse while the worker reads would be lost. The
    // auto-reset event stays signalled until the worker's next check.
    ::InterlockedExchange(&m_nStopAsked, 1);
    m_eventStop.SetEvent();
}

void CFileDownloadHttp::StopThread()
{
    if (!m_pThread)
        return;
    while (::WaitForSingleObject(*m_pThread, kStopWaitMs) == WAIT_TIMEOUT)
        RequestStop();
    m_pThread.reset();
}

CString CFileDownloadHttp::GetTempFile() const
{
    return m_strLocalFile + L".tmp";
}
