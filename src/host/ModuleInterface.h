// A library loaded by path, and the interface its ordinal-1 factory hands out.
#pragma once

#include "framework/AfxHandle.h"
#include "base/LanguageTranslater.h"

class CModuleLoader {
public:
    CModuleLoader() = default;
    virtual ~CModuleLoader();
    CModuleLoader(const CModuleLoader&) = delete;
    CModuleLoader& operator=(const CModuleLoader&) = delete;

    // E_INVALIDARG for an unreadable path, E_ACCESSDENIED while a library is
    // loaded (it stays), E_HANDLE when the load fails, else S_OK.
    HRESULT Load(LPCWSTR pszPath);

    CLibrary m_hModule;
    wchar_t m_szPath[MAX_PATH] = {};

protected:
    void ReleaseModule();
};

template <typename TInterface>
class CModuleInterface : public CModuleLoader {
public:
    CModuleInterface() = default;
    ~CModuleInterface() override { CModuleInterface::Unload(); }

    virtual void Unload()
    {
        if (TInterface* pOld = m_pInterface) {
            m_pInterface = nullptr;
            pOld->Release();
        }
        ReleaseModule();
    }

    // The loader's result when it fails; E_NOTIMPL without an ordinal-1 export
    // (the library stays loaded); else the factory's own result.
    virtual HRESULT Load(LPCWSTR pszPath)
    {
        const HRESULT hr = CModuleLoader::Load(pszPath);
        if (FAILED(hr))
            return hr;
        m_pfnFactory = reinterpret_cast<PFN_LANGUAGE_FACTORY>(
            reinterpret_cast<void*>(::GetProcAddress(m_hModule.Get(), MAKEINTRESOURCEA(1))));
        if (!m_pfnFactory)
            return E_NOTIMPL;
        return m_pfnFactory(InterfaceId(), reinterpret_cast<void**>(&m_pInterface));
    }

    PFN_LANGUAGE_FACTORY m_pfnFactory = nullptr;
    TInterface* m_pInterface = nullptr;

private:
    static REFIID InterfaceId();
};

template <>
inline REFIID CModuleInterface<ILanguageTranslater>::InterfaceId()
{
    return IID_ILanguageTranslater;
}
