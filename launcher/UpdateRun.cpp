#include "UpdateRun.h"

#include "CommandLine.h"
#include "HostRestart.h"

namespace {

// The host was ended for an update that will not happen: start it again as it
// was, so that the user is not left without it. A host that still runs is left alone.
int RestartAfterFailure(ILauncherSteps& steps, const std::wstring& hostPath, int exitCode)
{
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

std::wstring ExtractionPackage(const std::wstring& command)
{
    const std::vector<std::wstring> args = SplitCommandLine(command);
    for (size_t i = 0; i < args.size(); ++i) {
        if (::lstrcmpiW(args[i].c_str(), L"/L") != 0)
            continue;
        const bool named = i + 2 < args.size() && !args[i + 1].empty();
        return named ? args[i + 2] : std::wstring();
    }
    return std::wstring();
}

int RunLauncher(ILauncherSteps& steps, const std::wstring& hostPath)
{
    const HRESULT hr = steps.RunUpdate();
    if (hr != S_OK)
        return ExitCodeForUpdateResult(hr);

    std::wstring command;
    if (FAILED(steps.GetExtractionCommand(command)))
        return RestartAfterFailure(steps, hostPath, kExitUpdateFailed);
    const std::wstring package = ExtractionPackage(command);
    // Nothing prepared; a host ended all the same (an extraction command that
    // does not parse, say) is not left ended.
    if (package.empty())
        return RestartAfterFailure(steps, hostPath, kExitNothingToDo);

    // The files of a running program cannot be replaced.
    steps.WaitForHostExit(kHostExitWaitMs);
    // The extractor may report success for a package it never found.
    DWORD exitCode = 0;
    if (!steps.FileExists(package) || !steps.RunToEnd(command, exitCode) || exitCode != 0)
        return RestartAfterFailure(steps, hostPath, kExitExtractionFailed);

    if (hostPath.empty()) {
        // No host to start again: the update is finished here.
        steps.CompleteUpdateHere();
        return kExitUpdated;
    }
    return steps.Start(hostPath, BuildCommandLine(hostPath, {kRestartSwitch})) ? kExitUpdated : kExitRestartFailed;
}
