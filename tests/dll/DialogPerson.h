// A check through the real library with a person at its dialog: the host's
// automatic check (IsAutoUpdate), or a person's update.exe (UpdateMain), with
// or without the silent switch. When the dialog shows, the person reads its
// verdict, then presses Install when it is offered (after beforeInstall), else
// Cancel, and answers the message box the install shows.
#pragma once

#include "dll/LoadedUpdateLibrary.h"

#include <windows.h>

#include <functional>
#include <string>

enum class CheckRun { HostCheck, ByHand, ByHandSilent };

struct CheckOutcome {
    HRESULT hr = E_FAIL;
    bool bDialog = false;       // the dialog came into sight with a verdict
    std::wstring verdictText;   // its status line once the check ended
    std::wstring installBox;    // the text of a message box shown after Install
};

CheckOutcome RunCheckWithPerson(LoadedUpdateLibrary& lib, const std::wstring& url, DWORD processId, CheckRun run,
                                const std::function<void()>& beforeInstall = {});
