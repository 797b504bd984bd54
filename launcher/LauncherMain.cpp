// update.exe <url> [/pid pid] [/s]: runs the library's interactive update for
// the host named by /pid, applies the package wholly or not at all, starts
// the host again with the switch "/updated" and rolls back a release that does
// not start. The exit codes are those of LauncherExitCode. Started again with
// an administrator's rights it runs only the apply step (ElevatedStep.h).
#include "ElevatedStep.h"
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
    const std::wstring ownFolder = ModuleFolder(nullptr);
    const ElevatedStep elevated = ParseElevatedStep(args, ownFolder);
    if (elevated.kind != ElevatedKind::None) {
        StartUpdateLog(UpdateFolderIn(ownFolder), L"elevated launcher");
        if (elevated.kind == ElevatedKind::Refused)
            UpdateLog(L"elevated step: its command line is refused");
        CSwapFiles files;
        return RunElevatedStep(elevated, files);
    }
    const LaunchRequest request = ParseLaunchRequest(args);
    StartUpdateLog(UpdateFolderIn(ownFolder), L"launcher");

    // Remembered now: the update ends the host before its path is needed.
    const CHostProcess host(request.processId);
    if (HWND hMain = host.MainWindow())
        ::SetUserProgramHWnd(hMain);

    CLauncherSteps steps(args, host, request.silent);
    return RunLauncher(steps, host.Path());
}
