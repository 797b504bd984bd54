#include "framework/AfxMt.h"

#include <gtest/gtest.h>

namespace {

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
    delete pThread;
}

} // namespace
