#include "LauncherMessage.h"

#include "resource.h"

#include "base/Handles.h"
#include "base/LanguageTranslater.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"

#include <windows.h>

namespace {

std::wstring LoadText(UINT id)
{
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// The language library's translation of each text, as the library asks it
// (section "MiscStrings"); the texts as they are without one.
class CTranslation {
public:
    explicit CTranslation(const std::wstring& programFolder)
        : m_module(::LoadLibraryExW(JoinPath(programFolder, L"vexmod.dll").c_str(), nullptr,
                                    LOAD_WITH_ALTERED_SEARCH_PATH))
    {
        const auto factory = m_module ? reinterpret_cast<PFN_LANGUAGE_FACTORY>(reinterpret_cast<void*>(
                                            ::GetProcAddress(m_module.Get(), MAKEINTRESOURCEA(1))))
                                      : nullptr;
        if (factory && FAILED(factory(IID_ILanguageTranslater, reinterpret_cast<void**>(&m_translater))))
            m_translater = nullptr;
    }
    ~CTranslation()
    {
        if (m_translater)
            m_translater->Release();
    }
    CTranslation(const CTranslation&) = delete;
    CTranslation& operator=(const CTranslation&) = delete;

    std::wstring operator()(const std::wstring& text) const
    {
        wchar_t buffer[1024] = {};
        ::lstrcpynW(buffer, text.c_str(), ARRAYSIZE(buffer));
        if (m_translater) {
            m_translater->Translate(buffer, L"MiscStrings");
            buffer[ARRAYSIZE(buffer) - 1] = L'\0';  // a translator that fills the buffer stays bounded
        }
        return buffer;
    }

private:
    CLibrary m_module;
    ILanguageTranslater* m_translater = nullptr;
};

// The first "%s" of the translated text.
std::wstring FillPlaceholder(const std::wstring& text, const std::wstring& argument)
{
    const size_t at = text.find(L"%s");
    return at == std::wstring::npos ? text : text.substr(0, at) + argument + text.substr(at + 2);
}

} // namespace

void ShowLauncherMessage(const std::wstring& programFolder, LauncherNotice notice, const std::wstring& argument)
{
    const UINT id = notice == LauncherNotice::FileHeld ? IDS_FILE_HELD : IDS_NOT_PERMITTED;
    const CTranslation translated(programFolder);
    wchar_t title[256] = {};
    ::GetPrivateProfileStringW(L"Dialog", L"UpdateTitle", L"", title, ARRAYSIZE(title),
                               UpdateFileIn(programFolder, kRecordFileName).c_str());
    const std::wstring caption = title[0] ? std::wstring(title) : translated(LoadText(IDS_LAUNCHER_TITLE));
    const std::wstring text = FillPlaceholder(translated(LoadText(id)), argument);
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}
