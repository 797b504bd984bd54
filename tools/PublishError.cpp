#include "PublishError.h"

void Fail(const std::wstring& subject, const std::wstring& what)
{
    throw CPublishError{subject + L": " + what};
}

void FailWithError(const std::wstring& subject, DWORD dwError)
{
    Fail(subject, SystemMessage(dwError));
}

std::wstring SystemMessage(DWORD dwError)
{
    LPWSTR pText = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, dwError, 0, reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    std::wstring text = n && pText ? std::wstring(pText, n) : std::wstring();
    ::LocalFree(pText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        text = L"error " + std::to_wstring(dwError);
    return text;
}
