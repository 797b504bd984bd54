#include "net/FileDownloadHttp.h"

#include "framework/AfxException.h"
#include "framework/AfxFile.h"
#include "framework/AfxInet.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "host/UpdateApp.h"
#include "net/DownloadCheck.h"

#include <algorithm>

namespace {

// The unit of progress and of the stop check.
constexpr DWORD kChunkSize = 4096;
// What one file write moves beneath the chunks.
constexpr int kWriteBufferSize = 256 * 1024;

constexpr DWORD kStopWaitMs = 2000;

// Only a 200 delivers a file: a 206 that nobody asked for is a piece of one,
// a 204 or any other answer is no file at all.
constexpr DWORD kStatusOk = 200;

} // namespace

CFileDownloadHttp::CFileDownloadHttp() = default;

CFileDownloadHttp::~CFileDownloadHttp()
{
    StopThread();
    m_request.Close();
}

bool CFileDownloadHttp::MayReport() const
{
    // Once the user has stopped the download, its failure is no news to them.
    return g_bInteractive && !::InterlockedExchangeAdd(const_cast<volatile LONG*>(&m_nStopAsked), 0);
}

HRESULT CFileDownloadHttp::Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile)
{
    ::InterlockedExchange(&m_nFinished, 0);
    m_strUrl = pszUrl;
    m_strLocalFile = pszLocalFile;
    m_nFileSize = 0;
    ::InterlockedExchange(&m_nReceived, 0);
    m_ullDeadline = m_dwDeadlineMs ? ::GetTickCount64() + m_dwDeadlineMs : 0;

    DWORD dwServiceType = 0;
    CString server, object;
    INTERNET_PORT nPort = 0;
    if (!AfxParseURL(m_strUrl, dwServiceType, server, object, nPort)) {
        AfxTrace(L"AfxParseURL FALSE!");
        return E_FAIL;
    }
    // Nothing is sent for another scheme: a file, a share or FTP is no update service.
    if (dwServiceType != AFX_INET_SERVICE_HTTP && dwServiceType != AFX_INET_SERVICE_HTTPS)
        return E_FAIL;
    AfxTrace(L"m_pInternetSession->SetOption()!");
    AfxTrace(L"start TRY TO Download..." + object);
    return SendRequestAndStart();
}

HRESULT CFileDownloadHttp::SendRequestAndStart()
{
    const HRESULT hr = m_request.Send(m_strUrl, nullptr, m_eventStop, m_ullDeadline);
    if (FAILED(hr)) {
        AfxTrace(L"Get Connection False");
        if (hr != E_ABORT && MayReport()) {
            CInternetException e(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CANNOT_CONNECT);
            e.ReportError(MB_OK);
        }
        return E_FAIL;
    }
    AfxTrace(L"Get Connection Success");

    // An error page is no file: it must never stand as the destination, and
    // no partial file is left to look like one.
    if (m_request.GetStatus() != kStatusOk) {
        CString text;
        text.Format(L"HTTP status %lu", m_request.GetStatus());
        AfxTrace(text);
        ::DeleteFileW(GetTempFile());
        return E_FAIL;
    }

    ULONGLONG nLength = 0;
    const BOOL bAnnounced = m_request.GetContentLength(nLength);
    if (bAnnounced && nLength > m_nMaxSize) {
        AfxTrace(L"file too large");
        return E_FAIL;
    }
    m_nFileSize = static_cast<DWORD>(std::min<ULONGLONG>(nLength, MAXDWORD));
    if (!bAnnounced || nLength != 0) {
        AfxTrace(L"file right");
    } else if (MayReport() && !IsSilentCheck()) {
        // An empty answer: said only to a person who is watching.
        AfxMessageBox(L"文件错误", MB_OK);
    }

    AfxTrace(L"Begin DownloadImpl Thread!!!");
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
    const CString strTemp = GetTempFile();
    try {
        ULONGLONG nTotal = 0;
        BOOL bStopped;
        {
            CFile file(strTemp, CFile::modeCreate | CFile::modeWrite);
            CArchive store(&file, CArchive::store, kWriteBufferSize);
            bStopped = CopyBody(store, nTotal);
            store.Close();
            file.Close();
        }
        if (bStopped) {
            m_hrFailure = E_ABORT;
            ::DeleteFileW(strTemp);
            return 0;
        }
        ULONGLONG nAnnounced = 0;
        // A body that ends before the length its answer announced was cut
        // off; one without a length ends where the server closes it.
        if (m_request.GetContentLength(nAnnounced) && nTotal < nAnnounced)
            AfxThrowInternetException(ERROR_INTERNET_CONNECTION_RESET);
        const HRESULT hrCheck = CheckBody(nTotal);
        if (FAILED(hrCheck)) {
            // Whole, and still not what was expected: nothing of it is worth keeping.
            m_hrFailure = hrCheck;
            ::DeleteFileW(strTemp);
            return 0;
        }
        ReplaceDestination();
        ::InterlockedExchange(&m_nFinished, 1);
    } catch (CException* e) {
        // The temporary file keeps what had arrived; the destination is untouched.
        CExceptionPtr guard(e);
        if (MayReport())
            e->ReportError(MB_OK);
    }
    return 0;
}

