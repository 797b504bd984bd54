// Windows that host an ActiveX control. The window class is named by the
// control's class identifier in braces, so a dialog template can name the
// control as its class and the dialog manager creates the host, which creates
// the control, activates it in place over its whole client area and keeps it
// sized, shown and hidden with itself; destroying the host closes the control.
#pragma once

#include "framework/AfxBrowserEvents.h"
#include "framework/AfxComPtr.h"

#include <windows.h>

// Registers the host class for clsid in this module; TRUE when it is (or
// already was) registered.
BOOL AfxRegisterControlHostClass(REFCLSID clsid);

// Removes every host class this module registered.
void AfxUnregisterControlHostClasses();

// The class identifier a host class name stands for; FALSE when the name is
// not a class identifier in braces.
BOOL AfxParseControlClassName(LPCWSTR pszClassName, CLSID* pClsid);

// An interface of the control in a host window; fails for other windows and
// for a host whose control could not be created.
HRESULT AfxQueryHostedControl(HWND hHost, REFIID riid, void** ppv);

template <typename T>
CComPtr<T> AfxGetHostedControl(HWND hHost)
{
    CComPtr<T> control;
    AfxQueryHostedControl(hHost, __uuidof(T), control.PutVoid());
    return control;
}

// Sets (or with null withdraws) the receiver of the browser events of the
// control in hHost. FALSE when hHost is no host or its control sends no such
// events. The receiver is borrowed: withdraw it before it goes away.
BOOL AfxSetBrowserEvents(HWND hHost, IBrowserEvents* pReceiver);

// For a message pump, before IsDialogMessage: offers a keystroke aimed at a
// window inside a host to that host's control. TRUE when the control used it,
// and then the message must not be dispatched.
BOOL AfxPreTranslateControlMessage(MSG* pMsg);
