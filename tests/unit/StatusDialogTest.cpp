// The status dialog, run as the exports run it against a local update
// service, while a person reads and presses it from another thread. What the
// dialog does to its own windows is recorded on its thread by a message spy.
#include "framework/AfxControlHost.h"
#include "framework/AfxDispatch.h"
#include "framework/AfxWin.h"
#include "framework/AfxWnd.h"
#include "host/CommandLineUpdate.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "support/ThreadMessageSpy.h"
#include "support/WindowDriver.h"
#include "ui/DlgUpdateStatus.h"
#include "ui/ProgressPace.h"
#include "ui/StatusTexts.h"
#include "unit/ChildHost.h"
#include "unit/FakeBrowser.h"
#include "unit/NetworkFiles.h"
#include "unit/RecordingEffects.h"
#include "update.h"

#include <commctrl.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::wstring kChecking = L"正在检查是否更新, 请稍候...";
const std::wstring kNoUpdate = L"检查完毕, 没有找到可用更新.";
const std::wstring kProOnly = L"点击下面的购买可升级到专业版.";
const std::wstring kDownloading = L"正在下载: ";
// The news as the description writes it ("+" for a line break), and as the dialog shows it.
const char kNews[] = "修复了若干问题+新增了专业版功能";
const std::wstring kNewsShown = L"修复了若干问题\r\n新增了专业版功能";

enum class Verdict { Offered, Nothing, ProOnly };

HttpReply Redirect(const std::string& location)
{
    HttpReply reply(302, "moved");
    reply.headers = {"Location: " + location};
    return reply;
}

bool IsDialogWindow(HWND hWnd)
{
    wchar_t name[16] = {};
    ::GetClassNameW(hWnd, name, ARRAYSIZE(name));
    return lstrcmpW(name, L"#32770") == 0;
}

bool ItemEnabled(HWND hDlg, int id)
{
    return ::IsWindowEnabled(::GetDlgItem(hDlg, id)) != FALSE;
}

