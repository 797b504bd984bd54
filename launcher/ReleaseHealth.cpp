#include "ReleaseHealth.h"

bool IsCrashStatus(DWORD exitCode)
{
    // Ctrl+C or a console closed: the person ended it.
    if (exitCode == 0xC000013A)
        return false;
    // The system's own error statuses: access violations, stack overruns,
    // fast fails, a DLL missing (0xC0000135) or failing to start (0xC0000142).
    if ((exitCode & 0xFFFF0000) == 0xC0000000)
        return true;
    // Side-by-side activation at load, a breakpoint or misalignment nobody
    // handled, and an uncaught C++ exception.
    return (exitCode & 0xFFFF0000) == 0xC0150000 || exitCode == 0x80000003 || exitCode == 0x80000002 ||
           exitCode == 0xE06D7363;
}

ReleaseVerdict JudgeNewRelease(const NewHostWatch& watch, bool hasDeadline)
{
    if (!watch.started)
        return ReleaseVerdict::RollBack;
    if (watch.confirmed)
        return ReleaseVerdict::Keep;
    if (watch.ended)
        return IsCrashStatus(watch.exitCode) ? ReleaseVerdict::RollBack : ReleaseVerdict::Keep;
    return hasDeadline ? ReleaseVerdict::RollBack : ReleaseVerdict::Keep;
}

DWORD WatchTimeMs(bool hasDeadline, DWORD deadlineSeconds)
{
    if (!hasDeadline)
        return kStartWatchMs;
    return (deadlineSeconds < kLongestDeadlineSeconds ? deadlineSeconds : kLongestDeadlineSeconds) * 1000;
}
