// The parsed command line "update.exe <url> [/pid pid] [/s]": the floor's
// grammar (base/UpdateRequest.h), held in the library's own types.
#pragma once

#include "framework/AfxString.h"

class CCommandLineUpdate {
public:
    // Valid once it has an address.
    bool IsValid() const { return !m_strUrl.IsEmpty(); }

    BOOL m_bSilent = 0;
    // The caller is the launcher, which applies a delta package (UpdateRequest.h).
    bool m_bAppliesDeltas = false;
    // The full package, installed as soon as it is offered: the person pressed Install already.
    bool m_bFullPackage = false;
    DWORD m_dwProcessId = 0;
    CString m_strUrl;
};

// Reads argv[1..argc-1] into the record. A null vector reads as no arguments and a
// null element as an empty one, so a careless host cannot crash the library.
void ParseCommandLine(CCommandLineUpdate& cmd, LPCWSTR* argv, int argc);
