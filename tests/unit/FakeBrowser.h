// A stand-in for the system's web-browser control, registered in its place for
// this process while a FakeBrowserClass lives: the control host then makes it
// in every window of the browser's class. It records where it is sent, answers
// Document with the test's page, and fires NewWindow2 when its window receives
// kFakeBrowserClick, posted as a click on a link would come.
#pragma once

#include "unit/FakeHtml.h"

#include <ocidl.h>

#include <string>
#include <vector>

extern const UINT kFakeBrowserClick;

class FakeBrowserClass final : public IClassFactory {
public:
    FakeBrowserClass();
    ~FakeBrowserClass();
    FakeBrowserClass(const FakeBrowserClass&) = delete;
    FakeBrowserClass& operator=(const FakeBrowserClass&) = delete;

    bool Registered() const { return m_dwCookie != 0; }

    // Touched on the thread that holds the control: set before, read after.
    CComPtr<FakeNode> m_document;
    std::vector<std::wstring> m_navigated;
    std::vector<VARIANT_BOOL> m_newWindowCancels;  // the flag as each NewWindow2 left it
    int m_nLive = 0;         // browsers not yet released
    int m_nConnections = 0;  // event receivers advised and not withdrawn

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    DWORD m_dwCookie = 0;
};
