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
