#include "HostProcess.h"

namespace {

struct MainWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindowOf(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<MainWindowSearch*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    if (owner != search->processId || !::IsWindowVisible(hWnd) || ::GetWindow(hWnd, GW_OWNER))
        return TRUE;
    search->found = hWnd;
    return FALSE;
}

std::wstring ImagePath(HANDLE process)
{
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = ARRAYSIZE(path);
    if (!::QueryFullProcessImageNameW(process, 0, path, &size))
        return std::wstring();
    return std::wstring(path, size);
}

} // namespace

CHostProcess::CHostProcess(DWORD processId)
{
    if (processId == 0 || processId == ::GetCurrentProcessId())
        return;
    // SYNCHRONIZE too: the handle also tells when the host is gone, and keeps
    // its identifier from being reused meanwhile.
    m_process.Reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!m_process)
        return;
    m_path = ImagePath(m_process.Get());
    if (m_path.empty()) {
        m_process.Reset();
        return;
    }
    m_dwProcessId = processId;
}

HWND CHostProcess::MainWindow() const
{
    if (!m_process)
        return nullptr;
    MainWindowSearch search = {m_dwProcessId, nullptr};
    ::EnumWindows(FindMainWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool CHostProcess::WaitForExit(DWORD waitMs) const
{
    return !m_process || ::WaitForSingleObject(m_process.Get(), waitMs) == WAIT_OBJECT_0;
}
