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

bool ApplyPrepared(ILauncherSteps& steps, const ExtractionTarget& target)
{
    UpdateLog(L"applying ", target.package, L" to ", target.folder);
    return !target.package.empty() && steps.FileExists(target.package) && steps.ApplyPackage(target);
}

// A program file a delta's patch needs was changed: the full package replaces
// it whole. Once only, and whatever that package is, it is not fallen back from.
bool ApplyFullPackage(ILauncherSteps& steps)
{
    UpdateLog(L"a file the delta package patches was changed; the full package is fetched instead");
    const HRESULT hr = steps.RunFullUpdate();
    UpdateLog(L"the library's update for the full package returned ", LoggedResult(hr));
    std::wstring command;
    return hr == S_OK && SUCCEEDED(steps.GetExtractionCommand(command)) &&
           ApplyPrepared(steps, ParseExtractionCommand(command));
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
    if (!ApplyPrepared(steps, target) && !(steps.DeltaBaseDiffered() && ApplyFullPackage(steps)))
        return RestartAfterFailure(steps, hostPath, kExitExtractionFailed);

    UpdateLog(L"the package is applied; ", hostPath.empty() ? L"completing here" : L"restarting the host");
    if (hostPath.empty()) {
        // No host to start again: the update is finished here.
        steps.CompleteUpdateHere();
        return kExitUpdated;
    }
    return steps.Start(hostPath, BuildCommandLine(hostPath, {kRestartSwitch})) ? kExitUpdated : kExitRestartFailed;
}
