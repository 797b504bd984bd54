// What stops a verb: a message that names the file and what is wrong with it.
#pragma once

#include <windows.h>

#include <string>

struct CPublishError {
    std::wstring message;
};

// Throws "subject: what".
[[noreturn]] void Fail(const std::wstring& subject, const std::wstring& what);

// Throws "subject: " and the platform's text for the error code.
[[noreturn]] void FailWithError(const std::wstring& subject, DWORD dwError);

// The platform's text for an error code, to follow a colon: without its final full stop.
std::wstring ErrorText(DWORD dwError);
