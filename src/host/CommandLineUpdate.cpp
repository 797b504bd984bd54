#include "host/CommandLineUpdate.h"

#include <climits>
#include <cwctype>

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
        m_dwProcessId = static_cast<DWORD>(ParseDecimalInt32(pszParam));
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

int ParseDecimalInt32(LPCWSTR pszText)
{
    if (!pszText)
        return 0;
    const wchar_t* p = pszText;
    while (std::iswspace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + (*p - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;  // already beyond either bound
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
