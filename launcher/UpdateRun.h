// The launcher's course after the library's interactive update: run the
// extraction command, then start the host again. Decisions only; the steps that
// touch the system come through ILauncherSteps.
#pragma once

#include <windows.h>

#include <string>

// The launcher's exit codes.
enum LauncherExitCode : int {
    kExitUpdated = 0,           // package extracted; host restarted (or the update completed here)
    kExitNothingToDo = 1,       // no update applies, or a silent check found none
    kExitUsage = 2,             // no address: the library showed the usage
    kExitCancelled = 3,         // the user cancelled
    kExitUpdateFailed = 4,      // the check, the download or the extraction command failed
    kExitExtractionFailed = 5,  // the package is missing, or the extractor failed or could not start;
                                // the host was started again as it was
    kExitRestartFailed = 6,     // package extracted, but the host could not be started again
};

class ILauncherSteps {
public:
    virtual ~ILauncherSteps() = default;

    // UpdateMain with the launcher's own argument vector.
    virtual HRESULT RunUpdate() = 0;
    // GetUpdates: the extraction command.
    virtual HRESULT GetExtractionCommand(std::wstring& command) = 0;
    // Waits at most waitMs for the host to be gone; true when it is (or none was named).
    virtual bool WaitForHostExit(DWORD waitMs) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;
    // Runs a command line to its end; false when it could not be started.
    virtual bool RunToEnd(const std::wstring& commandLine, DWORD& exitCode) = 0;
    // Starts a process without waiting for it; false when it could not be started.
    virtual bool Start(const std::wstring& program, const std::wstring& commandLine) = 0;
    // NotifyEvent(0) in this process: finishes the update when no host will.
    virtual void CompleteUpdateHere() = 0;
};

// The exit code for a result of UpdateMain other than S_OK.
int ExitCodeForUpdateResult(HRESULT hr);

// The package that the extraction command unpacks: the second argument after
// "/L", the first being the destination folder. Empty when the command names
// no folder and package, as after a check that prepared nothing.
std::wstring ExtractionPackage(const std::wstring& command);

// The whole course. hostPath is the executable of the process named by /pid,
// empty when none was named or it could not be read.
int RunLauncher(ILauncherSteps& steps, const std::wstring& hostPath);

// How long the launcher waits for the ended host to be gone before it
// extracts over its files (the library itself waits 5 s, then terminates it).
const DWORD kHostExitWaitMs = 30000;
