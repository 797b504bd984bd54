#include "base/CommandLine.h"

#include "base/Handles.h"

#include <shellapi.h>

namespace {

bool NeedsQuotes(const std::wstring& argument)
{
    return argument.empty() || argument.find_first_of(L" \t\n\v\"") != std::wstring::npos;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine)
{
    std::vector<std::wstring> arguments;
    if (commandLine.empty())
        return arguments;
    int count = 0;
    CLocalMemory<LPWSTR> argv(::CommandLineToArgvW(commandLine.c_str(), &count));
    if (!argv)
        return arguments;
    arguments.assign(argv.Get(), argv.Get() + count);
    return arguments;
}

std::wstring QuoteArgument(const std::wstring& argument, bool bAlways)
{
    if (!bAlways && !NeedsQuotes(argument))
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled, and the
        // quote itself is escaped.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    // The closing quote follows: double the trailing backslashes.
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments)
{
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments)
        line += L" " + QuoteArgument(argument);
    return line;
}
