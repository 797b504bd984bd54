// Lines for a person: to the console as wide text, elsewhere (a pipe, a file) as UTF-8.
#pragma once

#include <string>

void PrintLine(const std::wstring& line);
void PrintErrorLine(const std::wstring& line);
