// Command lines as CreateProcessW takes them and CommandLineToArgvW splits them.
#pragma once

#include <string>
#include <vector>

// Splits a command line as a program's argv would see it. An empty line has no
// arguments (CommandLineToArgvW would answer with this program's own path).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// One argument, quoted and escaped so that CommandLineToArgvW gives it back
// unchanged. Only blanks, tabs and quotes need quoting (bAlways quotes it
// anyway): CreateProcessW starts no shell, so '&', '%' and '^' are ordinary
// characters.
std::wstring QuoteArgument(const std::wstring& argument, bool bAlways = false);

// The command line that starts program with the given arguments. The program
// path is always quoted and never escaped: the first argument is taken up to the
// next quote, and a file name cannot hold a quote.
std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);
