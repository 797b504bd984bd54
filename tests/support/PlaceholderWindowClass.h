// Stands in for a window class that a test program does not register itself.
#pragma once

#include <windows.h>

// Makes sure a window class of this name exists for the program's module: a
// class registered already (by the code under test, say) is left as it is,
// otherwise a plain one that draws nothing is registered. False on failure.
bool EnsurePlaceholderWindowClass(LPCWSTR className);