bool ItemVisible(HWND hDlg, int id)
{
    return ::IsWindowVisible(::GetDlgItem(hDlg, id)) != FALSE;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The end of a download line: " of " and the total as the shell writes it.
std::wstring OfTotal(size_t nTotal)
{
    return std::wstring(L" of ") + FormatByteSize(static_cast<LONGLONG>(nTotal)).GetString();
}

// Waits until the check has put its verdict into the status line (which is
// empty only while the dialog is being made).
bool WaitChecked(HWND hDlg, const std::wstring& checking = kChecking)
{
    return WaitUntil([&] {
        const std::wstring status = ItemText(hDlg, IDC_STATUS_TEXT);
        return !status.empty() && status != checking;
    });
}

bool WaitDownloading(HWND hDlg)
{
    return WaitUntil([&] { return StartsWith(ItemText(hDlg, IDC_STATUS_TEXT), kDownloading); });
}

// Each line of the status text has a line's height of the control's font in
// the control, and nothing under the line covers it or leaves the dialog.
void ExpectStatusShowsEveryLine(HWND hDlg)
{
    const auto itemRect = [&](int id) {
        RECT rc = {};
        ::GetWindowRect(::GetDlgItem(hDlg, id), &rc);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    const HWND hStatus = ::GetDlgItem(hDlg, IDC_STATUS_TEXT);
    const std::wstring text = ItemText(hDlg, IDC_STATUS_TEXT);
    HDC hdc = ::GetDC(hStatus);
    const HGDIOBJ hOld = ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageW(hStatus, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(hdc, &metrics);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(hStatus, hdc);
    const RECT rcStatus = itemRect(IDC_STATUS_TEXT);
    const auto nLines = std::count(text.begin(), text.end(), L'\n') + 1;
    EXPECT_GE(rcStatus.bottom - rcStatus.top, nLines * metrics.tmHeight) << testing::PrintToString(text);
    RECT rcClient = {};
    ::GetClientRect(hDlg, &rcClient);
    for (const int id : {IDC_PROGRESS, IDC_NEWS_TEXT, IDC_BROWSER, IDOK, IDCANCEL}) {
        const RECT rc = itemRect(id);
        EXPECT_GE(rc.top, rcStatus.bottom) << id;
        EXPECT_LE(rc.bottom, rcClient.bottom) << id;
    }
}

// What the dialog did to its windows, seen on its own thread.
struct DialogWatch {
    int nDialogs = 0;                      // dialogs initialised
    std::vector<RECT> onScreen;            // placements while visible with a part on the screen
    std::vector<std::wstring> statusTexts; // every text set into the status line
    std::vector<bool> installEnabledAtDownloadText;
    std::vector<std::pair<WPARAM, LPARAM>> ranges;  // PBM_SETRANGE32
    int nPositions = 0;                    // PBM_SETPOS
};

struct Outcome {
    INT_PTR endCode = -2;
    HRESULT result = E_UNEXPECTED;
};

class StatusDialogTest : public NetworkFilesTest {
protected:
    void SetUp() override
    {
        NetworkFilesTest::SetUp();
        ASSERT_TRUE(m_spy.Installed());
        m_spy.onSent = [this](HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
            Record(hWnd, message, wParam, lParam);
        };
        ResetManager();
        Install("");
        m_package = CabinetBytes(256 * 1024);
        m_packageUrl = m_server.UrlA("/update.cab");
        ServePackage(HttpReply());
        m_cmd.m_strUrl = m_server.Url("/check").c_str();
    }

    void TearDown() override
    {
        ResetManager();
        NetworkFilesTest::TearDown();
    }

    static CUpdateManager& Manager() { return *theApp.m_pUpdateManager; }

    // The manager outlives the tests: what one run leaves must not reach the next.
    static void ResetManager()
    {
        CUpdateManager& manager = Manager();
        manager.m_extraction = {};
        manager.m_dwProcessId = 0;
        manager.SetEventSink(nullptr);
    }

    // The installed record: version 1.0, service packs 3 and 5, client Acme.
    static void Install(const std::string& dialogKeys, const std::string& version = "1.0")
    {
        WriteBytes(UpdateFile(L"update.log"), "[Files]\r\nVersion=" + version +
                                                  "\r\nServicePack=3\r\nServiceProPack=5\r\nOEMClientName=Acme\r\n"
                                                  "[Dialog]\r\n" + dialogKeys);
    }


    void Describe(Verdict verdict, HttpReply reply = HttpReply(), const std::string& version = "1.0",
                  bool bSizes = true)
    {
        const char* packs = verdict == Verdict::Offered ? "ServicePack=4\r\nServiceProPack=5\r\n"
                          : verdict == Verdict::Nothing ? "ServicePack=3\r\nServiceProPack=5\r\n"
                                                        : "ServicePack=3\r\nServiceProPack=6\r\n";
        const std::string size = std::to_string(m_package.size());
        reply.body = "[OEMClient_Acme]\r\nMajorVerson=" + version + "\r\n" + packs + "CanUpdate=1\r\nUpdateInfo=" +
                     kNews + "\r\nURL=" + m_packageUrl + "\r\nURL_PRO=" + m_server.UrlA("/pro.cab") + "\r\n" +
                     (bSizes ? "CABFileSize=" + size + "\r\nProCABFileSize=" + size + "\r\n" : "");
        m_server.Serve("/check", reply);
    }

    void ServePackage(HttpReply reply)
    {
        reply.body = m_package;
        m_server.Serve("/update.cab", reply);
        m_server.Serve("/pro.cab", reply);
    }

    // A package that takes seconds to arrive.
    void ServeSlowPackage()
    {
        m_package = CabinetBytes(2 * 1024 * 1024);
        HttpReply reply;
        reply.trickleBytes = 4096;
        reply.trickleDelayMs = 20;
        ServePackage(reply);
    }

    size_t RequestCount(const std::string& target) const
    {
        const auto requests = m_server.Requests();
        return static_cast<size_t>(std::count_if(requests.begin(), requests.end(),
                                                 [&](const HttpRequestLine& r) { return r.target == target; }));
    }

    // Each run starts afresh: what one run leaves must not reach the next.
    Outcome RunDialog(BOOL bAutoMode, const std::function<void(HWND)>& act)
    {
        ResetManager();
        m_watch = DialogWatch();
        CDlgUpdateStatus dlg(theApp.m_pUpdateManager, g_nUpgradeMessage);
        dlg.m_pCmdLine = &m_cmd;
        if (bAutoMode)
            dlg.SetAutoMode(TRUE);
        Outcome outcome;
        DriveDialog([&] { outcome.endCode = dlg.DoModal(); }, act);
        outcome.result = dlg.m_hrResult;
        // Gone with its window: later work must not reach it.
        EXPECT_EQ(nullptr, Manager().EventSink());
        return outcome;
    }

    HRESULT RunExport(decltype(&UpdateMain) pfnExport, const std::function<void(HWND)>& act)
    {
        ResetManager();
        m_watch = DialogWatch();
        const std::wstring url = m_cmd.m_strUrl.GetString();
        const std::wstring pid = std::to_wstring(m_cmd.m_dwProcessId);
        std::vector<LPCWSTR> argv = {L"update.exe", url.c_str()};
        if (m_cmd.m_dwProcessId)
            argv.insert(argv.end(), {L"/pid", pid.c_str()});
        HRESULT hr = E_UNEXPECTED;
        const auto run = [&] { hr = pfnExport(argv.data(), static_cast<int>(argv.size())); };
        if (act)
            DriveDialog(run, act);
        else
            run();
        EXPECT_EQ(nullptr, Manager().EventSink());
        return hr;
    }

    void Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        HWND hParent = ::GetParent(hWnd);
        const bool bDialog = IsDialogWindow(hWnd);
        const bool bInDialog = hParent && IsDialogWindow(hParent);
        if (bDialog && message == WM_INITDIALOG)
            ++m_watch.nDialogs;
        if (bDialog && message == WM_WINDOWPOSCHANGED && ::IsWindowVisible(hWnd)) {
            RECT rc, screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}, common;
            ::GetWindowRect(hWnd, &rc);
            if (::IntersectRect(&common, &rc, &screen))
                m_watch.onScreen.push_back(rc);
        }
        if (!bInDialog)
            return;
        const int id = ::GetDlgCtrlID(hWnd);
        if (id == IDC_STATUS_TEXT && message == WM_SETTEXT) {
            const std::wstring text = reinterpret_cast<LPCWSTR>(lParam);
            m_watch.statusTexts.push_back(text);
            if (StartsWith(text, kDownloading))
                m_watch.installEnabledAtDownloadText.push_back(ItemEnabled(hParent, IDOK));
        }
        if (id == IDC_PROGRESS && message == PBM_SETRANGE32)
            m_watch.ranges.emplace_back(wParam, lParam);
        if (id == IDC_PROGRESS && message == PBM_SETPOS)
            ++m_watch.nPositions;
    }

    // The status texts of the download, whose label is given.
    std::vector<std::wstring> DownloadTexts(const std::wstring& label = L"正在下载") const
    {
        std::vector<std::wstring> texts;
        for (const std::wstring& text : m_watch.statusTexts) {
            if (StartsWith(text, label + L": "))
                texts.push_back(text);
        }
        return texts;
    }

    DialogWatch m_watch;
    CCommandLineUpdate m_cmd;
    std::string m_package;
    std::string m_packageUrl;  // the description's package address
    int m_nHolds = 0;  // replies held so far, as the server counts them
    ThreadMessageSpy m_spy;  // last: it goes first
};

enum class Action {
    None,
    Install,              // once the check has offered the update
    CancelWhenChecked,    // once the verdict is shown
    CancelWhileChecking,  // while the description is on its way
};

struct ResultCase {
    const char* name;
    Verdict verdict;
    BOOL silent;
    BOOL autoMode;
    Action action;
    INT_PTR endCode;
    HRESULT result;
};

TEST_F(StatusDialogTest, EveryWayOutEndsWithItsCodeAndResult)
{
    const ResultCase cases[] = {
        {"Install", Verdict::Offered, 0, 0, Action::Install, IDOK, S_OK},
        {"Cancel while offered", Verdict::Offered, 0, 0, Action::CancelWhenChecked, IDCANCEL, E_ABORT},
        {"Cancel while nothing is offered", Verdict::Nothing, 0, 0, Action::CancelWhenChecked, IDCANCEL, E_ABORT},
        {"Cancel while only the professional package is newer", Verdict::ProOnly, 0, 0, Action::CancelWhenChecked,
         IDCANCEL, E_ABORT},
        {"automatic mode, nothing offered", Verdict::Nothing, 0, 1, Action::None, IDCANCEL, E_ABORT},
        {"silent mode, nothing offered", Verdict::Nothing, 1, 0, Action::None, 0, S_OK},
        // The check's own failure is the result: the cancelled fetch yields no description.
        {"Cancel during the check", Verdict::Offered, 0, 0, Action::CancelWhileChecking, IDCANCEL, E_FAIL},
        {"Cancel during a silent check", Verdict::Offered, 1, 0, Action::CancelWhileChecking, 0, E_ABORT},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.name);
        HttpReply description;
        if (c.action == Action::CancelWhileChecking) {
            description.holdsAt = {10};
            // A description of an earlier check, which Cancel removes.
            WriteBytes(UpdateFile(L"update.ini"), "[OEMClient_Acme]\r\n");
        }
        Describe(c.verdict, description);
        const int nHolds = c.action == Action::CancelWhileChecking ? ++m_nHolds : m_nHolds;
        m_cmd.m_bSilent = c.silent;

        const Outcome outcome = RunDialog(c.autoMode, [&](HWND h) {
            switch (c.action) {
            case Action::None:
                break;
            case Action::Install:
                ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(h, IDOK); }));
                PressButton(h, IDOK);
                break;
            case Action::CancelWhenChecked:
                ASSERT_TRUE(WaitChecked(h));
                PressButton(h, IDCANCEL);
                break;
            case Action::CancelWhileChecking:
                ASSERT_TRUE(m_server.WaitUntilHeld(nHolds));
                PressButton(h, IDCANCEL);
                ASSERT_TRUE(WaitUntil([] { return !PathExists(UpdateFile(L"update.ini")); }));
                m_server.Release();
                break;
            }
        });
        EXPECT_EQ(c.endCode, outcome.endCode);
        EXPECT_EQ(c.result, outcome.result);
        if (c.action == Action::CancelWhenChecked) {
            EXPECT_FALSE(PathExists(UpdateFile(L"update.ini")));
        }
        if (c.action == Action::Install) {
            EXPECT_EQ(m_package, ReadBytes(UpdateFile(L"update.cab")));
            EXPECT_FALSE(Manager().m_extraction.package.empty());
        }
        if (c.autoMode) {
            EXPECT_TRUE(m_watch.onScreen.empty()) << "seen at " << m_watch.onScreen[0].left;
        }
    }
}

