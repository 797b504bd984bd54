#include "net/FileDownloadHttp.h"

#include "framework/AfxException.h"
#include "framework/AfxFile.h"
#include "framework/AfxInet.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "host/UpdateApp.h"
#include "net/DownloadCheck.h"
#include "net/PartialDownload.h"

#include <algorithm>
#include <vector>

namespace {

// The unit of progress and of the stop check.
constexpr DWORD kChunkSize = 4096;
// What one file write moves beneath the chunks.
constexpr int kWriteBufferSize = 256 * 1024;

constexpr DWORD kStopWaitMs = 2000;

// Only a 200 delivers a file: a 206 that nobody asked for is a piece of one,
// a 204 or any other answer is no file at all. A 206 continues a body only
// where it answers our own range.
constexpr DWORD kStatusOk = 200;
constexpr DWORD kStatusPartial = 206;

// Attempts of one download in all, and the first pause between two; each
// pause is twice the one before.
constexpr int kMaxAttempts = 5;
constexpr DWORD kFirstRetryPauseMs = 500;

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
    ::InterlockedExchange64(&m_nReceived, 0);
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

ULONGLONG CFileDownloadHttp::KeptPartialLength(CPartialRecord& record)
{
    // Kept only for the same address and with a validator that can ask the
    // server whether the file is still the same one; anything else is dropped.
    const CString strTemp = GetTempFile();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (record.Read(PartialRecordFile()) && record.strUrl == m_strUrl &&
        ::GetFileAttributesExW(strTemp, GetFileExInfoStandard, &data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const ULONGLONG nKept = static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        if (nKept > 0 && nKept < record.nTotal)
            return nKept;
    }
    DiscardPartial();
    return 0;
}

void CFileDownloadHttp::DiscardPartial()
{
    ::DeleteFileW(GetTempFile());
    ::DeleteFileW(PartialRecordFile());
}

HRESULT CFileDownloadHttp::SendRequestAndStart()
{
    CPartialRecord record;
    const ULONGLONG nKept = KeptPartialLength(record);
    const HRESULT hr = m_request.Send(m_strUrl, nKept ? RangeHeaders(nKept, record.strValidator).GetString() : nullptr,
                                      m_eventStop, m_ullDeadline);
    if (FAILED(hr)) {
        AfxTrace(L"Get Connection False");
        if (hr != E_ABORT && MayReport()) {
            CInternetException e(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CANNOT_CONNECT);
            e.ReportError(MB_OK);
        }
        return E_FAIL;
    }
    AfxTrace(L"Get Connection Success");

    // A 206 continues the kept part only when it starts where that ends and
    // names the same whole; a 200 is the whole file again.
    m_nResumeFrom = 0;
    if (nKept && IsContinuation(nKept, record.nTotal)) {
        m_nResumeFrom = nKept;
        m_nTotalSize = record.nTotal;
        m_bSizeKnown = true;
        m_strValidator = record.strValidator;
    } else if (m_request.GetStatus() != kStatusOk) {
        // An error page is no file: it must never stand as the destination,
        // and no partial file is left to look like one.
        CString text;
        text.Format(L"HTTP status %lu", m_request.GetStatus());
        AfxTrace(text);
        DiscardPartial();
        return E_FAIL;
    } else {
        DiscardPartial();
        TakeWholeAnswer();
    }

    if (m_nTotalSize > m_nMaxSize) {
        AfxTrace(L"file too large");
        DiscardPartial();
        return E_FAIL;
    }
    m_nFileSize = static_cast<DWORD>(std::min<ULONGLONG>(m_nTotalSize, MAXDWORD));
    m_nAnnouncedSize = m_nTotalSize;
    if (m_nTotalSize != 0 || !m_bSizeKnown) {
        AfxTrace(L"file right");
    } else if (MayReport() && !IsSilentCheck()) {
        // An empty answer: said only to a person who is watching.
        AfxMessageBox(L"文件错误", MB_OK);
    }
    ::InterlockedExchange64(&m_nReceived, static_cast<LONG64>(m_nResumeFrom));

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

void CFileDownloadHttp::TakeWholeAnswer()
{
    ULONGLONG nLength = 0;
    m_bSizeKnown = m_request.GetContentLength(nLength) != FALSE;
    m_nTotalSize = m_bSizeKnown ? nLength : 0;
    m_strValidator = m_bSizeKnown ? ValidatorOf(m_request) : CString();
}

bool CFileDownloadHttp::IsContinuation(ULONGLONG nFrom, ULONGLONG nTotal) const
{
    CString range;
    ULONGLONG nFirst = 0, nLast = 0, nWhole = 0;
    return m_request.GetStatus() == kStatusPartial && m_request.QueryHeader(HTTP_QUERY_CONTENT_RANGE, range) &&
           ParseContentRange(range.Str(), nFirst, nLast, nWhole) && nFirst == nFrom && nLast + 1 == nWhole &&
           nWhole == nTotal;
}

LONG CFileDownloadHttp::ClampedCount(ULONGLONG nBytes)
{
    return static_cast<LONG>(std::min<ULONGLONG>(nBytes, MAXLONG));
}

UINT CFileDownloadHttp::DownloadThreadProc(LPVOID pParam)
{
    return static_cast<CFileDownloadHttp*>(pParam)->DownloadImpl();
}

UINT CFileDownloadHttp::DownloadImpl()
{
    const CString strTemp = GetTempFile();
    try {
        CFile file;
        ULONGLONG nTotal = m_nResumeFrom;
        OpenTemp(file, nTotal > 0);
        if (!m_strValidator.IsEmpty())
            CPartialRecord{m_strUrl, m_strValidator, m_nTotalSize}.Write(PartialRecordFile());
        EBodyEnd end = EBodyEnd::Failed;
        DWORD dwError = ERROR_INTERNET_CONNECTION_ABORTED;
        for (int nAttempt = 1;; ++nAttempt) {
            {
                CArchive store(&file, CArchive::store, kWriteBufferSize);
                end = CopyBody(store, nTotal, dwError);
                store.Close();
            }
            // A body that ends before the length its answer announced was cut
            // off; one without a length ends where the server closes it.
            if (end == EBodyEnd::Ended && m_bSizeKnown && nTotal < m_nTotalSize) {
                end = EBodyEnd::Failed;
                dwError = ERROR_INTERNET_CONNECTION_RESET;
            }
            if (end != EBodyEnd::Failed || nTotal == 0 || nAttempt == kMaxAttempts || !ResendForTheRest(nAttempt, nTotal, file, end))
                break;
        }
        file.Close();
        if (end == EBodyEnd::Stopped) {
            m_hrFailure = E_ABORT;
            DiscardPartial();
            return 0;
        }
        if (end == EBodyEnd::Failed)
            AfxThrowInternetException(dwError);
        const HRESULT hrCheck = CheckBody(nTotal);
        if (FAILED(hrCheck)) {
            // Whole, and still not what was expected: nothing of it is worth keeping.
            m_hrFailure = hrCheck;
            DiscardPartial();
            return 0;
        }
        ReplaceDestination();
        ::DeleteFileW(PartialRecordFile());
        ::InterlockedExchange(&m_nFinished, 1);
    } catch (CException* e) {
        // The temporary file keeps what had arrived, for the next download to
        // go on with; the destination is untouched.
        CExceptionPtr guard(e);
        if (MayReport())
            e->ReportError(MB_OK);
    }
    return 0;
}

void CFileDownloadHttp::OpenTemp(CFile& file, bool bAppend)
{
    const CString strTemp = GetTempFile();
    if (!bAppend) {
        file.Open(strTemp, CFile::modeCreate | CFile::modeWrite);
        return;
    }
    // The kept part is hashed once, as if it had just arrived.
    if (m_pCheck) {
        CFile kept(strTemp, CFile::modeRead | CFile::shareDenyWrite);
        std::vector<BYTE> buffer(kWriteBufferSize);
        for (UINT n; (n = kept.Read(buffer.data(), static_cast<UINT>(buffer.size()))) > 0;)
            m_pCheck->OnBytes(buffer.data(), n);
    }
    file.Open(strTemp, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    file.SeekToEnd();
}

bool CFileDownloadHttp::ResendForTheRest(int nAttempt, ULONGLONG& nTotal, CFile& file, EBodyEnd& end)
{
    // A short pause that grows, and ends at once on a stop.
    const DWORD dwPause = kFirstRetryPauseMs << (nAttempt - 1);
    CSingleLock lock(&m_eventStop);
    if (lock.Lock(dwPause)) {
        end = EBodyEnd::Stopped;
        return false;
    }
    // Without a validator the rest could be of another file: the whole one then.
    const bool bRange = !m_strValidator.IsEmpty();
    const HRESULT hr = m_request.Send(m_strUrl, bRange ? RangeHeaders(nTotal, m_strValidator).GetString() : nullptr,
                                      m_eventStop, m_ullDeadline);
    if (hr == E_ABORT) {
        end = EBodyEnd::Stopped;
        return false;
    }
    if (FAILED(hr))
        return false;
    if (bRange && IsContinuation(nTotal, m_nTotalSize))
        return true;
    if (m_request.GetStatus() != kStatusOk)
        return false;
    // The server ignored the range, or the file changed: the body starts again.
    file.Close();
    file.Open(GetTempFile(), CFile::modeCreate | CFile::modeWrite);
    nTotal = 0;
    ::InterlockedExchange64(&m_nReceived, 0);
    if (m_pCheck)
        m_pCheck->OnRestart();
    TakeWholeAnswer();
    if (!m_strValidator.IsEmpty())
        CPartialRecord{m_strUrl, m_strValidator, m_nTotalSize}.Write(PartialRecordFile());
    else
        ::DeleteFileW(PartialRecordFile());
    return m_nTotalSize <= m_nMaxSize;
}

CFileDownloadHttp::EBodyEnd CFileDownloadHttp::CopyBody(CArchive& store, ULONGLONG& nTotal, DWORD& dwError)
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
            return EBodyEnd::Stopped;
        if (FAILED(hr)) {
            // What is held of a chunk is dropped: the rest is asked for from the last whole chunk.
            dwError = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INTERNET_CONNECTION_ABORTED;
            return EBodyEnd::Failed;
        }
        if (nRead == 0)
            return nPartial > 0 && StoreChunk(store, partial, nPartial, nTotal) ? EBodyEnd::Stopped : EBodyEnd::Ended;
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
                return EBodyEnd::Stopped;
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
    ::InterlockedExchange64(&m_nReceived, static_cast<LONG64>(nTotal));
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
    return ::InterlockedExchangeAdd(&m_nFinished, 0);
}

LONG CFileDownloadHttp::GetReceived()
{
    return ClampedCount(GetReceivedBytes());
}

ULONGLONG CFileDownloadHttp::GetReceivedBytes()
{
    // One read of all 64 bits, also in a 32-bit process.
    return static_cast<ULONGLONG>(::InterlockedCompareExchange64(&m_nReceived, 0, 0));
}

void CFileDownloadHttp::WaitForWorker(DWORD dwMilliseconds)
{
    if (!m_pThread) {
        ::Sleep(dwMilliseconds);
        return;
    }
    HANDLE hThread = *m_pThread;
    ::MsgWaitForMultipleObjects(1, &hThread, FALSE, dwMilliseconds, QS_ALLINPUT);
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

CString CFileDownloadHttp::PartialRecordFile() const
{
    return GetTempFile() + L".part";
}
