#include "host/LocalText.h"
#include "host/ModuleInterface.h"
#include "host/UpdateApp.h"
#include "update.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

TEST(TranslateText, CutsLongTextsTo1023Characters)
{
    const CString exact(L'x', 1023);
    EXPECT_EQ(exact, TranslateText(exact, kMiscStrings));
    EXPECT_EQ(exact, TranslateText(CString(L'x', 1024), kMiscStrings));
    EXPECT_EQ(exact, TranslateText(CString(L'x', 5000), kMiscStrings));
    EXPECT_TRUE(TranslateText(nullptr, kMiscStrings).IsEmpty());
}

// The translators built beside the tests: "vexmod.dll" brackets every text,
// "nofactory.dll" lacks the ordinal-1 factory.
std::wstring TranslatorPath(LPCWSTR name)
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    ::PathAppendW(path, L"..\\translators");
    ::PathAppendW(path, name);
    wchar_t full[MAX_PATH] = {};
    ::PathCanonicalizeW(full, path);
    return full;
}

TEST(LanguageModule, LoadsTheFactoryAndTranslates)
{
    CModuleInterface<ILanguageTranslater> holder;
    ASSERT_EQ(S_OK, holder.Load(TranslatorPath(L"vexmod.dll").c_str()));
    ASSERT_NE(nullptr, holder.m_pInterface);
    EXPECT_EQ(0, ::lstrcmpiW(TranslatorPath(L"vexmod.dll").c_str(), holder.m_szPath));

    wchar_t buffer[1024] = L"安装完成";
    holder.m_pInterface->Translate(buffer, kMiscStrings);
    EXPECT_STREQ(L"【安装完成】MiscStrings", buffer);

    // A second load keeps the first library.
    const HMODULE first = holder.m_hModule.Get();
    EXPECT_EQ(E_ACCESSDENIED, holder.Load(TranslatorPath(L"nofactory.dll").c_str()));
    EXPECT_EQ(first, holder.m_hModule.Get());

    holder.Unload();
    EXPECT_EQ(nullptr, holder.m_pInterface);
    EXPECT_FALSE(holder.m_hModule);
    EXPECT_EQ(L'\0', holder.m_szPath[0]);
}

TEST(LanguageModule, LibraryWithoutFactoryStaysLoadedUntilUnload)
{
    CModuleInterface<ILanguageTranslater> holder;
    EXPECT_EQ(E_NOTIMPL, holder.Load(TranslatorPath(L"nofactory.dll").c_str()));
    EXPECT_TRUE(holder.m_hModule);
    EXPECT_EQ(nullptr, holder.m_pInterface);
    holder.Unload();
    EXPECT_FALSE(holder.m_hModule);
    holder.Unload();  // nothing loaded: nothing happens
}

TEST(LanguageModule, BadPathsAreRefused)
{
    CModuleInterface<ILanguageTranslater> holder;
    EXPECT_EQ(E_INVALIDARG, holder.Load(nullptr));
    EXPECT_EQ(E_HANDLE, holder.Load(TranslatorPath(L"missing.dll").c_str()));
    EXPECT_FALSE(holder.m_hModule);
}

TEST(LanguageModule, ReleasesTheInterfaceItHolds)
{
    const std::wstring path = TranslatorPath(L"vexmod.dll");
    HMODULE keep = ::LoadLibraryW(path.c_str());  // keeps the counter readable after Unload
    ASSERT_NE(nullptr, keep);
    using Count = LONG(WINAPI*)();
    auto references = reinterpret_cast<Count>(reinterpret_cast<void*>(::GetProcAddress(keep, "TranslaterReferences")));
    ASSERT_NE(nullptr, references);
    {
        CModuleInterface<ILanguageTranslater> holder;
        ASSERT_EQ(S_OK, holder.Load(path.c_str()));
        EXPECT_EQ(1, references());
    }
    EXPECT_EQ(0, references());
    ::FreeLibrary(keep);
}

TEST(ModuleState, ActivatesTheLibraryManifestForTheCall)
{
    HANDLE before = nullptr;
    ASSERT_TRUE(::GetCurrentActCtx(&before));
    {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        HANDLE inside = nullptr;
        ASSERT_TRUE(::GetCurrentActCtx(&inside));
        EXPECT_NE(nullptr, inside);
        EXPECT_NE(before, inside);
        ::ReleaseActCtx(inside);
    }
    HANDLE after = nullptr;
    ASSERT_TRUE(::GetCurrentActCtx(&after));
    EXPECT_EQ(before, after);
    ::ReleaseActCtx(before);
    ::ReleaseActCtx(after);
}

} // namespace
