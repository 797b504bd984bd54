#include "framework/AfxMt.h"

#include "framework/AfxException.h"

#include <process.h>

#include <memory>

BOOL CSyncObject::Lock(DWORD dwTimeout)
{
    return ::WaitForSingleObject(m_hObject.Get(), dwTimeout) == WAIT_OBJECT_0;
}

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, LPCWSTR pszName, LPSECURITY_ATTRIBUTES pSecurity)
{
    m_hObject.Reset(::CreateEventW(pSecurity, bManualReset, bInitiallyOwn, pszName));
    if (!m_hObject)
        throw new CWin32Exception(::GetLastError());
}

BOOL CEvent::SetEvent()
{
    return ::SetEvent(m_hObject.Get());
}

BOOL CEvent::ResetEvent()
{
    return ::ResetEvent(m_hObject.Get());
}

BOOL CEvent::PulseEvent()
{
    return ::PulseEvent(m_hObject.Get());
}

CSingleLock::CSingleLock(CSyncObject* pObject, BOOL bInitialLock) : m_pObject(pObject)
{
    if (bInitialLock)
        Lock();
}

CSingleLock::~CSingleLock()
{
    Unlock();
}

BOOL CSingleLock::Lock(DWORD dwTimeout)
{
    if (!m_bAcquired)
        m_bAcquired = m_pObject->Lock(dwTimeout);
    return m_bAcquired;
}

BOOL CSingleLock::Unlock()
{
    if (m_bAcquired)
        m_bAcquired = !m_pObject->Unlock();
    return !m_bAcquired;
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread.Get());
}

unsigned __stdcall CWinThread::ThreadEntry(void* pThis)
{
    CWinThread* pThread = static_cast<CWinThread*>(pThis);
    const UINT nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    if (pThread->m_bAutoDelete)
        delete pThread;
    return nResult;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES pSecurity)
{
    auto pThread = std::make_unique<CWinThread>(pfnThreadProc, pParam);
    // Always made suspended: the object must be complete before its thread can
    // run, and perhaps delete it.
    unsigned threadId = 0;
    const uintptr_t h = ::_beginthreadex(pSecurity, nStackSize, &CWinThread::ThreadEntry, pThread.get(),
                                         CREATE_SUSPENDED, &threadId);
    if (h == 0)
        return nullptr;
    pThread->m_hThread.Reset(reinterpret_cast<HANDLE>(h));
    pThread->m_nThreadID = threadId;
    ::SetThreadPriority(pThread->m_hThread.Get(), nPriority);
    CWinThread* pStarted = pThread.release();
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        pStarted->ResumeThread();
    return pStarted;
}
