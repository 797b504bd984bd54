// update.dll loaded as a host loads it at run time, from a folder of the test's choice.
#pragma once

#include "update.h"

#include <windows.h>

#include <string>

class LoadedUpdateLibrary {
public:
    // Loads the update.dll that lies beside this test program.
    LoadedUpdateLibrary();
    explicit LoadedUpdateLibrary(const std::wstring& path);
    ~LoadedUpdateLibrary();
    LoadedUpdateLibrary(const LoadedUpdateLibrary&) = delete;
    LoadedUpdateLibrary& operator=(const LoadedUpdateLibrary&) = delete;

    HMODULE Module() const { return m_hModule; }
    FARPROC ByOrdinal(WORD ordinal) const;
    FARPROC ByName(const char* name) const;

    PFN_UpdateMain UpdateMain;
    PFN_GetUpdates GetUpdates;
    PFN_NotifyEvent NotifyEvent;
    PFN_IsAutoUpdate IsAutoUpdate;
    PFN_SetUserProgramHWnd SetUserProgramHWnd;

private:
    template <typename Fn>
    Fn Entry(const char* name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(ByName(name)));
    }

    HMODULE m_hModule;
};

// The folder of this test program, without a trailing backslash.
std::wstring TestProgramFolder();
