// The values the tool writes into a description, checked so that the library
// reads back exactly what the publisher meant.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The "UpdateInfo" value of a UTF-8 news text: each line break ("\r\n", "\n"
// or "\r") becomes "+", blanks and breaks at both ends go. False with a reason
// for text that is not UTF-8, holds a "+" (the library turns every "+" into a
// line break), a control character, or more than the reader takes.
bool NewsValueOf(std::string_view utf8, std::string& value, std::wstring& problem);

// True when the profile reader gives back value as it stands: at most 4,095
// characters, no control character, no blank at either end (the reader trims
// them) and not wholly in quotes (the reader drops them).
bool IsProfileValue(std::wstring_view value, std::wstring& problem);

// What a package built from two releases asks of the installed copy: the
// version it applies to and what to delete after unpacking.
struct DeletionLists {
    std::wstring validVersion;
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
};

// The changes file that "diff" writes and "describe" reads (UTF-8).
std::string FormatChangesFile(const DeletionLists& lists);
bool ParseChangesFile(std::string_view bytes, DeletionLists& lists, std::wstring& problem);
