/* update.dll: brings a host application up to date from an update service.
 *
 * Typical use by a launcher started as "update.exe <url> [/pid pid] [/s]":
 *   UpdateMain(argv, argc)         check, show the news, download on Install
 *   GetUpdates(buffer, length)     the command that unpacks the package
 *   (run that command, restart the host)
 *   NotifyEvent(0, 0, 0)           in the restarted host: finish the update
 *
 * All functions use the standard Windows calling convention and are exported
 * by name and by ordinal (1 to 5, in the order below). Test results with
 * SUCCEEDED()/FAILED(). The same declarations serve 32-bit and 64-bit hosts;
 * each links the import library and loads the DLL of its own architecture.
 *
 * UpdateMain, IsAutoUpdate, GetUpdates and NotifyEvent run one at a time in a
 * process: while one of them runs on a thread, a call on another thread
 * returns HRESULT_FROM_WIN32(ERROR_BUSY) at once and does nothing. The thread
 * that runs one may call them again, from inside the dialog's message loop.
 */
#ifndef UPDATE_H
#define UPDATE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The registered window message (RegisterWindowMessageW) that an upgrade link
 * of the purchase page sends to the host's window, lParam the status dialog's
 * window. The host starts the installation by posting it back to that window. */
#define UPDATE_UPGRADE_MESSAGE L"Upgrade-{15D9F76E-2CB3-4fe5-A1AC-D81C1473E299}"

#ifdef UPDATE_BUILDING_LIBRARY
#define UPDATE_API HRESULT WINAPI
#else
#define UPDATE_API __declspec(dllimport) HRESULT WINAPI
#endif

/* Runs an interactive update in the status dialog. argv[0] is skipped.
 * S_OK after an update was prepared (or a silent check found nothing),
 * E_INVALIDARG without an address (the usage text is shown), E_ABORT when
 * the user cancelled, TRUST_E_SUBJECT_NOT_TRUSTED when the installed record
 * names a publisher key and the description is refused (the dialog says so),
 * or the failure of the update run. */
UPDATE_API UpdateMain(const LPCWSTR* argv, int argc);

/* Copies the extraction command into buffer, zero-terminated and zero-padded
 * to length characters, after writing the update's settings items.
 * DISP_E_BUFFERTOOSMALL (nothing done) unless length exceeds the command's
 * length; E_POINTER for a null buffer. */
UPDATE_API GetUpdates(LPWSTR buffer, int length);

/* Event 0: the restarted host reports that the package is in place; the
 * update is completed and the user told so. Other events do nothing.
 * S_OK, or HRESULT_FROM_WIN32(ERROR_BUSY) while another thread's call runs. */
UPDATE_API NotifyEvent(int event, int reserved1, int reserved2);

/* Checks silently; shows the status dialog only when an update is offered.
 * E_ABORT when nothing applies, E_FAIL when the service cannot be reached,
 * TRUST_E_SUBJECT_NOT_TRUSTED when the description is refused (see UpdateMain),
 * E_INVALIDARG without an address, E_NOTIMPL when the dialog was closed
 * without installing, else the result of the update run. */
UPDATE_API IsAutoUpdate(const LPCWSTR* argv, int argc);

/* Names the host's main window, which receives the upgrade message. Always S_OK. */
UPDATE_API SetUserProgramHWnd(HWND hWnd);

typedef HRESULT(WINAPI* PFN_UpdateMain)(const LPCWSTR* argv, int argc);
typedef HRESULT(WINAPI* PFN_GetUpdates)(LPWSTR buffer, int length);
typedef HRESULT(WINAPI* PFN_NotifyEvent)(int event, int reserved1, int reserved2);
typedef HRESULT(WINAPI* PFN_IsAutoUpdate)(const LPCWSTR* argv, int argc);
typedef HRESULT(WINAPI* PFN_SetUserProgramHWnd)(HWND hWnd);

#ifdef __cplusplus
}
#endif

#endif /* UPDATE_H */
