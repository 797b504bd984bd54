#include "UpdateRun.h"

#include "HostRestart.h"

#include "base/CommandLine.h"
#include "base/UpdateLog.h"

namespace {

// The host was ended for an update that will not happen: start it again as it
// was, so that the user is not left without it. A host that still runs is left alone.
int RestartAfterFailure(ILauncherSteps& steps, const std::wstring& hostPath, int exitCode)
{
    UpdateLog(L"no update applied (exit code ", exitCode, L"); the host is started again if it ended");
    if (!hostPath.empty() && steps.WaitForHostExit(0))
        steps.Start(hostPath, BuildCommandLine(hostPath, {}));
    return exitCode;
}

enum class ApplyOutcome { Done, Failed, Declined, BaseDiffers };

// Applies a package that is there, through the elevated step when this
// process may not change the program.
ApplyOutcome Apply(ILauncherSteps& steps, const ExtractionTarget& target, bool elevated)
{
    if (elevated) {
        UpdateLog(L"the program folder may not be changed by this process: applying with an administrator's rights");
        const ElevationResult result = steps.ApplyElevated(target);
        if (result == ElevationResult::Declined)
            return ApplyOutcome::Declined;
        if (result == ElevationResult::Done)
            return ApplyOutcome::Done;
    } else if (steps.ApplyPackage(target)) {
        return ApplyOutcome::Done;
    }
    return steps.DeltaBaseDiffered() ? ApplyOutcome::BaseDiffers : ApplyOutcome::Failed;
}

// A program file a delta's patch needs was changed: the full package replaces
// it whole. Once only, and whatever that package is, it is not fallen back from.
ApplyOutcome ApplyFullPackage(ILauncherSteps& steps, bool elevated)
{
    UpdateLog(L"a file the delta package patches was changed; the full package is fetched instead");
    const HRESULT hr = steps.RunFullUpdate();
    UpdateLog(L"the library's update for the full package returned ", LoggedResult(hr));
    std::wstring command;
    if (hr != S_OK || FAILED(steps.GetExtractionCommand(command)))
        return ApplyOutcome::Failed;
    const ExtractionTarget target = ParseExtractionCommand(command);
    UpdateLog(L"applying ", target.package, L" to ", target.folder);
    if (target.package.empty() || !steps.FileExists(target.package))
        return ApplyOutcome::Failed;
    const ApplyOutcome outcome = Apply(steps, target, elevated);
    return outcome == ApplyOutcome::BaseDiffers ? ApplyOutcome::Failed : outcome;
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
    ApplyOutcome outcome = Apply(steps, target, elevated);
    if (outcome == ApplyOutcome::BaseDiffers)
        outcome = ApplyFullPackage(steps, elevated);
    if (outcome == ApplyOutcome::Declined) {
        RestartAfterFailure(steps, hostPath, kExitElevationDeclined);
        // Once the old program is back, so that the box does not keep the person from it.
        steps.Tell(LauncherNotice::NotPermitted);
        return kExitElevationDeclined;
    }
    if (outcome != ApplyOutcome::Done) {
        RestartAfterFailure(steps, hostPath, kExitExtractionFailed);
        // Why, and which file to free.
        const std::wstring held = elevated ? std::wstring() : steps.HeldFile();
        if (!held.empty())
            steps.Tell(LauncherNotice::FileHeld, held);
        return kExitExtractionFailed;
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
