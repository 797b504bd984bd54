// The library's entry point: starts and ends the application object.
#include "framework/AfxWin.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(hInstance);
        return AfxWinAttach(hInstance);
    case DLL_PROCESS_DETACH:
        // At process exit the other threads are gone and the system reclaims
        // everything; tearing down COM and sockets then could only hang.
        if (!pvReserved)
            AfxWinDetach();
        return TRUE;
    default:
        return TRUE;
    }
}