TEST_F(StatusDialogTest, TheExportsReturnTheDialogsResult)
{
    const struct {
        const char* name;
        decltype(&UpdateMain) pfnExport;
        Verdict verdict;
        int button;  // pressed once the verdict is shown; 0: no dialog is expected
        HRESULT result;
    } cases[] = {
        {"UpdateMain, Install", UpdateMain, Verdict::Offered, IDOK, S_OK},
        {"IsAutoUpdate, Install", IsAutoUpdate, Verdict::Offered, IDOK, S_OK},
        {"IsAutoUpdate, Cancel", IsAutoUpdate, Verdict::Offered, IDCANCEL, E_NOTIMPL},
        {"IsAutoUpdate, nothing offered", IsAutoUpdate, Verdict::Nothing, 0, E_ABORT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Describe(c.verdict);
        RECT rcShown = {};
        const HRESULT hr = RunExport(c.pfnExport, !c.button ? std::function<void(HWND)>() : [&](HWND h) {
            ASSERT_TRUE(WaitChecked(h));
            ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(h) != FALSE; }));
            ::GetWindowRect(h, &rcShown);
            PressButton(h, c.button);
        });
        EXPECT_EQ(c.result, hr);
        EXPECT_EQ(c.button ? 1 : 0, m_watch.nDialogs);
        if (c.pfnExport != IsAutoUpdate || !c.button)
            continue;
        // Automatic mode: out of sight until the offer, then centred on the work area.
        RECT work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const POINT centred = CenteredPosition(rcShown, work, work);
        EXPECT_EQ(centred.x, rcShown.left);
        EXPECT_EQ(centred.y, rcShown.top);
        ASSERT_FALSE(m_watch.onScreen.empty());
        EXPECT_EQ(centred.x, m_watch.onScreen.front().left) << "on the screen before it was centred";
    }
    EXPECT_FALSE(AfxMayShowMessage(kMessageError));  // IsAutoUpdate silenced errors for good
}

struct VerdictCase {
    const char* name;
    Verdict verdict;
    const char* offered;      // the description's version
    std::wstring dialogKeys;  // of the installed record
    enum { NoHost, RunningHost, UnknownHost } host;
    std::wstring expected;
};

TEST_F(StatusDialogTest, TheVerdictShowsItsTextTheNewsAndTheHostThatWillClose)
{
    const VerdictCase cases[] = {
        {"a new version", Verdict::Offered, "2.1", L"", VerdictCase::NoHost, L"发现新的版本(2.1), 是否更新?"},
        {"a running host, and the page under the news", Verdict::Offered, "1.0", L"PurchasePage=purchase.htm\r\n",
         VerdictCase::RunningHost, L"发现新的版本(1.0), 是否更新?\nkill_child.exe 自动退出."},
        {"a host that cannot be opened", Verdict::Offered, "1.0", L"", VerdictCase::UnknownHost,
         L"发现新的版本(1.0), 是否更新?"},
        {"nothing new", Verdict::Nothing, "1.0", L"", VerdictCase::NoHost, kNoUpdate},
        {"nothing new, replaced", Verdict::Nothing, "1.0", L"CheckFailedDesc=已是最新版本\r\n", VerdictCase::NoHost,
         L"已是最新版本"},
        {"only the professional package", Verdict::ProOnly, "1.0", L"", VerdictCase::NoHost, kProOnly},
        {"only the professional package, replaced", Verdict::ProOnly, "1.0", L"UpgradeProfessionDesc=购买专业版\r\n",
         VerdictCase::NoHost, L"购买专业版"},
        {"only the professional package, another text replaced", Verdict::ProOnly, "1.0",
         L"CheckFailedDesc=已是最新版本\r\n", VerdictCase::NoHost, kProOnly},
    };
    ChildHost host(L"ignore");
    ASSERT_TRUE(host.Started());
    size_t nChecks = RequestCount("/check");
    for (const VerdictCase& c : cases) {
        SCOPED_TRACE(c.name);
        Install(AnsiBytes(c.dialogKeys));
        Describe(c.verdict, HttpReply(), c.offered);
        m_cmd.m_dwProcessId = c.host == VerdictCase::RunningHost ? host.Id()
                            : c.host == VerdictCase::UnknownHost ? 0xFFFFFFF0u
                                                                 : 0;
        std::wstring status, news = L"?";
        bool bInstallEnabled = false, bProgressVisible = false;
        RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(WaitChecked(h));
            status = ItemText(h, IDC_STATUS_TEXT);
            news = ItemText(h, IDC_NEWS_TEXT);
            bInstallEnabled = ItemEnabled(h, IDOK);
            bProgressVisible = ItemVisible(h, IDC_PROGRESS);
            ExpectStatusShowsEveryLine(h);
            ::SendMessageW(h, WM_TIMER, 0, 0);  // the check runs once
            PressButton(h, IDCANCEL);
        });
        m_cmd.m_dwProcessId = 0;
        const bool bOffered = c.verdict == Verdict::Offered;
        EXPECT_EQ(++nChecks, RequestCount("/check"));
        EXPECT_EQ(c.expected, status);
        EXPECT_EQ(bOffered ? kNewsShown : L"", news);
        EXPECT_EQ(bOffered, bInstallEnabled);
        if (bOffered) {
            EXPECT_TRUE(bProgressVisible);
        }
    }
    EXPECT_EQ(STILL_ACTIVE, host.WaitForExitCode(0));
}

