// The one hook for effects that a user sees: message boxes and shell launches.
// Products use the default, which shows and opens for real; tests install their
// own to record what would have been shown, so that no window blocks a run.
#pragma once

#include <windows.h>

class CUserEffects {
public:
    virtual ~CUserEffects() = default;

    // A message box; returns the button pressed (IDOK, ...).
    virtual int ShowMessage(HWND hOwner, LPCWSTR pszText, LPCWSTR pszCaption, UINT nType);

    // The shell's "open" verb on a document or address; TRUE when it started.
    virtual BOOL OpenDocument(LPCWSTR pszAddress);
};

// The hook in force; never null.
CUserEffects& AfxGetUserEffects();

// Installs pEffects (null restores the default) and returns the previous hook.
CUserEffects* AfxSetUserEffects(CUserEffects* pEffects);

// What a message is, for the one decision whether a person may see it now
// (flags; none: the person asked for it or must learn it, such as the usage,
// an offer's tips or the completion).
enum EMessageKind : unsigned {
    kMessageTold = 0,
    kMessageError = 1,    // an error of the work: not once the host asked for silence for good
    kMessageInCheck = 2,  // met during a check: not while the check is a silent one
};

// The host asked for silence for good (IsAutoUpdate): errors are not shown
// again in this process.
void AfxSilenceErrors(bool bSilent);
// The last check was a silent one (the manager's check with the "s" switch).
void AfxSetSilentCheck(bool bSilent);
// The one decision; every message box of the library asks it (AfxMessageBox).
bool AfxMayShowMessage(unsigned nKind);
