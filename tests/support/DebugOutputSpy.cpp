#include "support/DebugOutputSpy.h"

#include <atomic>

namespace testing_support {

namespace {

std::atomic<DebugOutputSpy*> g_pSpy{nullptr};

} // namespace

DebugOutputSpy::DebugOutputSpy()
{
    g_pSpy = this;
    m_hHandler = ::AddVectoredExceptionHandler(1, &DebugOutputSpy::Handler);
}

DebugOutputSpy::~DebugOutputSpy()
{
    if (m_hHandler)
        ::RemoveVectoredExceptionHandler(m_hHandler);
    g_pSpy = nullptr;
}

std::vector<std::string> DebugOutputSpy::Texts() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_texts;
}

void DebugOutputSpy::Clear()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_texts.clear();
}

// Every text reaches OutputDebugStringA (a wide one too), which raises it as
// this exception: length with its zero, then the text. A vectored handler sees
// it before the function's own handler drops it when no debugger listens.
LONG CALLBACK DebugOutputSpy::Handler(EXCEPTION_POINTERS* pInfo)
{
    const EXCEPTION_RECORD& record = *pInfo->ExceptionRecord;
    DebugOutputSpy* pSpy = g_pSpy;
    if (pSpy && record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        const char* pText = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        std::lock_guard<std::mutex> hold(pSpy->m_lock);
        pSpy->m_texts.emplace_back(pText, ::strnlen(pText, static_cast<size_t>(record.ExceptionInformation[0])));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace testing_support