struct StageTexts {
    const char* name;
    std::string dialogKeys;  // of the installed record, in the ANSI code page
    std::wstring title, checking, install, cancel, offered, label;
};

TEST_F(StatusDialogTest, TheRecordReplacesTheTextsOfEveryStage)
{
    const StageTexts cases[] = {
        {"defaults", "", L"更新", kChecking, L"安装", L"取消", L"发现新的版本(1.0), 是否更新?", L"正在下载"},
        {"replaced",
         AnsiBytes(L"UpdateTitle=Acme 更新\r\nCheckingDesc=Acme 正在检查\r\nInstallDesc=现在安装\r\n"
                   L"CancelDesc=以后再说\r\nCheckSucceededDesc=Acme {Version} 可用\r\nDownloadingDesc=Acme 下载中\r\n"),
         L"Acme 更新", L"Acme 正在检查", L"现在安装", L"以后再说", L"Acme (1.0) 可用", L"Acme 下载中"},
    };
    for (const StageTexts& c : cases) {
        SCOPED_TRACE(c.name);
        Install(c.dialogKeys);
        HttpReply description;
        description.holdsAt = {10};
        Describe(Verdict::Offered, description);
        const int nHolds = ++m_nHolds;
        std::wstring title, checking, install, cancel, offered;
        const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(m_server.WaitUntilHeld(nHolds));
            title = WindowText(h);
            checking = ItemText(h, IDC_STATUS_TEXT);
            install = ItemText(h, IDOK);
            cancel = ItemText(h, IDCANCEL);
            EXPECT_FALSE(ItemEnabled(h, IDOK)) << "Install before there is anything to install";
            m_server.Release();
            ASSERT_TRUE(WaitChecked(h, checking));
            offered = ItemText(h, IDC_STATUS_TEXT);
            PressButton(h, IDOK);
        });
        EXPECT_EQ(c.title, title);
        EXPECT_EQ(c.checking, checking);
        EXPECT_EQ(c.install, install);
        EXPECT_EQ(c.cancel, cancel);
        EXPECT_EQ(c.offered, offered);
        EXPECT_EQ(IDOK, outcome.endCode);
        EXPECT_EQ(S_OK, outcome.result);
        const std::vector<std::wstring> texts = DownloadTexts(c.label);
        ASSERT_FALSE(texts.empty());
        EXPECT_TRUE(EndsWith(texts.back(), OfTotal(m_package.size()))) << testing::PrintToString(texts.back());
    }
}

// The shipped language library and its English table in a folder of their
// own, loaded as the library's translator. The tests run under a Chinese
// interface: the folder's settings file pins English, as a publisher of an
// English product would.
class EnglishStatusDialogTest : public StatusDialogTest {
protected:
    void SetUp() override
    {
        StatusDialogTest::SetUp();
        m_folder = ProgramFolder() + L"\\english";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        for (LPCWSTR name : {L"vexmod.dll", L"vexmod.en.txt"}) {
            const std::wstring shipped = ProgramFolder() + L"\\..\\..\\bin\\" + name;
            ASSERT_TRUE(::CopyFileW(shipped.c_str(), (m_folder + L"\\" + name).c_str(), FALSE)) << ::GetLastError();
        }
        WriteBytes(m_folder + L"\\vexmod.ini", "[Language]\r\nUse=en\r\n");
        ASSERT_EQ(S_OK, theApp.m_languageModule.Load((m_folder + L"\\vexmod.dll").c_str()));
    }

    void TearDown() override
    {
        theApp.m_languageModule.Unload();
        for (LPCWSTR name : {L"vexmod.dll", L"vexmod.en.txt", L"vexmod.ini"})
            ::DeleteFileW((m_folder + L"\\" + name).c_str());
        ::RemoveDirectoryW(m_folder.c_str());
        StatusDialogTest::TearDown();
    }

    std::wstring m_folder;
};

TEST_F(EnglishStatusDialogTest, EveryStageOfTheDialogSpeaksEnglish)
{
    // The stages of an install: the template's texts while the check runs,
    // the offer, the download line.
    HttpReply held;
    held.holdsAt = {10};
    Describe(Verdict::Offered, held);
    const int nHolds = ++m_nHolds;
    std::wstring title, checking, install, cancel, offered;
    const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
        ASSERT_TRUE(m_server.WaitUntilHeld(nHolds));
        title = WindowText(h);
        checking = ItemText(h, IDC_STATUS_TEXT);
        install = ItemText(h, IDOK);
        cancel = ItemText(h, IDCANCEL);
        m_server.Release();
        ASSERT_TRUE(WaitChecked(h, checking));
        offered = ItemText(h, IDC_STATUS_TEXT);
        PressButton(h, IDOK);
    });
    EXPECT_EQ(L"Update", title);
    EXPECT_EQ(L"Checking for updates, please wait...", checking);
    EXPECT_EQ(L"Install", install);
    EXPECT_EQ(L"Cancel", cancel);
    EXPECT_EQ(L"A new version (1.0) is available. Install it now?", offered);
    EXPECT_EQ(IDOK, outcome.endCode);
    const std::vector<std::wstring> texts = DownloadTexts(L"Downloading");
    ASSERT_FALSE(texts.empty()) << "no English download line";
    EXPECT_TRUE(EndsWith(texts.back(), OfTotal(m_package.size()))) << testing::PrintToString(texts.back());

    // The verdicts, with the news, the host that will close, and what no update says.
    ChildHost host(L"ignore");
    ASSERT_TRUE(host.Started());
    const struct {
        Verdict verdict;
        bool bHost;
        std::wstring expected;
    } verdicts[] = {
        {Verdict::Offered, true, L"A new version (1.0) is available. Install it now?\nkill_child.exe will close by itself."},
        {Verdict::Nothing, false, L"The check is complete: no update is available."},
        {Verdict::ProOnly, false, L"Click Buy below to upgrade to the Professional edition."},
    };
    for (const auto& c : verdicts) {
        SCOPED_TRACE(testing::PrintToString(c.expected));
        Describe(c.verdict);
        m_cmd.m_dwProcessId = c.bHost ? host.Id() : 0;
        std::wstring status, news = L"?";
        RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(WaitChecked(h, L"Checking for updates, please wait..."));
            status = ItemText(h, IDC_STATUS_TEXT);
            news = ItemText(h, IDC_NEWS_TEXT);
            ExpectStatusShowsEveryLine(h);
            PressButton(h, IDCANCEL);
        });
        m_cmd.m_dwProcessId = 0;
        EXPECT_EQ(c.expected, status);
        EXPECT_EQ(c.verdict == Verdict::Offered ? kNewsShown : L"", news);
    }
}

