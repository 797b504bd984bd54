// Runs the real status dialog against a local update service and holds it at
// each stage for a screenshot:
//   stage_dialog.exe FOLDER
// For each stage (checking, offered, downloading, no-update) it writes the
// dialog's window rectangle ("x y width height") into FOLDER\<stage>.ready and
// goes on when FOLDER\<stage>.done appears, or after a minute.
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "support/TestHttpServer.h"
#include "support/WindowDriver.h"
#include "ui/DlgUpdateStatus.h"

#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

using namespace testing_support;

namespace {

std::wstring g_folder;
bool g_bFailed = false;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring();
}

void WriteFile(const std::wstring& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Hands the dialog's rectangle to the script and waits until it has taken its picture.
void Stage(HWND hDlg, const wchar_t* name)
{
    RECT rc;
    ::GetWindowRect(hDlg, &rc);
    char text[64];
    std::snprintf(text, sizeof(text), "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    const std::wstring base = g_folder + L"\\" + name;
    ::Sleep(300);  // the last repaint of the stage
    WriteFile(base + L".ready", text);
    WaitUntil([&] { return std::filesystem::exists(base + L".done"); }, 60000);
}

bool Check(bool bOk, const char* what)
{
    if (!bOk) {
        std::fprintf(stderr, "stage_dialog: %s\n", what);
        g_bFailed = true;
    }
    return bOk;
}

bool StatusIs(HWND hDlg, const std::wstring& prefix)
{
    return WaitUntil([&] { return ItemText(hDlg, IDC_STATUS_TEXT).compare(0, prefix.size(), prefix) == 0; });
}

void RunDialog(CCommandLineUpdate& cmd, const std::function<void(HWND)>& act)
{
    std::thread person([&] {
        if (HWND hDlg = WaitForWindow(L"#32770"))
            act(hDlg);
    });
    CDlgUpdateStatus dlg(theApp.m_pUpdateManager, g_nUpgradeMessage);
    dlg.m_pCmdLine = &cmd;
    dlg.DoModal();
    person.join();
}

} // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc != 2)
        return 2;
    g_folder = argv[1];
    ::LocalFree(argv);
    if (!AfxWinAttach(::GetModuleHandleW(nullptr)))
        return 3;

    const std::wstring updateFolder = ProgramFolder() + L"\\update";
    std::filesystem::remove_all(updateFolder);
    WriteFile(updateFolder + L"\\update.log",
              "[Files]\r\nVersion=3.0\r\nServicePack=1\r\nOEMClientName=Acme\r\n");

    TestHttpServer server;
    if (!server.Start())
        return 4;
    const std::string package(2 * 1024 * 1024, 'P');
    HttpReply packageReply(200, package);
    packageReply.holdsAt = {700 * 1024};
    server.Serve("/update.cab", packageReply);
    HttpReply description(200, "[OEMClient_Acme]\r\nMajorVerson=3.1\r\nServicePack=2\r\nCanUpdate=1\r\n"
                               "UpdateInfo=3.1 版更新内容:+1. 下载更快, 支持断点续传+2. 修复了打印预览的若干问题+"
                               "3. 新增专业版的批量导出功能\r\n"
                               "URL=" + Narrow(server.Url("/update.cab")) + "\r\nCABFileSize=" +
                               std::to_string(package.size()) + "\r\n");
    description.holdsAt = {10};
    server.Serve("/check", description);

    CCommandLineUpdate cmd;
    cmd.m_strUrl = server.Url("/check").c_str();
    // This program plays the host that the update would close.
    cmd.m_dwProcessId = ::GetCurrentProcessId();
    RunDialog(cmd, [&](HWND h) {
        if (!Check(server.WaitUntilHeld(1), "the check did not start"))
            return;
        Stage(h, L"checking");
        server.Release();
        if (Check(StatusIs(h, L"发现新的版本"), "no offer"))
            Stage(h, L"offered");
        PressButton(h, IDOK);
        if (Check(server.WaitUntilHeld(2) && StatusIs(h, L"正在下载: "), "no download"))
            Stage(h, L"downloading");
        PressButton(h, IDCANCEL);
        ::Sleep(200);
        server.Release();
    });

    server.Serve("/check", HttpReply(200, "[OEMClient_Acme]\r\nMajorVerson=3.0\r\nServicePack=1\r\n"));
    cmd.m_dwProcessId = 0;
    RunDialog(cmd, [&](HWND h) {
        if (Check(StatusIs(h, L"检查完毕"), "no verdict"))
            Stage(h, L"no-update");
        PressButton(h, IDCANCEL);
    });

    server.Stop();
    AfxWinDetach();
    std::filesystem::remove_all(updateFolder);
    return g_bFailed ? 1 : 0;
}
