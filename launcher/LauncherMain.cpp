// update.exe <url> [/pid pid] [/s]: runs the library's interactive update for
// the host named by /pid, applies the package wholly or not at all and starts
// the host again with the switch "/updated". The exit codes are those of
// LauncherExitCode.
#include "HostProcess.h"
#include "LaunchRequest.h"
#include "LauncherSteps.h"
#include "update.h"

#include "base/CommandLine.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const std::vector<std::wstring> args = SplitCommandLine(::GetCommandLineW());
    const LaunchRequest request = ParseLaunchRequest(args);
    StartUpdateLog(UpdateFolderIn(ModuleFolder(nullptr)), L"launcher");

    // Remembered now: the update ends the host before its path is needed.
    const CHostProcess host(request.processId);
    if (HWND hMain = host.MainWindow())
        ::SetUserProgramHWnd(hMain);

    CLauncherSteps steps(args, host);
    return RunLauncher(steps, host.Path());
}
