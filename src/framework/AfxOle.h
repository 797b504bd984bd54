// Start and end of the platform libraries the application object uses.
#pragma once

#include <windows.h>

// OLE on the calling thread; TRUE when it is usable.
BOOL AfxOleInit();

// Loads the rich-edit 2.0 library; TRUE when it loaded.
BOOL AfxInitRichEdit2();

// Windows Sockets 1.1; TRUE when it started.
BOOL AfxSocketInit();

// Ends what the three above started; the base ExitInstance runs it.
void AfxTermLibraries();