TEST_F(StatusDialogTest, ProgressMovesTheBarAndTheStatusLineTogetherAtAReadablePaceToTheEnd)
{
    for (const bool bSize : {true, false}) {
        SCOPED_TRACE(bSize ? "with the package size" : "without a size: the length the server announces");
        // Pauses in which polls find nothing new.
        m_package = CabinetBytes(1024 * 1024);
        HttpReply slow;
        slow.trickleBytes = 64 * 1024;
        slow.trickleDelayMs = 50;
        ServePackage(slow);
        Describe(Verdict::Offered, HttpReply(), "1.0", bSize);
        DWORD dwPressed = 0;
        const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(h, IDOK); }));
            dwPressed = ::GetTickCount();
            PressButton(h, IDOK);
        });
        const DWORD dwTookMs = ::GetTickCount() - dwPressed;
        EXPECT_EQ(IDOK, outcome.endCode);
        EXPECT_EQ(S_OK, outcome.result);

        const LONG nSize = static_cast<LONG>(m_package.size());
        EXPECT_EQ((std::vector<std::pair<WPARAM, LPARAM>>{{0, nSize}}), m_watch.ranges);
        const std::vector<std::wstring> texts = DownloadTexts();
        const std::set<std::wstring> distinct(texts.begin(), texts.end());
        EXPECT_GE(distinct.size(), 3u);
        EXPECT_EQ(distinct.size(), texts.size()) << "a text was set twice";
        const auto repeat = std::adjacent_find(m_watch.statusTexts.begin(), m_watch.statusTexts.end());
        EXPECT_EQ(m_watch.statusTexts.end(), repeat) << "set again: " << testing::PrintToString(*repeat);
        EXPECT_EQ(static_cast<int>(texts.size()), m_watch.nPositions);
        // About ten a second; the end may come on top.
        EXPECT_LE(texts.size(), dwTookMs / CProgressPace::kIntervalMs + 2) << dwTookMs << " ms";
        ASSERT_FALSE(texts.empty());
        const std::wstring end = FormatByteSize(nSize).GetString() + OfTotal(m_package.size());
        EXPECT_TRUE(EndsWith(texts.back(), end)) << testing::PrintToString(texts.back());
        EXPECT_EQ(std::vector<bool>(texts.size(), false), m_watch.installEnabledAtDownloadText);
    }
}

