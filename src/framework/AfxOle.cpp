// Winsock 2 must come before the platform's main header.
#include <winsock2.h>

#include "framework/AfxOle.h"

#include "framework/AfxControlHost.h"

#include <exdisp.h>
#include <ole2.h>

namespace {
BOOL g_bOleInitialized = FALSE;
BOOL g_bSocketsStarted = FALSE;
HMODULE g_hRichEdit = nullptr;
}

BOOL AfxOleInit()
{
    if (!g_bOleInitialized)
        g_bOleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    return g_bOleInitialized;
}

BOOL AfxEnableControlContainer()
{
    return AfxRegisterControlHostClass(CLSID_WebBrowser);
}

BOOL AfxInitRichEdit2()
{
    if (!g_hRichEdit)
        g_hRichEdit = ::LoadLibraryW(L"riched20.dll");
    return g_hRichEdit != nullptr;
}

BOOL AfxSocketInit()
{
    if (!g_bSocketsStarted) {
        WSADATA data = {};
        g_bSocketsStarted = ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    return g_bSocketsStarted;
}

void AfxTermLibraries()
{
    AfxUnregisterControlHostClasses();
    if (g_bSocketsStarted)
        ::WSACleanup();
    g_bSocketsStarted = FALSE;
    if (g_hRichEdit)
        ::FreeLibrary(g_hRichEdit);
    g_hRichEdit = nullptr;
    if (g_bOleInitialized)
        ::OleUninitialize();
    g_bOleInitialized = FALSE;
}
