// The launcher's course around the library's interactive update: finish what an
// interrupted launcher left, apply the package that the extraction command
// names completely or not at all (with an administrator's rights when the
// person may not change the program), then start the host again and watch the
// new release start: one that cannot start, crashes before its completion
// call, or misses the record's deadline is rolled back and the previous
// release started again. Decisions only; the steps that touch the system come
// through ILauncherSteps.
#pragma once

#include "ElevatedStep.h"
#include "LauncherMessage.h"
#include "ReleaseHealth.h"

#include "base/ExtractionCommand.h"

#include <windows.h>

#include <string>

// The launcher's exit codes.
enum LauncherExitCode : int {
    kExitUpdated = 0,           // package applied; host restarted (or the update completed here)
    kExitNothingToDo = 1,       // no update applies, or a silent check found none
    kExitUsage = 2,             // no address: the library showed the usage
    kExitCancelled = 3,         // the user cancelled
    kExitUpdateFailed = 4,      // the check, the download or the extraction command failed
    kExitExtractionFailed = 5,  // the package is missing, broken or refused, or could not be swapped in:
                                // nothing of it was applied; the host was started again as it was
    kExitRestartFailed = 6,     // package applied, but the host could not be started again
    kExitRolledBack = 7,        // the new release did not start: the previous one is back and was started again
    kExitElevationDeclined = 8, // the person declined the rights to change the program: nothing was applied,
                                // the host was started again as it was
    kExitRollBackFailed = 9,    // the new release did not start and could not yet be put back wholly;
                                // the next run of the launcher finishes that
    kExitDeltaBaseDiffered = 10,  // the elevated apply step only: a file a delta package patches was
                                  // changed; nothing was applied, the full package is needed
};

class ILauncherSteps {
public:
    virtual ~ILauncherSteps() = default;

    // Rolls back the swap of a launcher that was ended half way (PackageSwap.h).
    virtual void RecoverInterruptedSwap() = 0;
    // UpdateMain with the launcher's own argument vector.
    virtual HRESULT RunUpdate() = 0;
    // GetUpdates: the extraction command.
    virtual HRESULT GetExtractionCommand(std::wstring& command) = 0;
    // Waits at most waitMs for the host to be gone; true when it is (or none was named).
    virtual bool WaitForHostExit(DWORD waitMs) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Whether this process may change the program folder.
    virtual bool MayWriteFolder(const std::wstring& folder) = 0;
    // Stages the package and swaps it into the folder, keeping what it
    // replaced until KeepNewRelease or RollBackRelease; false when nothing of
    // it was applied.
    virtual bool ApplyPackage(const ExtractionTarget& target) = 0;
    // After ApplyPackage failed: the program file that another process held,
    // if that is why; empty otherwise.
    virtual std::wstring HeldFile() { return std::wstring(); }
    // The same through update.exe started again with an administrator's rights.
    virtual ElevationResult ApplyElevated(const ExtractionTarget& target) = 0;
    // [Update] ConfirmWithin of the installed record, in seconds; false without one.
    virtual bool ReadConfirmDeadline(DWORD& seconds) = 0;
    // Starts the new release's host and waits at most waitMs for its
    // confirmation or its end.
    virtual NewHostWatch StartAndWatch(const std::wstring& program, const std::wstring& commandLine, DWORD waitMs) = 0;
    // Ends the host StartAndWatch started, and waits until it is gone.
    virtual void EndNewHost() = 0;
    // The new release stays: what the swap replaced goes.
    virtual void KeepNewRelease() = 0;
    // Puts the previous release back (elevated: as the apply was) and records
    // the version as rolled back; false when it is not wholly back.
    virtual bool RollBackRelease(bool elevated) = 0;
    // Tells the person why the program was left as it was, unless the update runs silently.
    virtual void Tell(LauncherNotice notice, const std::wstring& argument = std::wstring()) = 0;
    // After ApplyPackage failed: only because a delta package's patch met a
    // program file other than the one it was made from.
    virtual bool DeltaBaseDiffered() { return false; }
    // UpdateMain once more for the full package, installed without asking the
    // person again: they pressed Install already.
    virtual HRESULT RunFullUpdate() { return E_NOTIMPL; }
    // Starts a process without waiting for it; false when it could not be started.
    virtual bool Start(const std::wstring& program, const std::wstring& commandLine) = 0;
    // NotifyEvent(0) in this process: finishes the update when no host will.
    virtual void CompleteUpdateHere() = 0;
};

// The exit code for a result of UpdateMain other than S_OK.
int ExitCodeForUpdateResult(HRESULT hr);

// The whole course. hostPath is the executable of the process named by /pid,
// empty when none was named or it could not be read.
int RunLauncher(ILauncherSteps& steps, const std::wstring& hostPath);

// How long the launcher waits for the ended host to be gone before it
// replaces its files (the library itself waits 5 s, then terminates it).
const DWORD kHostExitWaitMs = 30000;
