// Drives windows from outside, as a person would: find them, read them, press buttons.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Top-level windows of this process, visible or not.
std::vector<HWND> ProcessTopLevelWindows();

// Waits (polling, generous time-out) for a top-level window of this process
// whose class is className (null: any) and that matches; null after the time-out.
HWND WaitForWindow(LPCWSTR className, const std::function<bool(HWND)>& matches = {}, DWORD timeoutMs = 30000);

// Waits until the window is gone; false after the time-out.
bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs = 30000);

// Waits until pred() holds, polling; false after the time-out.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 30000);

std::wstring WindowText(HWND hWnd);
std::wstring ItemText(HWND hDialog, int id);

// The text of a message box (its static text control).
std::wstring MessageBoxText(HWND hBox);

// Runs `run` on this thread while `act` plays the person on another one, once
// a dialog of this process exists. A dialog still open after `act` is ended
// with WM_QUIT, which is then taken from the queue again, so that a failing
// test cannot hang.
void DriveDialog(const std::function<void()>& run, const std::function<void(HWND)>& act);

// Presses a dialog's button as a click would.
void PressButton(HWND hDialog, int id);

// Presses and releases a key on the window that has the keyboard focus in the
// dialog's thread (the dialog itself when none has).
void PressKey(HWND hDialog, UINT vk);

} // namespace testing_support
