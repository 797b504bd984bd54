// A language library for the tests: it puts every text between 【 and 】, and
// turns the section name into a suffix, so a test sees both arguments.
#include <windows.h>
#include <unknwn.h>

#include <cwchar>

namespace {

const IID kIID_ILanguageTranslater = {0x2FB6C7F2, 0x10E0, 0x4A59, {0x9E, 0x40, 0x4A, 0xEE, 0xDC, 0xD1, 0x48, 0x6E}};

struct Translater : public IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid != IID_IUnknown && riid != kIID_ILanguageTranslater) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&refs)); }
    virtual HRESULT STDMETHODCALLTYPE Reserved3() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Reserved4() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Reserved5() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Reserved6() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Reserved7() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Reserved8() { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE Translate(LPWSTR buffer, LPCWSTR section)
    {
        wchar_t out[1024] = {};
        _snwprintf(out, 1023, L"\u3010%ls\u3011%ls", buffer, section ? section : L"");
        std::wcsncpy(buffer, out, 1024);
        return S_OK;
    }
    LONG refs = 0;
};

Translater g_translater;

} // namespace

// Ordinal 1: the factory.
extern "C" HRESULT WINAPI CreateTranslater(REFIID riid, void** ppv)
{
    return g_translater.QueryInterface(riid, ppv);
}

// How many references the library still holds: the tests check the release.
extern "C" LONG WINAPI TranslaterReferences()
{
    return g_translater.refs;
}
