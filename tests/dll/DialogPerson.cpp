#include "dll/DialogPerson.h"

#include "resources/resource.h"
#include "support/WindowDriver.h"

#include <atomic>
#include <thread>

using namespace testing_support;

namespace {

const std::wstring kChecking = L"正在检查是否更新, 请稍候...";

} // namespace

CheckOutcome RunCheckWithPerson(LoadedUpdateLibrary& lib, const std::wstring& url, DWORD processId, CheckRun run,
                                const std::function<void()>& beforeInstall)
{
    const std::wstring pid = std::to_wstring(processId);
    LPCWSTR argv[] = {L"update.exe", url.c_str(), L"/pid", pid.c_str(), L"/s"};
    std::atomic<bool> done{false};
    CheckOutcome outcome;
    std::thread person([&] {
        // The dialog counts as shown when it is in sight with its verdict:
        // a silent check's shows only until the check starts.
        HWND hDlg = nullptr;
        while (!hDlg && !done) {
            hDlg = WaitForWindow(L"#32770", [](HWND h) { return ::IsWindowVisible(h) != FALSE; }, 200);
            WaitUntil([&] {
                const std::wstring status = ItemText(hDlg, IDC_STATUS_TEXT);
                return !hDlg || !::IsWindow(hDlg) || (!status.empty() && status != kChecking) || done;
            });
            outcome.verdictText = ItemText(hDlg, IDC_STATUS_TEXT);
            if (hDlg && !::IsWindowVisible(hDlg))
                hDlg = nullptr;
        }
        if (!hDlg)
            return;
        outcome.bDialog = true;
        if (!::IsWindowEnabled(::GetDlgItem(hDlg, IDOK))) {
            PressButton(hDlg, IDCANCEL);
            return;
        }
        if (beforeInstall)
            beforeInstall();
        PressButton(hDlg, IDOK);
        // A box that the install shows is read and answered; any later one is
        // answered too, so that a box nobody expected fails the test instead of hanging it.
        HWND hAnswered = nullptr;
        while (!done) {
            const HWND hBox = WaitForWindow(
                L"#32770", [&](HWND h) { return h != hDlg && h != hAnswered && ::IsWindowVisible(h); }, 200);
            if (hBox) {
                hAnswered = hBox;
                const std::wstring text = MessageBoxText(hBox);
                outcome.installBox = outcome.installBox.empty() ? text : outcome.installBox + L" | " + text;
                PressButton(hBox, IDOK);
            }
        }
    });
    outcome.hr = run == CheckRun::HostCheck ? lib.IsAutoUpdate(argv, 4)
                                            : lib.UpdateMain(argv, run == CheckRun::ByHandSilent ? 5 : 4);
    done = true;
    person.join();
    return outcome;
}
