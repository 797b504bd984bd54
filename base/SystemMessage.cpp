#include "base/SystemMessage.h"

#include "base/Handles.h"

std::wstring SystemMessageText(DWORD dwError, HMODULE hMessages)
{
    wchar_t* pText = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        (hMessages ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
    const DWORD n = ::FormatMessageW(flags, hMessages, dwError, 0, reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    const CLocalMemory<wchar_t> owned(pText);
    std::wstring text = n && pText ? std::wstring(pText, n) : std::wstring();
    while (!text.empty() && (text.back() == L' ' || (text.back() >= L'\t' && text.back() <= L'\r')))
        text.pop_back();
    if (text.empty())
        text = L"Error " + std::to_wstring(dwError);
    return text;
}
