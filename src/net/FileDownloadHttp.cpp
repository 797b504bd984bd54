#include "net/FileDownloadHttp.h"

#include "framework/AfxException.h"
#include "framework/AfxFile.h"
#include "framework/AfxInet.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "host/LocalText.h"
#include "net/DownloadCheck.h"
#include "net/PartialDownload.h"
#include "resources/resource.h"

#include "base/ItemDeletion.h"
#include "base/LinkSafeFiles.h"
#include "base/UpdateLog.h"

#include <algorithm>
#include <vector>

namespace {

// The unit of progress and of the stop check.
constexpr DWORD kChunkSize = 4096;
// What one file write moves beneath the chunks.
constexpr int kWriteBufferSize = 256 * 1024;

// Only a 200 delivers a file: a 206 that nobody asked for is a piece of one,
// a 204 or any other answer is no file at all. A 206 continues a body only
// where it answers our own range.
constexpr DWORD kStatusOk = 200;
constexpr DWORD kStatusPartial = 206;

// Attempts of one download in all, and the first pause between two; each
// pause is twice the one before.
constexpr int kMaxAttempts = 5;
constexpr DWORD kFirstRetryPauseMs = 500;

// A link planted at one of the download's names (the folder is written by
// others while the host runs) that could not be removed as a link.
bool LinkStaysAt(const CString& path)
{
    return !IsNothingOrPlainFileAt(path.Str()) && !RemoveFileAt(path.Str()) && ::GetLastError() == kLinkInTheWay;
}

DWORD Win32CodeOf(HRESULT hr, DWORD dwOtherwise)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : dwOtherwise;
}

} // namespace

const HRESULT CFileDownloadHttp::kTooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

CFileDownloadHttp::CFileDownloadHttp() = default;

CFileDownloadHttp::~CFileDownloadHttp()
{
    StopThread();
    m_request.Close();
}

HRESULT CFileDownloadHttp::Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile)
{
    m_strUrl = pszUrl;
    m_strLocalFile = pszLocalFile;
    ::InterlockedExchange64(&m_nReceived, 0);

    DWORD dwServiceType = 0;
    CString server, object;
    INTERNET_PORT nPort = 0;
    if (!AfxParseURL(m_strUrl, dwServiceType, server, object, nPort)) {
        AfxTrace(L"AfxParseURL FALSE!");
        Fail(E_FAIL);
        return E_FAIL;
    }
    // Nothing is sent for another scheme: a file, a share or FTP is no update service.
    if (dwServiceType != AFX_INET_SERVICE_HTTP && dwServiceType != AFX_INET_SERVICE_HTTPS) {
        Fail(E_FAIL);
        return E_FAIL;
    }
    AfxTrace(L"m_pInternetSession->SetOption()!");
    AfxTrace(L"start TRY TO Download..." + object);
    return StartWorker();
}

UINT CFileDownloadHttp::RunWorker()
{
    const HRESULT hr = OpenAnswer();
    if (SUCCEEDED(hr))
        ReceiveBody();
    return 0;
}

HRESULT CFileDownloadHttp::PrepareTemp(CPartialRecord& record, ULONGLONG& nKept)
{
    nKept = 0;
    const CString strTemp = GetTempFile();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    const bool bThere = ::GetFileAttributesExW(strTemp, GetFileExInfoStandard, &data) != FALSE;
    const bool bFolder = bThere && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    // Kept only for the same address, of a file no larger than this download
    // may be, and with a validator that can ask the server whether the file
    // is still the same one; anything else is dropped. A link is never kept:
    // going on would write into its target.
    if (bThere && !bFolder && IsNothingOrPlainFileAt(strTemp.Str()) && IsNothingOrPlainFileAt(PartialRecordFile().Str()) &&
        record.Read(PartialRecordFile()) && record.strUrl == m_strUrl && record.nTotal <= m_nMaxSize) {
        const ULONGLONG nLength = static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        if (nLength > 0 && nLength < record.nTotal) {
            nKept = nLength;
            return S_OK;
        }
    }
    DiscardPartial();
    // The place is this download's own, beside its destination: a folder there
    // is in the way of every attempt, and goes with what it holds (links as links).
    if (bFolder && !DeleteItemTreeAt(strTemp.Str()))
        return RefusePlace(strTemp, L"a folder that cannot go");
    for (const CString& place : {strTemp, PartialRecordFile(), m_strLocalFile}) {
        if (LinkStaysAt(place))
            return RefusePlace(place, L"a link that cannot be removed as a link");
    }
    return S_OK;
}

