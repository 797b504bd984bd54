// Fetches one file over HTTP or HTTPS into a local path. The whole request
// runs on a worker of its own (CRequestWorker) and goes through a temporary
// file (the destination with ".tmp" appended), which replaces the destination
// only when the whole body has arrived and passed the caller's check. The
// caller polls IsFinished and GetReceived, pausing in WaitForWorker between
// polls, and may Cancel; a stop ends every wait at once.
#pragma once

#include "framework/AfxFile.h"
#include "framework/AfxString.h"
#include "net/HttpRequest.h"
#include "net/PartialDownload.h"
#include "net/RequestWorker.h"

class IDownloadCheck;

class CFileDownloadHttp : public CRequestWorker {
public:
    CFileDownloadHttp();
    ~CFileDownloadHttp() override;

    // Before Download: a check of the body (borrowed, used by the worker
    // until it ends).
    void SetCheck(IDownloadCheck* pCheck) { m_pCheck = pCheck; }
    // A body larger than this is refused as soon as it shows: at the answer's
    // length, or at the first byte beyond. GetFailure then says kTooLarge.
    void SetMaxSize(ULONGLONG nMaxSize) { m_nMaxSize = nMaxSize; }
    static const HRESULT kTooLarge;

    // Starts the worker, which sends the request and receives the body: S_OK,
    // or a failure code at once for an address that is not http or https.
    // Everything else (no answer, an answer other than 200) ends the worker
    // and shows in HasStopped and GetFailure. Called once per object.
    HRESULT Download(LPCWSTR pszUrl, LPCWSTR pszLocalFile);

    // TRUE once the answer's headers are in and the body is on its way;
    // GetAnnouncedSize is valid from then on.
    BOOL IsAnswered();
    // Body bytes written so far, in steps of whole 4,096-byte chunks but the
    // last.
    LONG GetReceived();
    // The same count whole, beyond 2 GiB.
    ULONGLONG GetReceivedBytes();
    // The whole body's size as the server announced it (0: not announced).
    ULONGLONG GetAnnouncedSize() const { return m_nAnnouncedSize; }

    // The empty answer's notice, then what the worker kept of its failure.
    void TellPerson() override;

    CString GetTempFile() const;

protected:
    UINT RunWorker() override;

private:
    enum class EBodyEnd { Ended, Stopped, Failed, TooLarge };

    // Sends the request and judges its answer's headers: S_OK when the body
    // may come (m_nResumeFrom says from where).
    HRESULT OpenAnswer();
    // Clears the temporary file's place: a kept part that the request may
    // continue stays (its length in nKept, its record in record); anything
    // else there goes, a folder with all it holds. A failure when something
    // stays that cannot go.
    HRESULT PrepareTemp(CPartialRecord& record, ULONGLONG& nKept);
    // Fails the download before anything is asked for: strPlace is pszWhat.
    HRESULT RefusePlace(const CString& strPlace, LPCWSTR pszWhat);
    void DiscardPartial();
    CString PartialRecordFile() const;
    // Takes the size and the validator of a 200.
    void TakeWholeAnswer();
    // The answer is a 206 with the rest of the file from nFrom, whose whole is nTotal.
    bool IsContinuation(ULONGLONG nFrom, ULONGLONG nTotal) const;
    static LONG ClampedCount(ULONGLONG nBytes);
    // Moves the body into the temporary file and judges it.
    void ReceiveBody();
    void OpenTemp(CFile& file, bool bAppend);
    // A new temporary file, never one reached through a link; throws when it cannot be.
    void CreateTemp(CFile& file);
    // After a transfer error: waits, then asks for what is missing. False
    // when there is no going on (end says why, when it is not a failure).
    bool ResendForTheRest(int nAttempt, ULONGLONG& nTotal, CFile& file, EBodyEnd& end);
    // Moves the body into the temporary file, behind nTotal bytes.
    EBodyEnd CopyBody(CArchive& store, ULONGLONG& nTotal, DWORD& dwError);
    // Writes and counts one chunk; TRUE when a stop came first.
    BOOL StoreChunk(CArchive& store, const BYTE* pChunk, DWORD nChunk, ULONGLONG& nTotal);
    // The most the body may hold: the caller's maximum, and the answer's own length.
    ULONGLONG BodyCap() const;
    HRESULT CheckBody(ULONGLONG nTotal);
    void ReplaceDestination();

    CString m_strUrl;
    CString m_strLocalFile;
    volatile LONG m_nAnswered = 0;
    bool m_bEmptyAnswer = false;      // written before m_nAnswered rises
    DWORD m_nFileSize = 0;
    volatile LONG64 m_nReceived = 0;
    ULONGLONG m_nAnnouncedSize = 0;   // written before m_nAnswered rises
    IDownloadCheck* m_pCheck = nullptr;
    ULONGLONG m_nResumeFrom = 0;   // bytes of a kept partial file that this download goes on from
    ULONGLONG m_nTotalSize = 0;    // the whole body, when announced
    bool m_bSizeKnown = false;
    CString m_strValidator;        // of the file whose bytes are being received
    ULONGLONG m_nMaxSize = MAXULONGLONG;
    CHttpRequest m_request;
};
