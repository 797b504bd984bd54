// The folder of this test program, which also holds the programs under test.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring TestFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L'\\'));
}
