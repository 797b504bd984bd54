#include "UpdateRun.h"

#include "HostRestart.h"

#include "base/CommandLine.h"
#include "base/UpdateLog.h"

namespace {

const wchar_t kDeclinedText[] =
    L"The update was not installed: the permission to change the program was not given. "
    L"The program has been started again as it was.";

// The host was ended for an update that will not happen: start it again as it
// was, so that the user is not left without it. A host that still runs is left alone.
int RestartAfterFailure(ILauncherSteps& steps, const std::wstring& hostPath, int exitCode)
{
    UpdateLog(L"no update applied (exit code ", exitCode, L"); the host is started again if it ended");
    if (!hostPath.empty() && steps.WaitForHostExit(0))
        steps.Start(hostPath, BuildCommandLine(hostPath, {}));
    return exitCode;
}

} // namespace

int ExitCodeForUpdateResult(HRESULT hr)
{
    if (SUCCEEDED(hr))
        return kExitNothingToDo;  // S_FALSE: the offer no longer applies
    if (hr == E_INVALIDARG)
        return kExitUsage;
    if (hr == E_ABORT)
        return kExitCancelled;
    return kExitUpdateFailed;
}

int RunLauncher(ILauncherSteps& steps, const std::wstring& hostPath)
{
    // Before the library runs: a program left half swapped may not even start.
    steps.RecoverInterruptedSwap();
    const HRESULT hr = steps.RunUpdate();
    UpdateLog(L"the library's update returned ", LoggedResult(hr));
    if (hr != S_OK)
        return ExitCodeForUpdateResult(hr);

    std::wstring command;
    if (FAILED(steps.GetExtractionCommand(command)))
        return RestartAfterFailure(steps, hostPath, kExitUpdateFailed);
    const ExtractionTarget target = ParseExtractionCommand(command);
    // Nothing prepared; a host ended all the same (an extraction command that
    // does not parse, say) is not left ended.
    if (target.package.empty())
        return RestartAfterFailure(steps, hostPath, kExitNothingToDo);

    // The files of a running program cannot be replaced.
    steps.WaitForHostExit(kHostExitWaitMs);
    UpdateLog(L"applying ", target.package, L" to ", target.folder);
    if (!steps.FileExists(target.package))
        return RestartAfterFailure(steps, hostPath, kExitExtractionFailed);
    // Asked before anything is done, so that a refusal leaves nothing half done.
    const bool elevated = !steps.MayWriteFolder(target.folder);
    if (elevated) {
        UpdateLog(L"the program folder may not be changed by this process: applying with an administrator's rights");
        const ElevationResult result = steps.ApplyElevated(target);
        if (result == ElevationResult::Declined) {
            steps.Tell(kDeclinedText);
            return RestartAfterFailure(steps, hostPath, kExitElevationDeclined);
        }
        if (result != ElevationResult::Done)
            return RestartAfterFailure(steps, hostPath, kExitExtractionFailed);
    } else if (!steps.ApplyPackage(target)) {
        return RestartAfterFailure(steps, hostPath, kExitExtractionFailed);
    }

    UpdateLog(L"the package is applied; ", hostPath.empty() ? L"completing here" : L"restarting the host");
    if (hostPath.empty()) {
        // No host to start again: the update is finished here.
        steps.CompleteUpdateHere();
        steps.KeepNewRelease();
        return kExitUpdated;
    }
    DWORD seconds = 0;
    const bool deadline = steps.ReadConfirmDeadline(seconds);
    const NewHostWatch watch =
        steps.StartAndWatch(hostPath, BuildCommandLine(hostPath, {kRestartSwitch}), WatchTimeMs(deadline, seconds));
    if (JudgeNewRelease(watch, deadline) == ReleaseVerdict::Keep) {
        UpdateLog(L"the new release ", watch.confirmed ? L"confirmed that it runs" : L"is kept");
        steps.KeepNewRelease();
        return kExitUpdated;
    }
    UpdateLog(L"the new release ", !watch.started ? L"could not be started" : watch.ended ? L"crashed (status " : L"missed its deadline",
              watch.ended ? LoggedResult(static_cast<HRESULT>(watch.exitCode)) + L")" : std::wstring(), L"; rolling back");
    // Its files cannot be put back while it runs.
    if (watch.started && !watch.ended)
        steps.EndNewHost();
    if (!steps.RollBackRelease(elevated))
        return kExitRollBackFailed;
    return steps.Start(hostPath, BuildCommandLine(hostPath, {})) ? kExitRolledBack : kExitRestartFailed;
}
