#include "support/PlaceholderWindowClass.h"

bool EnsurePlaceholderWindowClass(LPCWSTR className)
{
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(hInstance, className, &wc))
        return true;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = hInstance;
    wc.lpszClassName = className;
    return ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
