#include "framework/AfxUserEffects.h"

#include <shellapi.h>

int CUserEffects::ShowMessage(HWND hOwner, LPCWSTR pszText, LPCWSTR pszCaption, UINT nType)
{
    return ::MessageBoxW(hOwner, pszText, pszCaption, nType);
}

BOOL CUserEffects::OpenDocument(LPCWSTR pszAddress)
{
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", pszAddress, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

namespace {
CUserEffects g_defaultEffects;
CUserEffects* g_pEffects = &g_defaultEffects;
// Read from any thread that is about to show something.
volatile LONG g_nErrorsSilenced = 0;
volatile LONG g_nSilentCheck = 1;
}

void AfxSilenceErrors(bool bSilent)
{
    ::InterlockedExchange(&g_nErrorsSilenced, bSilent ? 1 : 0);
}

void AfxSetSilentCheck(bool bSilent)
{
    ::InterlockedExchange(&g_nSilentCheck, bSilent ? 1 : 0);
}

bool AfxMayShowMessage(unsigned nKind)
{
    if ((nKind & kMessageError) && ::InterlockedExchangeAdd(&g_nErrorsSilenced, 0) != 0)
        return false;
    return !(nKind & kMessageInCheck) || ::InterlockedExchangeAdd(&g_nSilentCheck, 0) == 0;
}

CUserEffects& AfxGetUserEffects()
{
    return *g_pEffects;
}

CUserEffects* AfxSetUserEffects(CUserEffects* pEffects)
{
    CUserEffects* previous = g_pEffects;
    g_pEffects = pEffects ? pEffects : &g_defaultEffects;
    return previous;
}
