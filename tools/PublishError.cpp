#include "PublishError.h"

#include "base/SystemMessage.h"

void Fail(const std::wstring& subject, const std::wstring& what)
{
    throw CPublishError{subject + L": " + what};
}

void FailWithError(const std::wstring& subject, DWORD dwError)
{
    Fail(subject, ErrorText(dwError));
}

std::wstring ErrorText(DWORD dwError)
{
    std::wstring text = SystemMessageText(dwError);
    while (!text.empty() && text.back() == L'.')
        text.pop_back();
    return text;
}
