// Synchronisation objects and worker threads of the framework.
#pragma once

#include "framework/AfxHandle.h"

// A waitable kernel object, owned for the object's life.
class CSyncObject {
public:
    virtual ~CSyncObject() = default;
    CSyncObject(const CSyncObject&) = delete;
    CSyncObject& operator=(const CSyncObject&) = delete;

    // TRUE when the object was signalled within dwTimeout milliseconds.
    virtual BOOL Lock(DWORD dwTimeout = INFINITE);
    virtual BOOL Unlock() = 0;

    operator HANDLE() const { return m_hObject.Get(); }

protected:
    CSyncObject() = default;
    CHandle m_hObject;
};

// An unnamed or named event; auto-reset unless bManualReset. The handle is
// made at construction; a failure throws a CWin32Exception.
class CEvent : public CSyncObject {
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, LPCWSTR pszName = nullptr,
                    LPSECURITY_ATTRIBUTES pSecurity = nullptr);

    BOOL SetEvent();
    BOOL ResetEvent();
    BOOL PulseEvent();
    BOOL Unlock() override { return TRUE; }
};

// Waits on one object; a lock still held is released when the lock ends.
class CSingleLock {
public:
    explicit CSingleLock(CSyncObject* pObject, BOOL bInitialLock = FALSE);
    ~CSingleLock();
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    BOOL Lock(DWORD dwTimeout = INFINITE);
    BOOL Unlock();

private:
    CSyncObject* m_pObject;
    BOOL m_bAcquired = FALSE;
};

using AFX_THREADPROC = UINT (*)(LPVOID);

// A worker thread. With m_bAutoDelete (the default) the object deletes itself
// when its thread ends; an owner that waits on m_hThread must clear it first,
// which AfxBeginThread with CREATE_SUSPENDED leaves time for.
class CWinThread {
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread() = default;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Returns the previous suspend count, or (DWORD)-1 on failure.
    DWORD ResumeThread();

    operator HANDLE() const { return m_hThread.Get(); }

    CHandle m_hThread;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    static unsigned __stdcall ThreadEntry(void* pThis);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts pfnThreadProc(pParam) on a new thread; null when the thread cannot be
// made. With CREATE_SUSPENDED the thread waits for ResumeThread.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES pSecurity = nullptr);
