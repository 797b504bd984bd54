// Whether a newly installed release runs: the launcher starts its host and
// watches for the completion call's confirmation (base/UpdateConfirmation.h)
// or the host's end. Decisions only.
#pragma once

#include <windows.h>

// An exit status that only a crash or the loader gives (an exception, a DLL
// that is missing or fails to start), never a program's own exit code.
bool IsCrashStatus(DWORD exitCode);

// What the launcher saw of the new host.
struct NewHostWatch {
    bool started = false;
    bool confirmed = false;  // its completion call came
    bool ended = false;      // it ended before confirming, with exitCode
    DWORD exitCode = 0;
};

enum class ReleaseVerdict { Keep, RollBack };

// A release that cannot start, crashes before confirming, or misses the
// publisher's deadline goes back. Without a deadline a host that runs on
// without confirming is left alone: so is an installation today.
ReleaseVerdict JudgeNewRelease(const NewHostWatch& watch, bool hasDeadline);

// How long to watch: the publisher's deadline when the record names one,
// else long enough for a crash at start to show.
DWORD WatchTimeMs(bool hasDeadline, DWORD deadlineSeconds);

const DWORD kStartWatchMs = 60000;
// A deadline beyond a day is taken as a day.
const DWORD kLongestDeadlineSeconds = 24 * 60 * 60;