// Cancel ends every phase of every request of an update at once, and the
// dialog goes on answering meanwhile. Two phases cannot be stalled here: name
// resolution, without a resolver of the test's own (a lookup would leave the
// machine), and the sending of a GET, whose few hundred bytes go whole into
// the kernel's buffer whatever the server does.
TEST_F(StatusDialogTest, CancelEndsEveryPhaseOfEveryRequestAtOnceAndKeepsTheHost)
{
    enum class Request { Report, Description, Package };
    enum class Phase {
        Connect,  // the connection's first packet goes unanswered
        Tls,      // the server accepts and never completes the handshake
        Headers,  // the request is read and never answered
        Body,     // the headers, then nothing (or a trickle)
    };
    struct Case {
        const char* name;
        Request request;
        Phase phase;
        size_t trickleBytes;  // Body: pieces of this size instead of silence...
        DWORD trickleDelayMs; // ...with this pause
    };
    const Case cases[] = {
        {"report, connect", Request::Report, Phase::Connect, 0, 0},
        {"report, TLS handshake", Request::Report, Phase::Tls, 0, 0},
        {"report, waiting for the headers", Request::Report, Phase::Headers, 0, 0},
        {"report, body", Request::Report, Phase::Body, 0, 0},
        {"description, connect after a redirect", Request::Description, Phase::Connect, 0, 0},
        {"description, a redirect to TLS that never completes", Request::Description, Phase::Tls, 0, 0},
        {"description, waiting for the headers", Request::Description, Phase::Headers, 0, 0},
        {"description at 1 byte a second", Request::Description, Phase::Body, 1, 1000},
        {"package, connect", Request::Package, Phase::Connect, 0, 0},
        {"package, TLS handshake", Request::Package, Phase::Tls, 0, 0},
        {"package, waiting for the headers", Request::Package, Phase::Headers, 0, 0},
        {"package, body", Request::Package, Phase::Body, 0, 0},
        {"package at 1 byte a second", Request::Package, Phase::Body, 1, 1000},
        {"package that streams", Request::Package, Phase::Body, 64 * 1024, 1},
    };
    StalledConnectPort stalled;
    ASSERT_TRUE(stalled.Start());
    TestHttpServer silent;
    ASSERT_TRUE(silent.Start());
    silent.StallEveryConnection();
    int nSilentHolds = 0;
    ChildHost host(L"ignore");
    ASSERT_TRUE(host.Started());
    const std::string reportPath = "/check&version=1.0&SP=3";
    const std::wstring pid = std::to_wstring(host.Id());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetManager();
        Effects().Clear();
        // Where the request goes in the phases before an answer, and the answer in the others.
        const std::string away = c.phase == Phase::Connect ? stalled.UrlA("/away")
                               : c.phase == Phase::Tls     ? "https://127.0.0.1:" + std::to_string(silent.Port()) + "/away"
                                                           : std::string();
        HttpReply bad(200, "ok\r\n");
        bad.stall = c.phase == Phase::Headers                      ? HttpReply::Stall::BeforeHeaders
                  : c.phase == Phase::Body && !c.trickleBytes ? HttpReply::Stall::AfterHeaders
                                                                   : HttpReply::Stall::None;
        bad.trickleBytes = c.trickleBytes;
        bad.trickleDelayMs = c.trickleDelayMs;
        const bool bHeld = bad.stall != HttpReply::Stall::None;
        std::wstring url = m_server.Url("/check");
        m_packageUrl = m_server.UrlA("/update.cab");
        m_package = CabinetBytes(c.trickleBytes > 1 ? 64 * 1024 * 1024 : 256 * 1024);
        m_server.Serve(reportPath, HttpReply(200, "ok\r\n"));
        ServePackage(HttpReply());
        switch (c.request) {
        case Request::Report:
            if (!away.empty())
                url = std::wstring(away.begin(), away.end());
            else
                m_server.Serve(reportPath, bad);
            Describe(Verdict::Offered);
            break;
        case Request::Description:
            Describe(Verdict::Offered, bad);
            if (!away.empty())
                m_server.Serve("/check", Redirect(away));
            break;
        case Request::Package:
            if (!away.empty())
                m_packageUrl = away;
            else
                ServePackage(bad);
            Describe(Verdict::Offered);
            break;
        }
        const size_t nReports = RequestCount(reportPath);
        LPCWSTR argv[] = {L"update.exe", url.c_str(), L"/pid", pid.c_str()};
        ULONGLONG clicked = 0, returned = 0, nAnswerMs = 0;
        bool bAnswered = false;
        HRESULT hr = E_UNEXPECTED;
        DriveDialog(
            [&] {
                hr = UpdateMain(argv, ARRAYSIZE(argv));
                returned = ::GetTickCount64();
            },
            [&](HWND h) {
                // Into the request...
                if (c.request == Request::Package) {
                    ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(h, IDOK); }));
                    PressButton(h, IDOK);
                    if (c.trickleBytes) {
                        ASSERT_TRUE(WaitDownloading(h));
                    }
                } else if (c.request == Request::Description) {
                    ASSERT_TRUE(WaitUntil([&] { return RequestCount(reportPath) > nReports; }));
                }
                // ...and into its phase, which a connect shows nowhere.
                if (bHeld) {
                    ASSERT_TRUE(m_server.WaitUntilHeld(++m_nHolds));
                }
                if (c.phase == Phase::Tls) {
                    ASSERT_TRUE(silent.WaitUntilHeld(++nSilentHolds));
                }
                ::Sleep(c.phase == Phase::Connect ? 1000 : 300);
                // Still at work: a request that had failed would have said so by now.
                EXPECT_NE(kNoUpdate, ItemText(h, IDC_STATUS_TEXT)) << "the request ended before Cancel";
                EXPECT_TRUE(Effects().messages.empty()) << "the request ended before Cancel";
                const ULONGLONG asked = ::GetTickCount64();
                DWORD_PTR unused = 0;
                bAnswered = ::SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &unused) != 0;
                nAnswerMs = ::GetTickCount64() - asked;
                clicked = ::GetTickCount64();
                PressButton(h, IDCANCEL);
            });
        std::printf("%s: Cancel to UpdateMain's return %llu ms; the dialog answered in %llu ms\n", c.name,
                    returned - clicked, nAnswerMs);
        EXPECT_TRUE(bAnswered) << "the dialog did not answer while the request hung";
        // As the result table has it: a check stopped is a check that failed.
        EXPECT_EQ(c.request == Request::Package ? E_ABORT : E_FAIL, hr);
        EXPECT_LT(returned - clicked, 2000u);
        EXPECT_TRUE(Effects().messages.empty()) << "a message after the user stopped";
        EXPECT_FALSE(PathExists(UpdateFile(L"update.cab")));
        EXPECT_EQ(STILL_ACTIVE, host.WaitForExitCode(0));
        EXPECT_TRUE(Manager().m_extraction.package.empty());
    }
}

TEST_F(StatusDialogTest, ACancelRightAfterInstallIsNotLostInTheDownloadsFirstEvent)
{
    // The sender does not read the answer to the download's first event.
    Describe(Verdict::Offered);
    ChildHost host(L"ignore");
    ASSERT_TRUE(host.Started());
    m_cmd.m_dwProcessId = host.Id();
    m_spy.onTaken = [](const MSG& msg) {
        if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == IDOK && IsDialogWindow(msg.hwnd))
            PressButton(msg.hwnd, IDCANCEL);  // queued before the install step starts
    };
    const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
        ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(h, IDOK); }));
        PressButton(h, IDOK);
    });
    EXPECT_EQ(IDOK, outcome.endCode);
    EXPECT_EQ(E_ABORT, outcome.result);
    EXPECT_EQ(STILL_ACTIVE, host.WaitForExitCode(0));
    EXPECT_TRUE(Manager().m_extraction.package.empty());
}

TEST_F(StatusDialogTest, TheUpgradeMessageInstallsWhenNothingIsOfferedAndOnlyOnce)
{
    // Only the professional package is newer; the host switches the edition
    // and sends the message, twice, and Install is pressed during the install.
    HttpReply held;
    held.holdsAt = {64 * 1024};
    ServePackage(held);
    Describe(Verdict::ProOnly);
    const int nHolds = ++m_nHolds;
    bool bProgressVisible = false;
    LRESULT secondAnswer = 0;
    const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
        ASSERT_TRUE(WaitChecked(h));
        WriteBytes(AmbrelIniPath(), "[Config]\r\nIsProUpdate=1\r\n");
        ::PostMessageW(h, g_nUpgradeMessage, 0, 0);
        ASSERT_TRUE(WaitDownloading(h));
        bProgressVisible = ItemVisible(h, IDC_PROGRESS);
        DWORD_PTR answer = 0;
        secondAnswer = ::SendMessageTimeoutW(h, g_nUpgradeMessage, 0, 0, SMTO_NORMAL, 20000, &answer);
        PressButton(h, IDOK);
        ASSERT_TRUE(m_server.WaitUntilHeld(nHolds));
        m_server.Release();
    });
    EXPECT_TRUE(bProgressVisible);
    EXPECT_NE(0, secondAnswer) << "the second message was not answered while the first one installed";
    EXPECT_EQ(IDOK, outcome.endCode);
    EXPECT_EQ(S_OK, outcome.result);
    EXPECT_EQ(1u, RequestCount("/pro.cab"));
    EXPECT_EQ(0u, RequestCount("/update.cab"));
    EXPECT_EQ(m_package, ReadBytes(UpdateFile(L"update.cab")));
}

