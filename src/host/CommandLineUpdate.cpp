#include "host/CommandLineUpdate.h"

void CCommandLineUpdate::ParseParam(LPCWSTR pszParam, BOOL bFlag, BOOL /*bLast*/)
{
    if (bFlag)
        ParseParamFlag(pszParam);
    else
        ParseParamNotFlag(pszParam);
}

void CCommandLineUpdate::ParseParamFlag(LPCWSTR pszParam)
{
    if (::lstrcmpiW(pszParam, L"pid") == 0)
        m_bPidSwitch = 1;
    else if (::lstrcmpiW(pszParam, L"s") == 0)
        m_bSilent = 1;
}

void CCommandLineUpdate::ParseParamNotFlag(LPCWSTR pszParam)
{
    // The address test comes first: the first plain argument is always the address.
    if (m_strUrl.IsEmpty())
        m_strUrl = pszParam;
    else if (m_bPidSwitch && m_dwProcessId == 0)
        m_dwProcessId = static_cast<DWORD>(AfxParseInt32(pszParam ? pszParam : L""));
}

void ParseCommandLine(CCommandLineUpdate& cmd, LPCWSTR* argv, int argc)
{
    if (!argv)
        return;
    for (int i = 1; i < argc; ++i) {
        LPCWSTR p = argv[i] ? argv[i] : L"";
        BOOL bFlag = FALSE;
        if (*p == L'-' || *p == L'/') {
            bFlag = TRUE;
            ++p;
        }
        cmd.ParseParam(p, bFlag, i + 1 == argc);
    }
}
