// Drives the demo's windows from outside, as a person would, one step per run:
//   demo_driver [-t seconds] wait CLASS TITLE [ID]   a visible top-level window of any
//                                                    process ("-" matches anything); with ID,
//                                                    also until that button is enabled.
//                                                    Prints the window handle.
//   demo_driver [-t seconds] wait-text HWND ID TEXT  until control ID's text contains TEXT
//   demo_driver [-t seconds] gone HWND               until the window is destroyed
//   demo_driver press HWND ID                        presses button ID as a click would
//   demo_driver close HWND                           asks the window to close
//   demo_driver text HWND ID                         prints control ID's text (0: the window's)
//   demo_driver rect HWND                            prints the window's screen rectangle as
//                                                    "x y width height", to crop a screenshot to
// Texts are UTF-8 on both sides. Exit codes: 0 done, 1 timed out, 2 usage.
#include "update.h"

#include <windows.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

DWORD g_timeoutMs = 60000;

std::wstring ClassName(HWND hWnd)
{
    wchar_t name[256] = {};
    ::GetClassNameW(hWnd, name, ARRAYSIZE(name));
    return name;
}

std::wstring WindowText(HWND hWnd)
{
    // WM_GETTEXT reaches controls of other processes, GetWindowText does not.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                          5000, &got);
    text.resize(got);
    return text;
}

HWND Item(HWND hWnd, int id)
{
    return id == 0 ? hWnd : ::GetDlgItem(hWnd, id);
}

bool WaitUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = ::GetTickCount64() + g_timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(100);
    }
    return true;
}

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

bool Matches(const std::wstring& pattern, const std::wstring& value)
{
    return pattern == L"-" || pattern == value;
}

HWND FindVisible(const std::wstring& className, const std::wstring& title, int enabledId)
{
    std::vector<HWND> windows;
    ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    for (HWND hWnd : windows) {
        if (!::IsWindowVisible(hWnd) || !Matches(className, ClassName(hWnd)) || !Matches(title, WindowText(hWnd)))
            continue;
        if (enabledId == 0 || ::IsWindowEnabled(::GetDlgItem(hWnd, enabledId)))
            return hWnd;
    }
    return nullptr;
}

void PrintUtf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                          nullptr);
    bytes += '\n';
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

HWND ParseWindow(const wchar_t* text)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(text, nullptr, 10)));
}

int Run(const std::vector<std::wstring>& args)
{
    const size_t n = args.size();
    const std::wstring& command = n > 0 ? args[0] : std::wstring();
    if (command == L"wait" && (n == 3 || n == 4)) {
        const int enabledId = n == 4 ? std::stoi(args[3]) : 0;
        HWND found = nullptr;
        if (!WaitUntil([&] { return (found = FindVisible(args[1], args[2], enabledId)) != nullptr; }))
            return 1;
        PrintUtf8(std::to_wstring(reinterpret_cast<INT_PTR>(found)));
        return 0;
    }
    if (command == L"wait-text" && n == 4) {
        HWND hItem = Item(ParseWindow(args[1].c_str()), std::stoi(args[2]));
        return WaitUntil([&] { return WindowText(hItem).find(args[3]) != std::wstring::npos; }) ? 0 : 1;
    }
    if (command == L"gone" && n == 2) {
        HWND hWnd = ParseWindow(args[1].c_str());
        return WaitUntil([&] { return !::IsWindow(hWnd); }) ? 0 : 1;
    }
    if (command == L"press" && n == 3) {
        HWND hWnd = ParseWindow(args[1].c_str());
        const int id = std::stoi(args[2]);
        ::PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, id)));
        return 0;
    }
    if (command == L"upgrade-link" && n == 3) {
        // What the dialog does when the purchase page's upgrade link is
        // followed: the host gets the upgrade message with the dialog's handle.
        const UINT message = ::RegisterWindowMessageW(UPDATE_UPGRADE_MESSAGE);
        ::SendMessageW(ParseWindow(args[1].c_str()), message, 0,
                       reinterpret_cast<LPARAM>(ParseWindow(args[2].c_str())));
        return 0;
    }
    if (command == L"close" && n == 2) {
        ::PostMessageW(ParseWindow(args[1].c_str()), WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"rect" && n == 2) {
        RECT r = {};
        if (!::GetWindowRect(ParseWindow(args[1].c_str()), &r))
            return 1;
        PrintUtf8(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) +
                  L" " + std::to_wstring(r.bottom - r.top));
        return 0;
    }
    if (command == L"text" && n == 3) {
        PrintUtf8(WindowText(Item(ParseWindow(args[1].c_str()), std::stoi(args[2]))));
        return 0;
    }
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == L"-t") {
        g_timeoutMs = static_cast<DWORD>(std::wcstoul(args[1].c_str(), nullptr, 10)) * 1000;
        args.erase(args.begin(), args.begin() + 2);
    }
    try {
        return Run(args);
    } catch (const std::exception&) {
        return 2;  // a number that does not parse
    }
}