TEST_F(StatusDialogTest, AQuitDuringTheDownloadStopsItAndReachesTheOuterLoop)
{
    ServeSlowPackage();
    Describe(Verdict::Offered);
    const DWORD dialogThread = ::GetCurrentThreadId();
    const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
        ASSERT_TRUE(WaitUntil([&] { return ItemEnabled(h, IDOK); }));
        PressButton(h, IDOK);
        ASSERT_TRUE(WaitDownloading(h));
        ::PostThreadMessageW(dialogThread, WM_QUIT, 5, 0);
    });
    // As after Cancel: the install step's handler ends the dialog; the quit waits in the queue.
    EXPECT_EQ(IDOK, outcome.endCode);
    EXPECT_EQ(E_ABORT, outcome.result);
    EXPECT_TRUE(Manager().m_extraction.package.empty());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(5u, msg.wParam);
}


// The purchase page under the news. The real browser control of Wine
// navigates but renders nothing; where the page itself matters, a stand-in
// browser takes the control's place.
struct Placement {
    RECT news, browser, install, cancel;  // in the dialog's client area
    SIZE dialog;
    bool browserVisible;
};

Placement PlacementOf(HWND hDlg)
{
    const auto itemRect = [&](int id) {
        RECT rc = {};
        ::GetWindowRect(::GetDlgItem(hDlg, id), &rc);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    RECT rcDialog = {};
    ::GetWindowRect(hDlg, &rcDialog);
    return {itemRect(IDC_NEWS_TEXT), itemRect(IDC_BROWSER), itemRect(IDOK), itemRect(IDCANCEL),
            {rcDialog.right - rcDialog.left, rcDialog.bottom - rcDialog.top}, ItemVisible(hDlg, IDC_BROWSER)};
}

int Height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Runs a function on the thread that made it, while that thread pumps (a
// modal loop does): what only the control's own thread may do.
class ThreadCall {
public:
    ThreadCall()
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    ~ThreadCall() { ::DestroyWindow(m_hWnd); }

    void Run(const std::function<void()>& fn) const
    {
        DWORD_PTR unused = 0;
        ::SendMessageTimeoutW(m_hWnd, WM_APP, 0, reinterpret_cast<LPARAM>(&fn), SMTO_NORMAL, 20000, &unused);
    }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg != WM_APP)
            return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }

    HWND m_hWnd = nullptr;
};

// The host program's window: on the upgrade message it switches to the
// professional edition and hands the message back to the dialog named in
// lParam, as the sample host does.
class UpgradingHost {
public:
    UpgradingHost()
    {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    ~UpgradingHost() { ::DestroyWindow(m_hWnd); }

    HWND m_hWnd = nullptr;
    std::vector<LPARAM> m_received;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pHost = reinterpret_cast<UpgradingHost*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg != g_nUpgradeMessage || !pHost)
            return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        pHost->m_received.push_back(lParam);
        WriteBytes(AmbrelIniPath(), "[Config]\r\nIsProUpdate=1\r\n");
        ::PostMessageW(reinterpret_cast<HWND>(lParam), uMsg, wParam, lParam);
        return 0;
    }
};

class NewsPageTest : public StatusDialogTest {
protected:
    void TearDown() override
    {
        for (const std::wstring& path : m_pages)
            ::DeleteFileW(path.c_str());
        Manager().m_hUserProgramWnd = nullptr;
        StatusDialogTest::TearDown();
    }

    // A page in the host program folder.
    std::wstring WritePage(const std::wstring& name, const std::string& bytes)
    {
        m_pages.push_back(ProgramFolder() + L"\\" + name);
        WriteBytes(m_pages.back(), bytes);
        return m_pages.back();
    }

    // Where the template puts everything, and the capped line height of its context.
    static Placement TemplatePlacement(int* pLineHeight)
    {
        HWND hDlg = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDD_UPDATE_STATUS), nullptr,
                                         PlainDialogProc, 0);
        const Placement placement = PlacementOf(hDlg);
        HDC hdc = ::GetDC(hDlg);
        SIZE size = {};
        ::GetTextExtentPoint32W(hdc, L"计算高度", 4, &size);
        ::ReleaseDC(hDlg, hdc);
        ::DestroyWindow(hDlg);
        *pLineHeight = std::min<int>(size.cy, 14);
        return placement;
    }

    static std::wstring Background()
    {
        wchar_t hex[16] = {};
        swprintf(hex, 16, L"%x", static_cast<unsigned>(::GetSysColor(COLOR_BTNFACE)));
        return std::wstring(L"?bkcolor=") + hex;
    }

    std::vector<std::wstring> m_pages;
};

