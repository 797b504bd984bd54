// A stand-in for a running host, for the tests that end it from outside.
//   kill_child quit <code>   one window; leaves its loop on WM_QUIT and exits with <code>
//   kill_child threads <n>   one window on each of n threads; exits with 0x1000 | mask
//                            of the threads whose loop ended on WM_QUIT
//   kill_child ignore        one window whose loop never ends
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const wchar_t kWindowClass[] = L"KillChildWindow";

bool RegisterWindowClass()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassW(&wc) != 0;
}

HWND CreateTopLevelWindow()
{
    return ::CreateWindowExW(0, kWindowClass, L"kill child", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// Runs the loop until GetMessage reports WM_QUIT; false on a failure.
bool RunUntilQuit()
{
    MSG msg;
    for (;;) {
        const BOOL result = ::GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0)
            return true;
        if (result == -1)
            return false;
        ::DispatchMessageW(&msg);
    }
}

volatile LONG g_nQuitMask = 0;

DWORD WINAPI WindowThread(LPVOID parameter)
{
    const LONG bit = 1L << reinterpret_cast<INT_PTR>(parameter);
    if (CreateTopLevelWindow() && RunUntilQuit())
        ::InterlockedOr(&g_nQuitMask, bit);
    return 0;
}

int RunThreads(int count)
{
    std::vector<HANDLE> threads;
    for (INT_PTR i = 0; i < count; ++i)
        threads.push_back(::CreateThread(nullptr, 0, WindowThread, reinterpret_cast<LPVOID>(i), 0, nullptr));
    for (HANDLE h : threads) {
        ::WaitForSingleObject(h, INFINITE);
        ::CloseHandle(h);
    }
    return 0x1000 | g_nQuitMask;
}

int RunIgnoringQuit()
{
    if (!CreateTopLevelWindow())
        return 2;
    while (RunUntilQuit()) {
    }
    return 3;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !RegisterWindowClass())
        return 1;
    const int argument = argc > 2 ? std::atoi(argv[2]) : 0;
    if (std::strcmp(argv[1], "quit") == 0)
        return CreateTopLevelWindow() && RunUntilQuit() ? argument : 2;
    if (std::strcmp(argv[1], "threads") == 0)
        return RunThreads(argument);
    if (std::strcmp(argv[1], "ignore") == 0)
        return RunIgnoringQuit();
    return 1;
}
