#include "support/ThreadMessageSpy.h"

namespace testing_support {

namespace {

ThreadMessageSpy* g_pSpy = nullptr;

} // namespace

ThreadMessageSpy::ThreadMessageSpy()
{
    if (g_pSpy)
        return;
    g_pSpy = this;
    m_hSentHook = ::SetWindowsHookExW(WH_CALLWNDPROC, SentProc, nullptr, ::GetCurrentThreadId());
    m_hTakenHook = ::SetWindowsHookExW(WH_GETMESSAGE, TakenProc, nullptr, ::GetCurrentThreadId());
}

ThreadMessageSpy::~ThreadMessageSpy()
{
    if (m_hSentHook)
        ::UnhookWindowsHookEx(m_hSentHook);
    if (m_hTakenHook)
        ::UnhookWindowsHookEx(m_hTakenHook);
    if (g_pSpy == this)
        g_pSpy = nullptr;
}

LRESULT CALLBACK ThreadMessageSpy::SentProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HC_ACTION && g_pSpy && g_pSpy->onSent) {
        const auto* pSent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        g_pSpy->onSent(pSent->hwnd, pSent->message, pSent->wParam, pSent->lParam);
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

LRESULT CALLBACK ThreadMessageSpy::TakenProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    // Only messages that leave the queue: a peek that leaves them there would count twice.
    if (nCode == HC_ACTION && wParam == PM_REMOVE && g_pSpy && g_pSpy->onTaken)
        g_pSpy->onTaken(*reinterpret_cast<const MSG*>(lParam));
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

} // namespace testing_support
