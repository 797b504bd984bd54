// Collects what this process writes with OutputDebugString, from every
// thread, while the spy lives: what a debugger would show. One spy at a time.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class DebugOutputSpy {
public:
    DebugOutputSpy();
    ~DebugOutputSpy();
    DebugOutputSpy(const DebugOutputSpy&) = delete;
    DebugOutputSpy& operator=(const DebugOutputSpy&) = delete;

    bool Installed() const { return m_hHandler != nullptr; }

    // The texts written since the spy began or was last cleared, in the ANSI code page.
    std::vector<std::string> Texts() const;
    void Clear();

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pInfo);

    PVOID m_hHandler = nullptr;
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
};

} // namespace testing_support
