#include "install/KillProcessHelper.h"

#include "framework/AfxHandle.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct WindowCensus {
    DWORD dwProcessId;
    size_t n;
};

BOOL CALLBACK CountChildWindow(HWND hWnd, LPARAM lParam)
{
    auto* census = reinterpret_cast<WindowCensus*>(lParam);
    DWORD dwOwner = 0;
    wchar_t className[64] = {};
    ::GetWindowThreadProcessId(hWnd, &dwOwner);
    ::GetClassNameW(hWnd, className, 64);
    if (dwOwner == census->dwProcessId && std::wstring(className) == L"KillChildWindow")
        ++census->n;
    return TRUE;
}

// A stand-in host (tests/kill_child), started from the folder of this program.
class ChildHost {
public:
    explicit ChildHost(const std::wstring& arguments)
    {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe(path);
        exe.erase(exe.find_last_of(L'\\') + 1);
        exe += L"kill_child.exe";
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            m_process.Reset(pi.hProcess);
            m_dwId = pi.dwProcessId;
        }
    }

    ~ChildHost()
    {
        if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.Get(), 99);
    }

    bool Started() const { return static_cast<bool>(m_process); }
    DWORD Id() const { return m_dwId; }

    size_t WindowCount() const
    {
        WindowCensus census{m_dwId, 0};
        ::EnumWindows(CountChildWindow, reinterpret_cast<LPARAM>(&census));
        return census.n;
    }

    bool WaitForWindows(size_t n) const
    {
        return testing_support::WaitUntil([&] { return WindowCount() >= n; });
    }

    // The exit code once the process has ended; STILL_ACTIVE after the time-out.
    DWORD WaitForExitCode(DWORD timeoutMs = 30000) const
    {
        DWORD code = STILL_ACTIVE;
        if (::WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0)
            ::GetExitCodeProcess(m_process.Get(), &code);
        return code;
    }

private:
    CHandle m_process;
    DWORD m_dwId = 0;
};

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
