#include "Console.h"

#include "base/TextCodec.h"

#include <windows.h>

namespace {

void WriteLine(DWORD nStdHandle, const std::wstring& line)
{
    const HANDLE h = ::GetStdHandle(nStdHandle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = line + L"\r\n";
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(h, &mode)) {
        ::WriteConsoleW(h, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = Utf8Of(text);
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void PrintLine(const std::wstring& line)
{
    WriteLine(STD_OUTPUT_HANDLE, line);
}

void PrintErrorLine(const std::wstring& line)
{
    WriteLine(STD_ERROR_HANDLE, line);
}