BOOL CFileDownloadHttp::CopyBody(CArchive& store, ULONGLONG& nTotal)
{
    // Reads bring what has arrived; the chunks are cut from it whole, and
    // only the last one of the body may be shorter.
    BYTE partial[kChunkSize];
    DWORD nPartial = 0;
    for (;;) {
        const BYTE* pData = nullptr;
        DWORD nRead = 0;
        const HRESULT hr = m_request.Read(&pData, &nRead, CHttpRequest::kMaxReadSize, m_eventStop, m_ullDeadline);
        if (hr == E_ABORT)
            return TRUE;
        if (FAILED(hr))
            AfxThrowInternetException(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CONNECTION_ABORTED);
        if (nRead == 0)
            return nPartial > 0 && StoreChunk(store, partial, nPartial, nTotal);
        while (nRead > 0) {
            const BYTE* pChunk = pData;
            DWORD nChunk = kChunkSize;
            if (nPartial > 0 || nRead < kChunkSize) {
                const DWORD nTake = std::min(kChunkSize - nPartial, nRead);
                std::copy_n(pData, nTake, partial + nPartial);
                nPartial += nTake;
                pData += nTake;
                nRead -= nTake;
                if (nPartial < kChunkSize)
                    break;
                pChunk = partial;
                nPartial = 0;
            } else {
                pData += kChunkSize;
                nRead -= kChunkSize;
            }
            if (StoreChunk(store, pChunk, nChunk, nTotal))
                return TRUE;
        }
    }
}

BOOL CFileDownloadHttp::StoreChunk(CArchive& store, const BYTE* pChunk, DWORD nChunk, ULONGLONG& nTotal)
{
    // Checked without waiting: a stop asked for is consumed here, and no stop
    // costs nothing. The chunk at hand is dropped.
    if (::InterlockedExchangeAdd(&m_nStopAsked, 0)) {
        CSingleLock lock(&m_eventStop);
        if (lock.Lock(0))
            return TRUE;
    }
    if (nTotal + nChunk > m_nMaxSize)
        AfxThrowInternetException(ERROR_INTERNET_CONNECTION_ABORTED);
    if (m_pCheck)
        m_pCheck->OnBytes(pChunk, nChunk);
    store.Write(pChunk, nChunk);
    nTotal += nChunk;
    ::InterlockedExchangeAdd(&m_nReceived, static_cast<LONG>(nChunk));
    return FALSE;
}

HRESULT CFileDownloadHttp::CheckBody(ULONGLONG nTotal)
{
    return m_pCheck ? m_pCheck->OnEnd(nTotal) : S_OK;
}

void CFileDownloadHttp::ReplaceDestination()
{
    // One step, so that the destination is either the old file or the whole new one.
    const CString strTemp = GetTempFile();
    if (!::MoveFileExW(strTemp, m_strLocalFile, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        AfxThrowFileException(::GetLastError(), m_strLocalFile);
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
    // auto-reset event stays signalled until the worker's next look, and a
    // wait for the network ends on it at once.
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
