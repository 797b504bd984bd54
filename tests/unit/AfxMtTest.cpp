#include "framework/AfxMt.h"

#include <gtest/gtest.h>

namespace {

// Whether a lock without waiting gets the event now.
BOOL Signalled(CEvent& event)
{
    CSingleLock lock(&event);
    return lock.Lock(0);
}

TEST(Event, AutoResetIsConsumedByOneLockManualResetStays)
{
    CEvent autoReset;
    EXPECT_FALSE(Signalled(autoReset));
    autoReset.SetEvent();
    EXPECT_TRUE(Signalled(autoReset));
    EXPECT_FALSE(Signalled(autoReset));

    CEvent manual(TRUE, TRUE);
    EXPECT_TRUE(Signalled(manual));
    EXPECT_TRUE(Signalled(manual));
    manual.ResetEvent();
    EXPECT_FALSE(Signalled(manual));

    // A pulse with nobody waiting is lost.
    autoReset.PulseEvent();
    EXPECT_FALSE(Signalled(autoReset));
}

UINT RaiseFlag(LPVOID pParam)
{
    ::InterlockedExchange(static_cast<volatile LONG*>(pParam), 1);
    return 42;
}

TEST(WinThread, KeptThreadStaysWaitableAfterItsEnd)
{
    volatile LONG flag = 0;
    CWinThread* pThread = AfxBeginThread(&RaiseFlag, const_cast<LONG*>(&flag), THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    ASSERT_NE(nullptr, pThread);
    pThread->m_bAutoDelete = FALSE;
    ::Sleep(50);
    EXPECT_EQ(0, flag);  // suspended until resumed
    pThread->ResumeThread();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(*pThread, 30000));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(*pThread, 0));
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeThread(*pThread, &code));
    EXPECT_EQ(42u, code);
    EXPECT_EQ(1, flag);
    EXPECT_NE(0u, pThread->m_nThreadID);
    delete pThread;
}

} // namespace
