// Watches the messages of the windows of the thread that creates it: those
// sent to a window (before its procedure runs) and those taken from the queue
// (before they are dispatched). One spy at a time.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

class ThreadMessageSpy {
public:
    ThreadMessageSpy();
    ~ThreadMessageSpy();
    ThreadMessageSpy(const ThreadMessageSpy&) = delete;
    ThreadMessageSpy& operator=(const ThreadMessageSpy&) = delete;

    bool Installed() const { return m_hSentHook && m_hTakenHook; }

    std::function<void(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)> onSent;
    std::function<void(const MSG& msg)> onTaken;

private:
    static LRESULT CALLBACK SentProc(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TakenProc(int nCode, WPARAM wParam, LPARAM lParam);

    HHOOK m_hSentHook = nullptr;
    HHOOK m_hTakenHook = nullptr;
};

} // namespace testing_support
