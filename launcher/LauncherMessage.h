// The launcher's own message to the person: its text from the launcher's string
// table, translated by the language library beside it as the library's texts
// are, with the title the installation's record gives the update's boxes.
#pragma once

#include <string>

// Why the launcher left the program as it was.
enum class LauncherNotice {
    FileHeld,      // another program holds a file of the program (the argument, relative to the folder)
    NotPermitted,  // the person did not allow the program to be changed
};

// Tells the person the notice, its "%s" filled with argument.
void ShowLauncherMessage(const std::wstring& programFolder, LauncherNotice notice, const std::wstring& argument);
