// The library's five exports. Each runs inside a guard that turns anything
// unexpected into a failure code: nothing escapes into the host.
#include "update.h"

#include "base/ExtractionCommand.h"
#include "base/UpdateConfirmation.h"
#include "base/UpdateLayout.h"

#include "framework/AfxException.h"
#include "framework/AfxTrace.h"
#include "framework/AfxWin.h"
#include "host/CommandLineUpdate.h"
#include "host/LocalText.h"
#include "host/MessageCaption.h"
#include "host/UpdateApp.h"
#include "manager/UpdateManager.h"
#include "resources/resource.h"
#include "ui/DlgUpdateStatus.h"

#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>

namespace {

template <typename Body>
HRESULT GuardExport(Body body) noexcept
{
    try {
        return body();
    } catch (CException* e) {
        e->Delete();
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

const HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);

// Held while an export that runs the dialog or the check, or that acts on the
// update folder, runs: they share the manager and the folder's files.
std::recursive_mutex g_exportRunning;

// Runs the body unless such an export is running on another thread. A wait
// could last as long as a dialog stays open, so the second call is refused at
// once; the running thread itself may call again from inside its modal loop.
template <typename Body>
HRESULT SerialisedExport(Body body) noexcept
{
    return GuardExport([&] {
        std::unique_lock<std::recursive_mutex> running(g_exportRunning, std::try_to_lock);
        return running.owns_lock() ? body() : kBusy;
    });
}

CUpdateManager* Manager()
{
    return theApp.m_pUpdateManager;
}

HRESULT RunStatusDialog(CCommandLineUpdate* pCmd, BOOL bAutoMode, INT_PTR* pnEndCode)
{
    CDlgUpdateStatus dlg(Manager(), g_nUpgradeMessage);
    dlg.m_pCmdLine = pCmd;
    if (bAutoMode)
        dlg.SetAutoMode(TRUE);
    *pnEndCode = dlg.DoModal();
    AfxTrace(L"CDlgUpdateStatus::DoModal()");
    return dlg.m_hrResult;
}

} // namespace

extern "C" HRESULT WINAPI UpdateMain(const LPCWSTR* argv, int argc)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return SerialisedExport([&] {
        CCommandLineUpdate cmd;
        ParseCommandLine(cmd, const_cast<LPCWSTR*>(argv), argc);
        if (!cmd.IsValid()) {
            AfxMessageBox(LoadLocalString(IDS_USAGE), MB_OK);
            return E_INVALIDARG;
        }
        INT_PTR endCode = 0;
        return RunStatusDialog(&cmd, FALSE, &endCode);
    });
}

extern "C" HRESULT WINAPI IsAutoUpdate(const LPCWSTR* argv, int argc)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return SerialisedExport([&] {
        auto cmd = std::make_unique<CCommandLineUpdate>();
        ParseCommandLine(*cmd, const_cast<LPCWSTR*>(argv), argc);
        if (!cmd->IsValid())
            return E_INVALIDARG;
        AfxSilenceErrors(true);
        cmd->m_bSilent = 1;
        CUpdateManager* pManager = Manager();
        if (!pManager)
            return E_FAIL;
        const HRESULT hrCheck = pManager->CheckUpdate(cmd.get());
        if (FAILED(hrCheck))
            return hrCheck;
        INT_PTR endCode = 0;
        const HRESULT hrDialog = RunStatusDialog(cmd.get(), TRUE, &endCode);
        return endCode == IDOK ? hrDialog : E_NOTIMPL;
    });
}

extern "C" HRESULT WINAPI GetUpdates(LPWSTR buffer, int length)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return SerialisedExport([&] {
        CUpdateManager* pManager = Manager();
        if (!pManager)
            return E_FAIL;
        if (!buffer)
            return E_POINTER;
        const CString command(BuildExtractionCommand(kExtractorName, pManager->m_extraction.folder,
                                                     pManager->m_extraction.package));
        // Room for the terminating zero is required: a host must never get an
        // unterminated command.
        if (length <= command.GetLength())
            return DISP_E_BUFFERTOOSMALL;
        pManager->ApplyIniItems();
        const size_t count = static_cast<size_t>(command.GetLength());
        std::copy_n(command.GetString(), count, buffer);
        std::fill(buffer + count, buffer + length, L'\0');
        return S_OK;
    });
}

extern "C" HRESULT WINAPI NotifyEvent(int event, int /*reserved1*/, int /*reserved2*/)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    const HRESULT hr = SerialisedExport([&] {
        if (event != 0)
            return S_OK;
        if (CUpdateManager* pManager = Manager())
            pManager->CompleteUpdate();
        // Before the message: the new release has proven that it runs, however
        // long the person takes to read it.
        SignalReleaseConfirmed(AfxGetModuleFolder(AfxGetInstanceHandle()).Str());
        wchar_t text[1024] = {};
        ::GetPrivateProfileStringW(L"Dialog", L"UpgradeFinished", L"", text, ARRAYSIZE(text), InstalledRecordPath());
        const CString message = text[0] ? CString(text) : LoadLocalString(IDS_INSTALL_COMPLETE);
        AfxMessageBox(message, MB_OK);
        return S_OK;
    });
    // The host goes on whatever the completion met; only a refused call is told.
    return hr == kBusy ? kBusy : S_OK;
}

extern "C" HRESULT WINAPI SetUserProgramHWnd(HWND hWnd)
{
    if (CUpdateManager* pManager = Manager())
        pManager->m_hUserProgramWnd = hWnd;
    return S_OK;
}
