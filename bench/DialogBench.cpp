// Times the install through the real status dialog (Install pressed to the
// dialog's end, the package downloaded into the update folder) against a bare
// download of the same address, alternating, and prints the medians:
//   dialog_bench.exe <description address> <package address> <rounds>
// The installed record (beside this program) is version 1.0 of client Bench;
// the description offers the package. The dialog is driven from another
// thread, as a person would press it.
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/UpdateApp.h"
#include "install/DownloadWait.h"
#include "net/FileDownloadHttp.h"
#include "resources/resource.h"
#include "ui/DlgUpdateStatus.h"

#include "base/UpdateLayout.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

fs::path UpdateFolder()
{
    return fs::path(AfxGetModuleFolder(nullptr).Str()) / kUpdateFolderName;
}

// Polls pred for at most timeoutMs; true once it holds.
template <typename Pred>
bool WaitUntil(Pred pred, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (pred())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}

BOOL CALLBACK FindOwnDialog(HWND hWnd, LPARAM lParam)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hWnd, &owner);
    wchar_t className[16] = {};
    ::GetClassNameW(hWnd, className, ARRAYSIZE(className));
    if (owner != ::GetCurrentProcessId() || std::wstring(className) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// The status dialog of this process, once it is there; null after 30 s.
HWND WaitForDialog()
{
    HWND hDlg = nullptr;
    WaitUntil([&] { ::EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&hDlg)); return hDlg != nullptr; }, 30000);
    return hDlg;
}

// As a click would: the button's own notification to the dialog.
void PressButton(HWND hDlg, int id)
{
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, id)));
}

// Seconds for the bare download, polled as the package download polls; negative on failure.
double BareDownload(LPCWSTR pszUrl)
{
    const fs::path destination = UpdateFolder() / L"bare.bin";
    const LARGE_INTEGER start = Now();
    bool bFinished = false;
    {
        CFileDownloadHttp download;
        if (SUCCEEDED(download.Download(pszUrl, destination.c_str())))
            bFinished = SUCCEEDED(WaitForDownload(download, [&] { return download.GetReceived() < 0; }));
    }
    const LARGE_INTEGER end = Now();
    fs::remove(destination);
    return bFinished ? Seconds(start, end) : -1.0;
}

// Seconds from the Install press to the dialog's end; negative on failure.
double DialogInstall(LPCWSTR pszDescriptionUrl)
{
    CCommandLineUpdate cmd;
    cmd.m_strUrl = pszDescriptionUrl;
    LARGE_INTEGER pressed = {};
    std::thread person([&] {
        HWND hDlg = WaitForDialog();
        if (!hDlg)
            return;
        if (WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(hDlg, IDOK)) != FALSE; }, 60000)) {
            pressed = Now();
            PressButton(hDlg, IDOK);
        } else {
            PressButton(hDlg, IDCANCEL);
        }
    });
    CDlgUpdateStatus dlg(theApp.m_pUpdateManager, g_nUpgradeMessage);
    dlg.m_pCmdLine = &cmd;
    const INT_PTR nEnd = dlg.DoModal();
    const LARGE_INTEGER end = Now();
    person.join();
    const bool bInstalled = nEnd == IDOK && dlg.m_hrResult == S_OK && fs::exists(UpdateFolder() / kPackageFileName);
    fs::remove(UpdateFolder() / kPackageFileName);
    return bInstalled && pressed.QuadPart ? Seconds(pressed, end) : -1.0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: dialog_bench <description address> <package address> <rounds>\n");
        return 2;
    }
    if (!AfxWinAttach(::GetModuleHandleW(nullptr)))
        return 3;
    fs::remove_all(UpdateFolder());
    fs::create_directories(UpdateFolder());
    std::ofstream(UpdateFolder() / kRecordFileName, std::ios::binary)
        << "[Files]\r\nVersion=1.0\r\nServicePack=0\r\nOEMClientName=Bench\r\n";

    std::vector<double> bare, dialog;
    const int nRounds = std::max(1, _wtoi(argv[3]));
    for (int i = 0; i < nRounds; ++i) {
        bare.push_back(BareDownload(argv[2]));
        dialog.push_back(DialogInstall(argv[1]));
        std::printf("round %d: bare %.3f s, dialog %.3f s\n", i + 1, bare.back(), dialog.back());
        if (bare.back() < 0 || dialog.back() < 0) {
            std::fprintf(stderr, "dialog_bench: round %d failed\n", i + 1);
            return 1;
        }
    }
    fs::remove_all(UpdateFolder());
    AfxWinDetach();
    std::printf("bare_s=%.3f dialog_s=%.3f dialog_ratio=%.2f\n", Median(bare), Median(dialog),
                Median(dialog) / Median(bare));
    return 0;
}
