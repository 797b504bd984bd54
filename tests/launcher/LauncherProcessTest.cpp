// The real update.exe, run as a host runs it.
#include "base/CommandLine.h"
#include "TestFolder.h"
#include "UpdateRun.h"

#include "support/ChildProcess.h"
#include "support/WindowDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TEST(LauncherProcess, WithoutAddressShowsTheUsageAndExitsWithTheUsageCode)
{
    const std::wstring launcher = TestFolder() + L"\\update.exe";
    const std::vector<std::wstring> lines[] = {
        {},
        // Switches alone name no address (a value after /pid would be the address).
        {L"/S", L"-pid", L"/x"},
    };
    for (const std::vector<std::wstring>& args : lines) {
        ChildProcess child(launcher, BuildCommandLine(launcher, args));
        ASSERT_TRUE(child.Started());
        HWND hBox = WaitForWindowOf(child.Id(), L"#32770");
        ASSERT_NE(nullptr, hBox) << "exit code " << child.ExitCode();
        EXPECT_NE(std::wstring::npos, MessageBoxText(hBox).find(L"update.exe <url> [/pid pid] [/s]"));
        PressButton(hBox, IDOK);
        ASSERT_TRUE(child.WaitForExit());
        EXPECT_EQ(static_cast<DWORD>(kExitUsage), child.ExitCode());
    }
}

} // namespace
