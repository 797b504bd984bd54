#include "host/LocalText.h"

#include "framework/AfxWin.h"
#include "host/UpdateApp.h"

CString TranslateText(LPCWSTR pszText, LPCWSTR pszSection)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    wchar_t buffer[1024] = {};
    ::lstrcpynW(buffer, pszText ? pszText : L"", ARRAYSIZE(buffer));
    if (ILanguageTranslater* pTranslater = theApp.GetTranslater()) {
        pTranslater->Translate(buffer, pszSection);
        buffer[ARRAYSIZE(buffer) - 1] = L'\0';  // a translator that fills the buffer stays bounded
    }
    return CString(buffer);
}

CString LoadLocalString(UINT nID, LPCWSTR pszSection)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    HINSTANCE hModule = AfxFindStringResourceHandle(nID);
    CString text;
    if (!hModule || !text.LoadString(hModule, nID))
        return CString();
    return TranslateText(text, pszSection);
}
