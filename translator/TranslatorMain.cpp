// vexmod.dll, the library's language library: its ordinal-1 factory hands out
// a translator whose table comes from the UTF-8 files beside it (TableFiles.h).
#include "TableFiles.h"
#include "base/LanguageTranslater.h"

#include <windows.h>

#include <cwchar>

namespace {

HMODULE g_hModule = nullptr;

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(g_hModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// Read at the first factory call, never in the loader lock of the attach;
// unchanged from then on, so every thread may look up at once.
const TextTable& Table()
{
    static const TextTable table = LoadTableBeside(ModuleFolder());
    return table;
}

// One object for the module's life: the references only count.
class CTableTranslater : public ILanguageTranslater {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_ILanguageTranslater) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<ILanguageTranslater*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_nRefs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&m_nRefs)); }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }

    // The section is not read: a text means the same wherever it is shown.
    HRESULT STDMETHODCALLTYPE Translate(LPWSTR pszBuffer, LPCWSTR /*pszSection*/) override
    {
        if (!pszBuffer)
            return E_POINTER;
        const TextTable& table = Table();
        const auto found = table.find(std::wstring(pszBuffer, ::wcsnlen(pszBuffer, kMaxTableText)));
        if (found == table.end())
            return S_FALSE;
        // The parser holds every translation to what the buffer takes.
        std::wmemcpy(pszBuffer, found->second.c_str(), found->second.size() + 1);
        return S_OK;
    }

private:
    LONG m_nRefs = 0;
};

CTableTranslater g_translater;

} // namespace

// Ordinal 1: the factory.
extern "C" HRESULT WINAPI CreateTranslater(REFIID riid, void** ppv)
{
    Table();
    return g_translater.QueryInterface(riid, ppv);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID /*pvReserved*/)
{
    // Nothing is read or loaded here: the tables wait for the factory.
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}
