// Start and end of the platform libraries the application object uses.
#pragma once

#include <windows.h>

// OLE on the calling thread; TRUE when it is usable.
BOOL AfxOleInit();

// Lets dialogs hold the web-browser control: registers its host window class
// (see AfxControlHost.h); TRUE when the class is there.
BOOL AfxEnableControlContainer();

// Loads the rich-edit 2.0 library; TRUE when it loaded.
BOOL AfxInitRichEdit2();

// Windows Sockets 1.1; TRUE when it started.
BOOL AfxSocketInit();

// Ends what the four above started; the base ExitInstance runs it.
void AfxTermLibraries();
