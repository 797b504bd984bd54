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
