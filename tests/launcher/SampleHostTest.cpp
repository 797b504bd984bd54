// The sample host: its pure parts, and the real program run as a child.
#include "HostUpdate.h"
#include "HostVersion.h"
#include "TestFolder.h"

#include "base/CommandLine.h"

#include "support/ChildProcess.h"
#include "support/WindowDriver.h"
#include "update.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <shlwapi.h>

namespace {

using namespace testing_support;

const UINT kUpgradeMessage = ::RegisterWindowMessageW(UPDATE_UPGRADE_MESSAGE);

TEST(SampleHost, FormatsItsVersion)
{
    const struct {
        DWORD ms, ls;
        const wchar_t* text;
    } cases[] = {
        {MAKELONG(0, 1), 0, L"1.0"},
        {MAKELONG(1, 1), 0, L"1.1"},
        {MAKELONG(12, 2), MAKELONG(0, 3), L"2.12.3"},
        {MAKELONG(1, 1), MAKELONG(5, 0), L"1.1.0.5"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, L"65535.65535.65535.65535"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, FormatVersion(c.ms, c.ls));
}

TEST(SampleHost, RecognisesTheRestartSwitch)
{
    const struct {
        std::vector<std::wstring> args;
        bool restarted;
    } cases[] = {
        {{L"host.exe"}, false},
        {{L"host.exe", L"/updated"}, true},
        {{L"host.exe", L"-UPDATED"}, true},
        {{L"host.exe", L"x", L"/Updated"}, true},
        {{L"/updated"}, false},  // the program's own name is not an argument
        {{L"host.exe", L"updated"}, false},
        {{L"host.exe", L"/updatedx"}, false},
        {{L"host.exe", L"//updated"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.restarted, IsStartedAfterUpdate(c.args)) << c.args.back().c_str();
}

TEST(SampleHost, StartsTheLauncherWithItsAddressAndIdentifier)
{
    const std::wstring exe = L"C:\\Program Files\\R&D\\update.exe";
    const std::wstring url = L"http://127.0.0.1:8080/update.ini?c=Demo&x=%41^";
    const std::vector<std::wstring> expected = {exe, url, L"/pid", L"4242"};
    EXPECT_EQ(expected, CommandLineArguments(BuildUpdateCommandLine(exe, url, 4242).c_str()));
}

// Runs host.exe or its 1.1 build from this program's folder, where a restarted
// host may leave an "update" folder behind; it is removed before and after.
class SampleHostProcess : public ::testing::Test {
protected:
    void SetUp() override { RemoveUpdateFolder(); }
    void TearDown() override { RemoveUpdateFolder(); }

    static std::wstring Program(const wchar_t* name) { return TestFolder() + L"\\" + name; }

    static HWND MainWindow(const ChildProcess& host, const std::wstring& title)
    {
        return WaitForWindowOf(host.Id(), L"UpdateSampleHost", [&](HWND h) { return WindowText(h) == title; });
    }

private:
    static void RemoveUpdateFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(TestFolder() + L"\\update", ignored);
    }
};

TEST_F(SampleHostProcess, ShowsTheVersionOfItsOwnBuildAndQuitsOnClose)
{
    const struct {
        const wchar_t* program;
        const wchar_t* title;
    } cases[] = {
        {L"host.exe", L"示例程序 1.0"},
        {L"host-1.1.exe", L"示例程序 1.1"},
    };
    for (const auto& c : cases) {
        const std::wstring program = Program(c.program);
        ChildProcess host(program, BuildCommandLine(program, {}));
        ASSERT_TRUE(host.Started());
        HWND hMain = MainWindow(host, c.title);
        ASSERT_NE(nullptr, hMain) << c.program;
        EXPECT_NE(std::wstring::npos, ItemText(hMain, 100).find(std::wstring(L"版本 ") + (c.title + 5)));
        ::PostMessageW(hMain, WM_CLOSE, 0, 0);
        ASSERT_TRUE(host.WaitForExit());
        EXPECT_EQ(0u, host.ExitCode());
    }
}

TEST_F(SampleHostProcess, HandsTheUpgradeMessageBackToTheDialogThatSentIt)
{
    const std::wstring program = Program(L"host.exe");
    ChildProcess host(program, BuildCommandLine(program, {}));
    HWND hMain = MainWindow(host, L"示例程序 1.0");
    ASSERT_NE(nullptr, hMain);

    // This window stands in for the update dialog of another process.
    HWND hDialog = ::CreateWindowExW(0, L"STATIC", L"dialog", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hDialog);
    ASSERT_TRUE(::PostMessageW(hMain, kUpgradeMessage, 7, reinterpret_cast<LPARAM>(hDialog)));

    MSG received = {};
    const bool arrived = WaitUntil([&] {
        MSG msg;
        while (::PeekMessageW(&msg, hDialog, 0, 0, PM_REMOVE)) {
            if (msg.message == kUpgradeMessage) {
                received = msg;
                return true;
            }
            ::DispatchMessageW(&msg);
        }
        return false;
    }, 30000);
    EXPECT_TRUE(arrived);
    EXPECT_EQ(7u, received.wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(hDialog), received.lParam);
    ::DestroyWindow(hDialog);
}

TEST_F(SampleHostProcess, FinishesTheUpdateOnlyWhenStartedAgainAfterOne)
{
    const std::wstring program = Program(L"host.exe");
    {
        ChildProcess plain(program, BuildCommandLine(program, {}));
        ASSERT_NE(nullptr, MainWindow(plain, L"示例程序 1.0"));
        EXPECT_EQ(nullptr, WaitForWindowOf(plain.Id(), L"#32770", {}, 2000));
    }
    ChildProcess restarted(program, BuildCommandLine(program, {L"/updated"}));
    ASSERT_NE(nullptr, MainWindow(restarted, L"示例程序 1.0"));
    // NotifyEvent(0) ends with the completion message.
    HWND hBox = WaitForWindowOf(restarted.Id(), L"#32770");
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(L"安装完成", MessageBoxText(hBox));
    PressButton(hBox, IDOK);
    EXPECT_TRUE(WaitForWindowGone(hBox));
}

} // namespace
