#include "dll/LoadedUpdateLibrary.h"

#include <shlwapi.h>

#include <stdexcept>

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    return path;
}

LoadedUpdateLibrary::LoadedUpdateLibrary() : LoadedUpdateLibrary(TestProgramFolder() + L"\\update.dll") {}

LoadedUpdateLibrary::LoadedUpdateLibrary(const std::wstring& path) : m_hModule(::LoadLibraryW(path.c_str()))
{
    if (!m_hModule)
        throw std::runtime_error("update.dll did not load");
    UpdateMain = Entry<PFN_UpdateMain>("UpdateMain");
    GetUpdates = Entry<PFN_GetUpdates>("GetUpdates");
    NotifyEvent = Entry<PFN_NotifyEvent>("NotifyEvent");
    IsAutoUpdate = Entry<PFN_IsAutoUpdate>("IsAutoUpdate");
    SetUserProgramHWnd = Entry<PFN_SetUserProgramHWnd>("SetUserProgramHWnd");
}

LoadedUpdateLibrary::~LoadedUpdateLibrary()
{
    ::FreeLibrary(m_hModule);
}

FARPROC LoadedUpdateLibrary::ByOrdinal(WORD ordinal) const
{
    return ::GetProcAddress(m_hModule, MAKEINTRESOURCEA(ordinal));
}

FARPROC LoadedUpdateLibrary::ByName(const char* name) const
{
    return ::GetProcAddress(m_hModule, name);
}
