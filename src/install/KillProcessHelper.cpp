#include "install/KillProcessHelper.h"

#include "framework/AfxHandle.h"

#include "base/UpdateLog.h"

namespace {

BOOL CALLBACK PostQuitToWindowOfProcess(HWND hWnd, LPARAM lParam)
{
    DWORD dwOwner = 0;
    ::GetWindowThreadProcessId(hWnd, &dwOwner);
    if (dwOwner == static_cast<DWORD>(lParam))
        ::PostMessageW(hWnd, WM_QUIT, 0, 0);
    return TRUE;  // every window, so that each of the host's threads is asked
}

} // namespace

CKillProcessHelper::~CKillProcessHelper() = default;

BOOL CKillProcessHelper::KillProcess(DWORD dwProcessId)
{
    // Ending our own process would end the update with it; 0 names no host.
    if (dwProcessId == 0 || dwProcessId == ::GetCurrentProcessId())
        return FALSE;

    // To wait for its end and to end it: no more.
    CHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, dwProcessId));
    if (!process)
        return FALSE;

    ::EnumWindows(PostQuitToWindowOfProcess, static_cast<LPARAM>(dwProcessId));
    if (::WaitForSingleObject(process.Get(), kQuitWaitMs) == WAIT_OBJECT_0)
        return TRUE;
    UpdateLog(L"host: process ", dwProcessId, L" did not quit within ", kQuitWaitMs / 1000, L" s and is ended");
    return ::TerminateProcess(process.Get(), 0) ? TRUE : FALSE;
}
