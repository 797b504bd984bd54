#include "host/ModuleInterface.h"

CModuleLoader::~CModuleLoader()
{
    ReleaseModule();
}

HRESULT CModuleLoader::Load(LPCWSTR pszPath)
{
    if (!pszPath || ::IsBadStringPtrW(pszPath, static_cast<UINT_PTR>(-1)))
        return E_INVALIDARG;
    if (m_hModule)
        return E_ACCESSDENIED;
    m_hModule.Reset(::LoadLibraryW(pszPath));
    if (!m_hModule)
        return E_HANDLE;
    ::GetModuleFileNameW(m_hModule.Get(), m_szPath, MAX_PATH);
    return S_OK;
}

void CModuleLoader::ReleaseModule()
{
    m_hModule.Reset();
    m_szPath[0] = L'\0';
}