HRESULT CFileDownloadHttp::RefusePlace(const CString& strPlace, LPCWSTR pszWhat)
{
    AfxTrace(L"the temporary file's place is taken");
    UpdateLog(L"download: refused, ", strPlace.Str(), L" is ", pszWhat);
    Fail(HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE), new CFileException(ERROR_CANNOT_MAKE, strPlace));
    return HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
}

void CFileDownloadHttp::DiscardPartial()
{
    RemoveFileAt(GetTempFile().Str());
    RemoveFileAt(PartialRecordFile().Str());
}

HRESULT CFileDownloadHttp::OpenAnswer()
{
    CPartialRecord record;
    ULONGLONG nKept = 0;
    HRESULT hr = PrepareTemp(record, nKept);
    if (FAILED(hr))
        return hr;
    hr = m_request.Send(m_strUrl, nKept ? RangeHeaders(nKept, record.strValidator).GetString() : nullptr, m_eventStop,
                        Deadline());
    // An answer to the range that neither continues the kept part nor brings
    // the whole file (another total, a range beyond its end) says the part is
    // of another file: it goes, and the whole file is asked for at once.
    if (SUCCEEDED(hr) && nKept && !IsContinuation(nKept, record.nTotal) && m_request.GetStatus() != kStatusOk) {
        AfxTrace(L"the kept part is of another file");
        DiscardPartial();
        nKept = 0;
        hr = m_request.Send(m_strUrl, nullptr, m_eventStop, Deadline());
    }
    if (FAILED(hr)) {
        AfxTrace(L"Get Connection False");
        Fail(hr, hr == E_ABORT ? nullptr : new CInternetException(Win32CodeOf(hr, ERROR_INTERNET_CANNOT_CONNECT)));
        return hr;
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
        Fail(E_FAIL);
        return E_FAIL;
    } else {
        DiscardPartial();
        TakeWholeAnswer();
    }

    if (m_nTotalSize > m_nMaxSize) {
        AfxTrace(L"file too large");
        DiscardPartial();
        Fail(kTooLarge);
        return kTooLarge;
    }
    m_nFileSize = static_cast<DWORD>(std::min<ULONGLONG>(m_nTotalSize, MAXDWORD));
    m_nAnnouncedSize = m_nTotalSize;
    m_bEmptyAnswer = m_nTotalSize == 0 && m_bSizeKnown;
    if (!m_bEmptyAnswer)
        AfxTrace(L"file right");
    ::InterlockedExchange64(&m_nReceived, static_cast<LONG64>(m_nResumeFrom));
    AfxTrace(L"Begin DownloadImpl Thread!!!");
    ::InterlockedExchange(&m_nAnswered, 1);
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

void CFileDownloadHttp::ReceiveBody()
{
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
        if (end == EBodyEnd::Stopped || end == EBodyEnd::TooLarge) {
            // A body larger than allowed is not the file asked for: none of it is kept.
            if (end == EBodyEnd::TooLarge)
                AfxTrace(L"file too large");
            Fail(end == EBodyEnd::Stopped ? E_ABORT : kTooLarge);
            DiscardPartial();
            return;
        }
        if (end == EBodyEnd::Failed)
            AfxThrowInternetException(dwError);
        const HRESULT hrCheck = CheckBody(nTotal);
        if (FAILED(hrCheck)) {
            // Whole, and still not what was expected: nothing of it is worth keeping.
            Fail(hrCheck);
            DiscardPartial();
            return;
        }
        ReplaceDestination();
        RemoveFileAt(PartialRecordFile().Str());
        Finish();
    } catch (CException* e) {
        // The temporary file keeps what had arrived, for the next download to
        // go on with; the destination is untouched.
        Fail(HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED), e);
    }
}

