#include "net/RequestWorker.h"

#include <wininet.h>

namespace {

constexpr DWORD kStopWaitMs = 2000;

} // namespace

// Until the worker says otherwise, a failure is a transfer that broke off.
CRequestWorker::CRequestWorker() : m_hrFailure(HRESULT_FROM_WIN32(ERROR_INTERNET_CONNECTION_ABORTED)) {}

CRequestWorker::~CRequestWorker()
{
    StopThread();
}

HRESULT CRequestWorker::StartWorker()
{
    m_ullDeadline = m_dwDeadlineMs ? ::GetTickCount64() + m_dwDeadlineMs : 0;
    // Started suspended so that the object is ours before its thread can end.
    CWinThread* pThread = AfxBeginThread(&ThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!pThread) {
        m_hrFailure = E_FAIL;
        return E_FAIL;
    }
    pThread->m_bAutoDelete = FALSE;
    m_pThread.reset(pThread);
    m_pThread->ResumeThread();
    return S_OK;
}

UINT CRequestWorker::ThreadProc(LPVOID pParam)
{
    return static_cast<CRequestWorker*>(pParam)->RunWorker();
}

void CRequestWorker::Finish()
{
    ::InterlockedExchange(&m_nFinished, 1);
}

void CRequestWorker::Fail(HRESULT hr, CException* pUntold)
{
    m_hrFailure = hr;
    m_pUntold.reset(pUntold);
}

LONG CRequestWorker::IsFinished()
{
    return ::InterlockedExchangeAdd(&m_nFinished, 0);
}

BOOL CRequestWorker::HasStopped()
{
    // The thread's end is read before the flag: a worker that finishes and ends
    // between the two reads is then seen finished, never failed.
    const BOOL bEnded = !m_pThread || ::WaitForSingleObject(*m_pThread, 0) == WAIT_OBJECT_0;
    return bEnded && ::InterlockedExchangeAdd(&m_nFinished, 0) == 0;
}

void CRequestWorker::WaitForWorker(DWORD dwMilliseconds)
{
    if (!m_pThread) {
        ::Sleep(dwMilliseconds);
        return;
    }
    HANDLE hThread = *m_pThread;
    ::MsgWaitForMultipleObjects(1, &hThread, FALSE, dwMilliseconds, QS_ALLINPUT);
}

bool CRequestWorker::StopAsked() const
{
    return ::InterlockedExchangeAdd(const_cast<volatile LONG*>(&m_nStopAsked), 0) != 0;
}

bool CRequestWorker::MayReport() const
{
    // Once the user has stopped the work, its failure is no news to them.
    return m_bErrorsShown && !StopAsked();
}

void CRequestWorker::TellPerson()
{
    // Read only once the worker has ended: it writes what it keeps before that.
    if (!HasStopped() || !m_pUntold)
        return;
    CExceptionPtr untold = std::move(m_pUntold);
    if (MayReport())
        untold->ReportError(MB_OK);
}

void CRequestWorker::Cancel()
{
    RequestStop();
}

void CRequestWorker::RequestStop()
{
    // Set, not pulsed: a pulse while the worker reads would be lost. The
    // auto-reset event stays signalled until the worker's next look, and a
    // wait for the network ends on it at once.
    ::InterlockedExchange(&m_nStopAsked, 1);
    m_eventStop.SetEvent();
}

void CRequestWorker::StopThread()
{
    if (!m_pThread)
        return;
    while (::WaitForSingleObject(*m_pThread, kStopWaitMs) == WAIT_TIMEOUT)
        RequestStop();
    m_pThread.reset();
}
