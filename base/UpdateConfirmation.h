// The sign that a newly installed release runs: its host's completion call
// (NotifyEvent(0)) sets an event that the launcher waiting for it made. The
// event is named after the program folder, so that one installation never
// confirms another's.
#pragma once

#include <string>

// "Local\" and a digest of the folder's name, without regard to case.
std::wstring ConfirmationEventName(const std::wstring& programFolder);

// Sets the event, when a launcher waits for it; nothing otherwise.
void SignalReleaseConfirmed(const std::wstring& programFolder);