void CFileDownloadHttp::OpenTemp(CFile& file, bool bAppend)
{
    const CString strTemp = GetTempFile();
    if (!bAppend) {
        CreateTemp(file);
        return;
    }
    // The kept part is hashed once, as if it had just arrived; a stop cuts it
    // short, and the body's first wait then ends on it.
    if (m_pCheck) {
        CFile kept;
        kept.Attach(OpenPlainFileAt(strTemp.Str(), GENERIC_READ, FILE_SHARE_READ), strTemp);
        std::vector<BYTE> buffer(kWriteBufferSize);
        for (UINT n; !StopAsked() && (n = kept.Read(buffer.data(), static_cast<UINT>(buffer.size()))) > 0;)
            m_pCheck->OnBytes(buffer.data(), n);
    }
    file.Attach(OpenPlainFileAt(strTemp.Str(), GENERIC_WRITE, 0), strTemp);
    file.SeekToEnd();
}

void CFileDownloadHttp::CreateTemp(CFile& file)
{
    const CString strTemp = GetTempFile();
    CHandle created = CreateNewFileAt(strTemp.Str(), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
    if (!created)
        UpdateLog(L"download: the temporary file ", strTemp.Str(), L" cannot be made: ", LoggedResult(HRESULT_FROM_WIN32(::GetLastError())));
    file.Attach(std::move(created), strTemp);
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
                                      m_eventStop, Deadline());
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
    CreateTemp(file);
    nTotal = 0;
    ::InterlockedExchange64(&m_nReceived, 0);
    if (m_pCheck)
        m_pCheck->OnRestart();
    TakeWholeAnswer();
    if (!m_strValidator.IsEmpty())
        CPartialRecord{m_strUrl, m_strValidator, m_nTotalSize}.Write(PartialRecordFile());
    else
        RemoveFileAt(PartialRecordFile().Str());
    if (m_nTotalSize > m_nMaxSize) {
        end = EBodyEnd::TooLarge;
        return false;
    }
    return true;
}

ULONGLONG CFileDownloadHttp::BodyCap() const
{
    return m_bSizeKnown ? std::min(m_nMaxSize, m_nTotalSize) : m_nMaxSize;
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
        const HRESULT hr = m_request.Read(&pData, &nRead, CHttpRequest::kMaxReadSize, m_eventStop, Deadline());
        if (hr == E_ABORT)
            return EBodyEnd::Stopped;
        if (FAILED(hr)) {
            // What is held of a chunk is dropped: the rest is asked for from the last whole chunk.
            dwError = Win32CodeOf(hr, ERROR_INTERNET_CONNECTION_ABORTED);
            return EBodyEnd::Failed;
        }
        // Judged before a byte of it is written: a server that sends more than
        // it may must not fill the disk, whatever it announced.
        if (nTotal + nPartial + nRead > BodyCap())
            return EBodyEnd::TooLarge;
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
    if (StopAsked()) {
        CSingleLock lock(&m_eventStop);
        if (lock.Lock(0))
            return TRUE;
    }
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
    if (!ReplaceFileAt(GetTempFile().Str(), m_strLocalFile.Str())) {
        const DWORD dwError = ::GetLastError();
        UpdateLog(L"download: ", m_strLocalFile.Str(), L" cannot be replaced: ", LoggedResult(HRESULT_FROM_WIN32(dwError)));
        AfxThrowFileException(dwError, m_strLocalFile);
    }
}

BOOL CFileDownloadHttp::IsAnswered()
{
    return ::InterlockedExchangeAdd(&m_nAnswered, 0) != 0;
}

void CFileDownloadHttp::TellPerson()
{
    // An empty answer: said only to a person who is watching, never in a silent check.
    if (m_bEmptyAnswer && IsAnswered() && MayReport()) {
        m_bEmptyAnswer = false;
        AfxMessageBox(LoadLocalString(IDS_FILE_ERROR), MB_OK, kMessageError | kMessageInCheck);
    }
    CRequestWorker::TellPerson();
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

CString CFileDownloadHttp::GetTempFile() const
{
    return m_strLocalFile + L".tmp";
}

CString CFileDownloadHttp::PartialRecordFile() const
{
    return GetTempFile() + L".part";
}
