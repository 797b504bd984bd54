// A small host program of update.dll: shows its version, names its main window
// to the library, starts update.exe on "检查更新", finishes an update when the
// launcher starts it again with "/updated", and hands the upgrade message back
// to the update dialog that sent it.
#include "HostUpdate.h"
#include "HostVersion.h"
#include "resource.h"
#include "update.h"

namespace {

const wchar_t kWindowClass[] = L"UpdateSampleHost";
const wchar_t kProgramName[] = L"示例程序";
const UINT WM_APP_FINISH_UPDATE = WM_APP + 1;

// The news page of the update dialog sends this with the dialog's window in
// lParam; the same message arriving at the dialog starts the installation.
const UINT g_nUpgradeMessage = ::RegisterWindowMessageW(UPDATE_UPGRADE_MESSAGE);

std::wstring g_strVersion;

HWND AddControl(HWND hParent, LPCWSTR className, LPCWSTR text, DWORD style, int id, int x, int y, int cx, int cy)
{
    HWND hControl = ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, hParent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hControl;
}

void CreateControls(HWND hWnd)
{
    const std::wstring version = std::wstring(kProgramName) + L"  版本 " + g_strVersion;
    const std::wstring url = ConfiguredUpdateUrl();
    const std::wstring address = L"更新地址: " + (url.empty() ? std::wstring(L"(未设置)") : url);
    AddControl(hWnd, L"STATIC", version.c_str(), SS_LEFT, IDC_VERSION_TEXT, 16, 16, 360, 20);
    AddControl(hWnd, L"STATIC", address.c_str(), SS_LEFT, IDC_ADDRESS_TEXT, 16, 44, 360, 20);
    AddControl(hWnd, L"BUTTON", L"检查更新", BS_PUSHBUTTON | WS_TABSTOP, IDC_CHECK_UPDATE, 16, 80, 110, 28);
}

void OnCheckUpdate(HWND hWnd)
{
    const std::wstring url = ConfiguredUpdateUrl();
    if (url.empty()) {
        ::MessageBoxW(hWnd, L"Ambrel.ini 中没有更新地址 ([Config] UpdateUrl).", kProgramName, MB_OK | MB_ICONWARNING);
        return;
    }
    if (const DWORD error = StartUpdate(url)) {
        const std::wstring text = L"无法启动 update.exe (错误 " + std::to_wstring(error) + L").";
        ::MessageBoxW(hWnd, text.c_str(), kProgramName, MB_OK | MB_ICONERROR);
    }
}

LRESULT CALLBACK HostWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == g_nUpgradeMessage && g_nUpgradeMessage != 0) {
        HWND hDialog = reinterpret_cast<HWND>(lParam);
        if (::IsWindow(hDialog))
            ::PostMessageW(hDialog, message, wParam, lParam);
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        CreateControls(hWnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CHECK_UPDATE)
            OnCheckUpdate(hWnd);
        return 0;
    case WM_APP_FINISH_UPDATE:
        ::NotifyEvent(0, 0, 0);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

bool RegisterHostClass(HINSTANCE hInstance)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = hInstance;
    wc.hIcon = ::LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_HOST));
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassW(&wc) != 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nShowCmd)
{
    g_strVersion = OwnVersion();
    if (!RegisterHostClass(hInstance))
        return 1;
    const std::wstring title = std::wstring(kProgramName) + L" " + g_strVersion;
    HWND hWnd = ::CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, 80, 80, 420, 170,
                                  nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    ::SetUserProgramHWnd(hWnd);
    ::ShowWindow(hWnd, nShowCmd);
    ::UpdateWindow(hWnd);
    // After the window is up, so that the completion message has an owner to sit on.
    if (IsStartedAfterUpdate(CommandLineArguments(::GetCommandLineW())))
        ::PostMessageW(hWnd, WM_APP_FINISH_UPDATE, 0, 0);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