TEST_F(NewsPageTest, ThePageGoesUnderTheNewsAndTheDialogGrowsWhenItNeedsRoom)
{
    int nLine = 0;
    const Placement before = TemplatePlacement(&nLine);
    ASSERT_GT(nLine, 0);
    const std::string marker = "\xEF\xBB\xBF<!--<$height$>";
    struct Case {
        const char* name;
        Verdict verdict;
        std::string dialogKeys;
        std::string page;       // "purchase.htm"; empty: no file
        int newsLines;          // 0: the news box keeps its place
        int browserHeight;      // 0: hidden
        bool grows;
    };
    const Case cases[] = {
        {"offered, the page declares 300", Verdict::Offered, "PurchasePage=purchase.htm\r\n",
         marker + "300--><html>buy</html>", 2, 300, true},
        {"nothing offered: one line, the configured height", Verdict::Nothing,
         "PurchasePage=purchase.htm\r\nPurchasePageHeight=40\r\n", "<html>buy</html>", 1, 40, false},
        {"a missing page keeps the template's height", Verdict::Offered, "PurchasePage=purchase.htm\r\n", "", 2,
         Height(before.browser), false},
        {"no page", Verdict::Offered, "", "", 0, 0, false},
    };
    ThreadCall onDialogThread;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Install(c.dialogKeys);
        ::DeleteFileW((ProgramFolder() + L"\\purchase.htm").c_str());
        const std::wstring page = c.page.empty() ? ProgramFolder() + L"\\purchase.htm" : WritePage(L"purchase.htm", c.page);
        Describe(c.verdict);
        Placement after = {};
        CString location;
        const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(WaitChecked(h));
            after = PlacementOf(h);
            if (!c.browserHeight) {
                PressButton(h, IDCANCEL);
                return;
            }
            // Wine gives the location as "file://" and the path as it was given.
            EXPECT_TRUE(WaitUntil([&] {
                onDialogThread.Run([&] {
                    AfxInvokeHelper(AfxGetHostedControl<IDispatch>(::GetDlgItem(h, IDC_BROWSER)).Get(), 211,
                                    DISPATCH_PROPERTYGET, VT_BSTR, &location, VTS_NONE);
                });
                return !location.IsEmpty();
            }));
            PressButton(h, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, outcome.endCode);
        if (!c.browserHeight) {
            EXPECT_FALSE(after.browserVisible);
            EXPECT_TRUE(::EqualRect(&before.news, &after.news));
            EXPECT_TRUE(::EqualRect(&before.browser, &after.browser));
            EXPECT_EQ(before.dialog.cy, after.dialog.cy);
            continue;
        }
        EXPECT_EQ(L"file://" + page + Background(), location.Str());
        EXPECT_TRUE(after.browserVisible);
        EXPECT_EQ(before.news.top, after.news.top);
        EXPECT_EQ(c.newsLines * nLine, Height(after.news));
        EXPECT_EQ(after.news.bottom, after.browser.top);
        EXPECT_EQ(c.browserHeight, Height(after.browser));
        EXPECT_EQ(before.browser.left, after.browser.left);
        EXPECT_EQ(before.browser.right, after.browser.right);
        const int nGrowth = after.browser.bottom - before.install.top;
        ASSERT_EQ(c.grows, nGrowth > 0) << nGrowth;
        EXPECT_EQ(before.dialog.cy + (c.grows ? nGrowth : 0), after.dialog.cy);
        EXPECT_EQ(before.dialog.cx, after.dialog.cx);
        const int nShift = c.grows ? nGrowth + 5 : 0;
        EXPECT_EQ(before.install.top + nShift, after.install.top);
        EXPECT_EQ(before.cancel.top + nShift, after.cancel.top);
        EXPECT_EQ(Height(before.install), Height(after.install));
    }
}

TEST_F(NewsPageTest, TheBrowserIsSentToTheChosenPageWithTheBackgroundColour)
{
    FakeBrowserClass browsers;
    ASSERT_TRUE(browsers.Registered());
    const std::wstring local = WritePage(L"buy.htm", "<html>buy</html>");
    const std::string web = m_server.UrlA("/buy.htm");
    DWORD dwFlags = 0;
    const bool bOnline = ::InternetGetConnectedState(&dwFlags, 0) != FALSE;
    struct Case {
        const char* name;
        std::string dialogKeys;
        std::wstring address;  // empty: no page
    };
    const Case cases[] = {
        {"a local page", "PurchasePage=buy.htm\r\n", local + Background()},
        {"both", "PurchasePage=buy.htm\r\nPurchasePageWeb=" + web + "\r\n",
         (bOnline ? std::wstring(web.begin(), web.end()) : local) + Background()},
        {"a web address too long for the location", "PurchasePageWeb=" + web + std::string(300, 'a') + "\r\n", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browsers.m_navigated.clear();
        Install(c.dialogKeys);
        Describe(Verdict::Nothing);
        bool bVisible = false;
        RunDialog(FALSE, [&](HWND h) {
            ASSERT_TRUE(WaitChecked(h));
            bVisible = ItemVisible(h, IDC_BROWSER);
            PressButton(h, IDCANCEL);
        });
        EXPECT_EQ(c.address.empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{c.address},
                  browsers.m_navigated);
        EXPECT_EQ(!c.address.empty(), bVisible);
    }
    EXPECT_EQ(0, browsers.m_nLive);
}

TEST_F(NewsPageTest, AnUpgradeLinkReachesTheHostWhichHandsItBackAndTheDialogInstalls)
{
    FakeBrowserClass browsers;
    ASSERT_TRUE(browsers.Registered());
    WritePage(L"buy.htm", "<html>buy</html>");
    Install("PurchasePage=buy.htm\r\n");
    UpgradingHost host;
    Manager().m_hUserProgramWnd = host.m_hWnd;
    struct Case {
        const char* name;
        LPCWSTR link;
        bool installs;
    };
    const Case cases[] = {
        {"an upgrade link", L"http://buypro/professional", true},
        {"another link", L"http://shop.example/professional", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        browsers.m_newWindowCancels.clear();
        host.m_received.clear();
        ::DeleteFileW(AmbrelIniPath().c_str());
        browsers.m_document = FakeDocument(FakeAnchor(c.link));
        Describe(Verdict::ProOnly);
        const size_t nProFetches = RequestCount("/pro.cab");
        HWND hDialog = nullptr;
        const Outcome outcome = RunDialog(FALSE, [&](HWND h) {
            hDialog = h;
            ASSERT_TRUE(WaitChecked(h));
            HWND hPage = ::GetWindow(::GetDlgItem(h, IDC_BROWSER), GW_CHILD);
            ASSERT_NE(nullptr, hPage);
            DWORD_PTR unused = 0;
            ::SendMessageTimeoutW(hPage, kFakeBrowserClick, 0, 0, SMTO_NORMAL, 20000, &unused);
            if (!c.installs)
                PressButton(h, IDCANCEL);
        });
        EXPECT_EQ((std::vector<VARIANT_BOOL>{c.installs ? VARIANT_TRUE : VARIANT_FALSE}), browsers.m_newWindowCancels);
        EXPECT_EQ(c.installs ? std::vector<LPARAM>{reinterpret_cast<LPARAM>(hDialog)} : std::vector<LPARAM>(),
                  host.m_received);
        EXPECT_EQ(c.installs ? IDOK : IDCANCEL, outcome.endCode);
        EXPECT_EQ(c.installs ? S_OK : E_ABORT, outcome.result);
        // The host chose the professional edition before it handed the message back.
        EXPECT_EQ(nProFetches + (c.installs ? 1 : 0), RequestCount("/pro.cab"));
        EXPECT_EQ(0u, RequestCount("/update.cab"));
        // Gone with the dialog, its connection withdrawn.
        EXPECT_EQ(0, browsers.m_nLive);
        EXPECT_EQ(0, browsers.m_nConnections);
    }
    browsers.m_document.Reset();
    EXPECT_EQ(0, FakeNode::Live());
}

} // namespace
