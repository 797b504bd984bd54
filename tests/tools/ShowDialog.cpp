// Holds the status dialog's template on screen for a screenshot:
//   show_dialog.exe READY DONE
// Once the dialog is on screen it writes its window rectangle ("x y width
// height") into the file READY; it closes when the file DONE appears, or after
// a minute.
#include "framework/AfxDialog.h"
#include "framework/AfxHandle.h"
#include "resources/resource.h"
#include "support/PlaceholderWindowClass.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>

namespace {

class CTemplateDialog : public CDialog {
public:
    CTemplateDialog(LPCWSTR pszReady, LPCWSTR pszDone)
        : CDialog(IDD_UPDATE_STATUS), m_strReady(pszReady), m_strDone(pszDone) {}

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetTimer(1, 200);
        return TRUE;
    }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (message == WM_TIMER && wParam == 1) {
            OnTick();
            return TRUE;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, pResult);
    }

private:
    void OnTick()
    {
        if (!IsWindowVisible())
            return;
        if (m_nTicks++ == 0)
            WriteReady();
        if (::PathFileExistsW(m_strDone) || m_nTicks > 300)
            EndDialog(IDOK);
    }

    void WriteReady()
    {
        RECT rc;
        GetWindowRect(&rc);
        char text[64];
        const int n = std::snprintf(text, sizeof(text), "%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left,
                                    rc.bottom - rc.top);
        CHandle file(::CreateFileW(m_strReady, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ::WriteFile(file.Get(), text, static_cast<DWORD>(n), &written, nullptr);
    }

    CString m_strReady;
    CString m_strDone;
    int m_nTicks = 0;
};

} // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc != 3)
        return 2;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    if (!EnsurePlaceholderWindowClass(L"{8856F961-340A-11D0-A96B-00C04FD705A2}"))
        return 3;
    CTemplateDialog dlg(argv[1], argv[2]);
    const INT_PTR result = dlg.DoModal();
    ::LocalFree(argv);
    return result == IDOK ? 0 : 1;
}
