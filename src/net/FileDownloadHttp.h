// Fetches one file over plain HTTP into a local path. The transfer runs on a
// worker thread of its own and goes through a temporary file (the destination
// with ".tmp" appended), which replaces the destination only when the whole
// body has arrived. The caller polls IsFinished and GetReceived and may Cancel.
#pragma once

#include "framework/AfxInet.h"
#include "framework/AfxMt.h"

#include <memory>

class CFileDownloadHttp {
public:
    CFileDownloadHttp();
    virtual ~CFileDownloadHttp();
    CFileDownloadHttp(const CFileDownloadHttp&) = delete;
    CFileDownloadHttp& operator=(const CFileDownloadHttp&) = delete;

    // Sends the request and starts the worker: S_OK, or a failure code when no
    // worker runs (an unparsable address, no connection, an answer outside 2xx).
    // Called once per object.
    HRESULT Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile);

    // 1 once the destination holds the complete body. Sleeps 1 ms first, so
    // that a caller's polling loop does not spin.
    LONG IsFinished();
    // Body bytes written so far, in steps of whole 4,096-byte chunks but the
    // last. Sleeps 1 ms first.
    LONG GetReceived();
    // TRUE once no worker runs and the download has not finished: after a
    // stop, a transfer error, or a Download that failed. Never waits.
    BOOL HasStopped();

    // Asks the worker to stop at its next chunk.
    void Cancel();
    // Waits until the worker has ended, asking it to stop every 2 seconds.
    void StopThread();

    CString GetTempFile() const;

protected:
    // The worker's body.
    virtual UINT DownloadImpl();

private:
    static UINT DownloadThreadProc(LPVOID pParam);

    HRESULT SetSessionOptions();
    HRESULT SendRequestAndStart(INTERNET_PORT nPort);
    // Moves the body into the temporary file; TRUE when a stop ended it.
    BOOL CopyBody(CArchive& load, CArchive& store, ULONGLONG& nTotal);
    void ReplaceDestination();
    void RequestStop();
    void CloseInternet();

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
    volatile LONG m_nReceived = 0;
    CString m_strServer;
    CString m_strObject;
    std::unique_ptr<CInternetSession> m_pInternetSession;
    std::unique_ptr<CHttpFile> m_pHttpFile;
    std::unique_ptr<CHttpConnection> m_pConnection;
    CHttpFile* m_pReadFile = nullptr;  // the worker's view of m_pHttpFile
};
