#include "support/WindowDriver.h"

#include <gtest/gtest.h>

#include <thread>

namespace testing_support {

namespace {

BOOL CALLBACK CollectOwnWindow(HWND hWnd, LPARAM lParam)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == ::GetCurrentProcessId())
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

std::wstring ClassName(HWND hWnd)
{
    wchar_t name[256] = {};
    ::GetClassNameW(hWnd, name, ARRAYSIZE(name));
    return name;
}

} // namespace

std::vector<HWND> ProcessTopLevelWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(20);
    }
}

HWND WaitForWindow(LPCWSTR className, const std::function<bool(HWND)>& matches, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND hWnd : ProcessTopLevelWindows()) {
            if (className && ClassName(hWnd) != className)
                continue;
            if (!matches || matches(hWnd)) {
                found = hWnd;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs)
{
    return WaitUntil([&] { return !::IsWindow(hWnd); }, timeoutMs);
}

std::wstring WindowText(HWND hWnd)
{
    // WM_GETTEXT rather than GetWindowText, which does not reach other threads' controls.
    const LRESULT length = ::SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = ::SendMessageW(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(got));
    return text;
}

std::wstring ItemText(HWND hDialog, int id)
{
    HWND hItem = ::GetDlgItem(hDialog, id);
    return hItem ? WindowText(hItem) : std::wstring();
}

std::wstring MessageBoxText(HWND hBox)
{
    return ItemText(hBox, 0xFFFF);
}

void DriveDialog(const std::function<void()>& run, const std::function<void(HWND)>& act)
{
    const DWORD dialogThread = ::GetCurrentThreadId();
    bool bQuitPosted = false;
    std::thread person([&] {
        HWND hDlg = WaitForWindow(L"#32770");
        if (hDlg)
            act(hDlg);
        if (!hDlg || !WaitForWindowGone(hDlg)) {
            ADD_FAILURE() << "the dialog did not end";
            bQuitPosted = true;
            ::PostThreadMessageW(dialogThread, WM_QUIT, 0, 0);
        }
    });
    run();
    person.join();
    MSG msg;
    if (bQuitPosted)
        ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void PressButton(HWND hDialog, int id)
{
    HWND hButton = ::GetDlgItem(hDialog, id);
    ::PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
}

void PressKey(HWND hDialog, UINT vk)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND hTarget = hDialog;
    if (::GetGUIThreadInfo(::GetWindowThreadProcessId(hDialog, nullptr), &info) && info.hwndFocus)
        hTarget = info.hwndFocus;
    ::PostMessageW(hTarget, WM_KEYDOWN, vk, 1);
    ::PostMessageW(hTarget, WM_KEYUP, vk, 1 | (1u << 30) | (1u << 31));
}

} // namespace testing_support
