// The parsed command line "update.exe <url> [/pid pid] [/s]".
#pragma once

#include "framework/AfxString.h"

class CCommandLineUpdate {
public:
    CCommandLineUpdate() = default;
    virtual ~CCommandLineUpdate() = default;

    void ParseParam(LPCWSTR pszParam, BOOL bFlag, BOOL bLast);

    // Valid once it has an address.
    bool IsValid() const { return !m_strUrl.IsEmpty(); }

    BOOL m_bSilent = 0;
    DWORD m_dwProcessId = 0;
    CString m_strUrl;
    BOOL m_bPidSwitch = 0;

protected:
    virtual void ParseParamNotFlag(LPCWSTR pszParam);
    virtual void ParseParamFlag(LPCWSTR pszParam);
};

// Feeds argv[1..argc-1] to the record. A null vector reads as no arguments and a
// null element as an empty one, so a careless host cannot crash the library.
void ParseCommandLine(CCommandLineUpdate& cmd, LPCWSTR* argv, int argc);
