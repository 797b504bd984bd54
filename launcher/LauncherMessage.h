// The launcher's own message to the person: its text from the launcher's string
// table, translated by the language library beside it as the library's texts
// are, with the title the installation's record gives the update's boxes.
#pragma once

#include <string>

// Tells that the update was not installed because another program holds
// heldFile (relative to programFolder), and that the program is as it was.
void ShowFileHeldMessage(const std::wstring& programFolder, const std::wstring& heldFile);
