#include "install/KillProcessHelper.h"

#include "support/WindowDriver.h"
#include "unit/ChildHost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

BOOL Kill(DWORD dwProcessId, DWORD* pdwElapsedMs = nullptr)
{
    const DWORD start = ::GetTickCount();
    CKillProcessHelper helper;
    const BOOL result = helper.KillProcess(dwProcessId);
    if (pdwElapsedMs)
        *pdwElapsedMs = ::GetTickCount() - start;
    return result;
}

TEST(KillProcess, HostThatLeavesItsLoopOnQuitKeepsItsOwnExitCode)
{
    ChildHost host(L"quit 42");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForWindows(1));

    EXPECT_EQ(TRUE, Kill(host.Id()));
    EXPECT_EQ(42u, host.WaitForExitCode());
}

TEST(KillProcess, EveryWindowOnEveryThreadIsAskedToQuit)
{
    ChildHost host(L"threads 4");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForWindows(4));

    EXPECT_EQ(TRUE, Kill(host.Id()));
    // A thread left out would keep the host alive until the termination, exit code 0.
    EXPECT_EQ(0x100Fu, host.WaitForExitCode());
}

TEST(KillProcess, HostThatIgnoresQuitIsTerminatedAfterTheWait)
{
    ChildHost host(L"ignore");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForWindows(1));

    DWORD elapsed = 0;
    EXPECT_EQ(TRUE, Kill(host.Id(), &elapsed));
    EXPECT_EQ(0u, host.WaitForExitCode());
    EXPECT_GE(elapsed, CKillProcessHelper::kQuitWaitMs - 100);
}

bool NamesAProcess(DWORD dwProcessId)
{
    CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, dwProcessId));
    return static_cast<bool>(process);
}

TEST(KillProcess, IdentifierOfNoProcessFailsAtOnce)
{
    DWORD dwGoneId = 0;
    {
        ChildHost gone(L"unknown-mode");
        ASSERT_TRUE(gone.Started());
        ASSERT_EQ(1u, gone.WaitForExitCode());
        dwGoneId = gone.Id();
    }
    // The system may keep an ended process's object a moment after its last handle closes.
    ASSERT_TRUE(testing_support::WaitUntil([&] { return !NamesAProcess(dwGoneId); }));

    for (DWORD dwId : {dwGoneId, DWORD(0xFFFFFFFC)}) {
        DWORD elapsed = 0;
        EXPECT_EQ(FALSE, Kill(dwId, &elapsed)) << dwId;
        EXPECT_LT(elapsed, CKillProcessHelper::kQuitWaitMs / 2) << dwId;
    }
}

TEST(KillProcess, OwnProcessAndZeroAreRefusedWithoutPostingAnything)
{
    // A top-level window of our own, which a quit request would reach.
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hWnd);

    DWORD elapsed = 0;
    EXPECT_EQ(FALSE, Kill(::GetCurrentProcessId(), &elapsed));
    EXPECT_LT(elapsed, CKillProcessHelper::kQuitWaitMs / 2);
    EXPECT_EQ(FALSE, Kill(0));

    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    ::DestroyWindow(hWnd);
}

} // namespace
