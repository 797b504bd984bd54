// Upgrade links: links on the purchase page that ask for the professional
// edition instead of opening a window. A page writes them as
// href="http://buypro/..." with target="_blank" (README, "Purchase pages").
#pragma once

#include "framework/AfxString.h"

#include <oaidl.h>

// "http://buypro/": the 14 characters an upgrade link begins with.
extern const wchar_t kUpgradeLinkPrefix[];
const int kUpgradeLinkPrefixLength = 14;

// True when the address begins with the prefix exactly, letter case included.
bool IsUpgradeLink(const CString& address);

// The address of the link the user clicked in the document, also when the
// click was inside an iframe of it; empty when the document, the clicked
// element or its address cannot be had, or the element is no link.
CString ClickedLinkAddress(IDispatch* pDocument);

// The browser in the dialog hDialog asks for a new window for the click in
// pDocument. TRUE, the window must not open, for an upgrade link: then, while
// the standard edition is installed, the host window hears nUpgradeMessage
// with the dialog's handle. FALSE for anything else.
BOOL OnPurchasePageNewWindow(IDispatch* pDocument, HWND hDialog, HWND hHostWnd, UINT nUpgradeMessage);
