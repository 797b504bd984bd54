// A request's whole work on a worker thread of its own: name resolution,
// connect, TLS, sending, the answer and its body. The caller's thread only
// starts it, polls it and may stop it, so that it goes on pumping its windows
// meanwhile; every wait of the worker ends at once on a stop, or at the
// deadline. The worker never touches a window: what a person should hear of
// its failure waits for the caller's thread (TellPerson).
#pragma once

#include "framework/AfxException.h"
#include "framework/AfxMt.h"

#include <memory>

class CRequestWorker {
public:
    CRequestWorker();
    // A derived class stops the worker in its own destructor, before its
    // members go: the worker uses them until it ends.
    virtual ~CRequestWorker();
    CRequestWorker(const CRequestWorker&) = delete;
    CRequestWorker& operator=(const CRequestWorker&) = delete;

    // Before the start: a time after which the whole work fails (0: none).
    void SetDeadline(DWORD dwMilliseconds) { m_dwDeadlineMs = dwMilliseconds; }
    // Whether its failures are a person's business at all (default: no).
    // Whether a person may see one now is still the message's own kind to ask.
    void SetErrorsShown(bool bShown) { m_bErrorsShown = bShown; }

    // 1 once the work has come to its end and succeeded.
    LONG IsFinished();
    // TRUE once no worker runs and the work has not finished: after a stop,
    // a failure, or a start that failed.
    BOOL HasStopped();
    // Why work that has stopped did not finish.
    HRESULT GetFailure() const { return m_hrFailure; }
    // The pause of a polling loop: returns after dwMilliseconds, or at once
    // when the worker ends or a message arrives for this thread, so that a
    // poll neither spins nor keeps a window or the end waiting.
    void WaitForWorker(DWORD dwMilliseconds);

    // Asks the worker to stop: a wait under way ends at once.
    void Cancel();
    // Waits until the worker has ended, asking it to stop every 2 seconds.
    void StopThread();

    // On the caller's thread, once the worker has ended: shows a person what
    // the worker kept for them, once, and only when its errors are shown and
    // nobody asked for the stop.
    virtual void TellPerson();

protected:
    // Runs RunWorker on a thread of its own: S_OK once it runs.
    HRESULT StartWorker();
    virtual UINT RunWorker() = 0;

    // The worker's end: a success, or a failure with what a person should
    // hear of it (owned from here on; may be null).
    void Finish();
    void Fail(HRESULT hr, CException* pUntold = nullptr);

    // The stop request, for the worker's waits; raised with every signal of
    // the event, so that the worker may look at the flag alone where a look at
    // the event would cost a kernel call too often.
    CEvent m_eventStop;
    bool StopAsked() const;
    // The deadline of the work as a GetTickCount64 value; 0 for none.
    ULONGLONG Deadline() const { return m_ullDeadline; }
    // Its errors are shown, and the stop was not the person's own.
    bool MayReport() const;

private:
    static UINT ThreadProc(LPVOID pParam);
    void RequestStop();

    // Not deleted by its thread: StopThread still waits on its handle after the end.
    std::unique_ptr<CWinThread> m_pThread;
    volatile LONG m_nStopAsked = 0;
    volatile LONG m_nFinished = 0;
    HRESULT m_hrFailure;
    CExceptionPtr m_pUntold;   // written by the worker before it ends, read after
    DWORD m_dwDeadlineMs = 0;
    bool m_bErrorsShown = false;
    ULONGLONG m_ullDeadline = 0;
};
