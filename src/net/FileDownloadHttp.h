// Fetches one file over HTTP or HTTPS into a local path. The transfer runs on
// a worker thread of its own and goes through a temporary file (the
// destination with ".tmp" appended), which replaces the destination only when
// the whole body has arrived and passed the caller's check. The caller polls
// IsFinished and GetReceived, pausing in WaitForWorker between polls, and may
// Cancel; a stop ends every wait at once.
#pragma once

#include "framework/AfxFile.h"
#include "framework/AfxMt.h"
#include "framework/AfxString.h"
#include "net/HttpRequest.h"
#include "net/PartialDownload.h"

#include <memory>

class IDownloadCheck;

class CFileDownloadHttp {
public:
    CFileDownloadHttp();
    virtual ~CFileDownloadHttp();
    CFileDownloadHttp(const CFileDownloadHttp&) = delete;
    CFileDownloadHttp& operator=(const CFileDownloadHttp&) = delete;

    // Before Download: a check of the body (borrowed, used by the worker
    // until it ends), and a time after which the whole download fails.
    void SetCheck(IDownloadCheck* pCheck) { m_pCheck = pCheck; }
    void SetDeadline(DWORD dwMilliseconds) { m_dwDeadlineMs = dwMilliseconds; }
    // A body larger than this is a transfer error.
    void SetMaxSize(ULONGLONG nMaxSize) { m_nMaxSize = nMaxSize; }

    // Sends the request and starts the worker: S_OK, or a failure code when no
    // worker runs (an address that is not http or https, no answer, an answer
    // other than 200). Called once per object.
    HRESULT Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile);

    // 1 once the destination holds the complete body.
    LONG IsFinished();
    // Body bytes written so far, in steps of whole 4,096-byte chunks but the
    // last.
    LONG GetReceived();
    // The same count whole, beyond 2 GiB.
    ULONGLONG GetReceivedBytes();
    // The whole body's size as the server announced it (0: not announced);
    // set by a Download that succeeded.
    ULONGLONG GetAnnouncedSize() const { return m_nAnnouncedSize; }
    // The pause of a polling loop: returns after dwMilliseconds, or at once
    // when the worker ends or a message arrives for this thread, so that a
    // poll neither spins nor keeps a window or the end waiting.
    void WaitForWorker(DWORD dwMilliseconds);
    // TRUE once no worker runs and the download has not finished: after a
    // stop, a transfer error, a refused body, or a Download that failed.
    BOOL HasStopped();
    // Why a download that has stopped did not finish.
    HRESULT GetFailure() const { return m_hrFailure; }

    // Asks the worker to stop: a wait under way ends at once.
    void Cancel();
    // Waits until the worker has ended, asking it to stop every 2 seconds.
    void StopThread();

    CString GetTempFile() const;

protected:
    // The worker's body.
    virtual UINT DownloadImpl();

private:
    static UINT DownloadThreadProc(LPVOID pParam);

    enum class EBodyEnd { Ended, Stopped, Failed };

    HRESULT SendRequestAndStart();
    // The length of a partial file that the request may continue, with its
    // record; 0 after dropping whatever partial file there was.
    ULONGLONG KeptPartialLength(CPartialRecord& record);
    void DiscardPartial();
    CString PartialRecordFile() const;
    // Takes the size and the validator of a 200.
    void TakeWholeAnswer();
    // The answer is a 206 with the rest of the file from nFrom, whose whole is nTotal.
    bool IsContinuation(ULONGLONG nFrom, ULONGLONG nTotal) const;
    static LONG ClampedCount(ULONGLONG nBytes);
    void OpenTemp(CFile& file, bool bAppend);
    // After a transfer error: waits, then asks for what is missing. False
    // when there is no going on (end says Stopped after a stop).
    bool ResendForTheRest(int nAttempt, ULONGLONG& nTotal, CFile& file, EBodyEnd& end);
    // Moves the body into the temporary file, behind nTotal bytes.
    EBodyEnd CopyBody(CArchive& store, ULONGLONG& nTotal, DWORD& dwError);
    // Writes and counts one chunk; TRUE when a stop came first.
    BOOL StoreChunk(CArchive& store, const BYTE* pChunk, DWORD nChunk, ULONGLONG& nTotal);
    HRESULT CheckBody(ULONGLONG nTotal);
    void ReplaceDestination();
    void RequestStop();
    bool MayReport() const;

    CString m_strUrl;
    CString m_strLocalFile;
    // Not deleted by its thread: StopThread still waits on its handle after the end.
    std::unique_ptr<CWinThread> m_pThread;
    CEvent m_eventStop;
    // Raised with every signal of m_eventStop: a look at the event costs a
    // kernel call, too much for every chunk, so the worker looks only once
    // this says a stop was asked.
    volatile LONG m_nStopAsked = 0;
    volatile LONG m_nFinished = 0;
    DWORD m_nFileSize = 0;
    volatile LONG64 m_nReceived = 0;
    ULONGLONG m_nAnnouncedSize = 0;   // written before the worker starts
    HRESULT m_hrFailure = HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED);
    IDownloadCheck* m_pCheck = nullptr;
    DWORD m_dwDeadlineMs = 0;
    ULONGLONG m_nResumeFrom = 0;   // bytes of a kept partial file that this download goes on from
    ULONGLONG m_nTotalSize = 0;    // the whole body, when announced
    bool m_bSizeKnown = false;
    CString m_strValidator;        // of the file whose bytes are being received
    ULONGLONG m_nMaxSize = MAXULONGLONG;
    ULONGLONG m_ullDeadline = 0;
    CHttpRequest m_request;
};
