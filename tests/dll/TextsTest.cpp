// The texts a user sees from the library: the completion message, and the
// translation through a language library lying beside the library.
#include "dll/LoadedUpdateLibrary.h"
#include "dll/MessageBoxAnswer.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <filesystem>
#include <fstream>

namespace {

class CompletionMessage : public testing::Test {
protected:
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }

    static std::wstring LogPath() { return TestProgramFolder() + L"\\Update\\Update.log"; }
    static void Cleanup()
    {
        ::DeleteFileW(LogPath().c_str());
        ::RemoveDirectoryW((TestProgramFolder() + L"\\Update").c_str());
    }
};

TEST_F(CompletionMessage, TheRecordNamesTheTextAndTheCaption)
{
    const struct {
        const char* name;
        const char* record;  // null: none
        std::wstring text, caption;
    } cases[] = {
        {"no record", nullptr, L"安装完成", L"update"},
        {"a record without texts", "[Files]\r\nVersion=1.0\r\n", L"安装完成", L"update"},
        {"the record's title", "[Dialog]\r\nUpdateTitle=Acme Update\r\n", L"安装完成", L"Acme Update"},
        {"the record's title and text", "[Dialog]\r\nUpdateTitle=Acme Update\r\nUpgradeFinished=Acme is 1.1 now\r\n",
         L"Acme is 1.1 now", L"Acme Update"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cleanup();
        if (c.record) {
            ::CreateDirectoryW((TestProgramFolder() + L"\\Update").c_str(), nullptr);
            std::ofstream(std::filesystem::path(LogPath()), std::ios::binary) << c.record;
        }
        LoadedUpdateLibrary lib;
        HRESULT hr = E_FAIL;
        const AnsweredBox box = AnswerMessageBox([&] { hr = lib.NotifyEvent(0, 0, 0); });
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(c.text, box.text);
        EXPECT_EQ(c.caption, box.caption);
    }
}

// A private installation: update.dll with the given translator beside it.
class PrivateInstallation : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = TestProgramFolder() + L"\\translated";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((TestProgramFolder() + L"\\update.dll").c_str(), (m_folder + L"\\update.dll").c_str(), FALSE));
    }
    void TearDown() override
    {
        ::DeleteFileW((m_folder + L"\\update.dll").c_str());
        ::DeleteFileW((m_folder + L"\\vexmod.dll").c_str());
        ::RemoveDirectoryW(m_folder.c_str());
    }
    void InstallTranslator(LPCWSTR built)
    {
        const std::wstring from = TestProgramFolder() + L"\\..\\translators\\" + built;
        ASSERT_TRUE(::CopyFileW(from.c_str(), (m_folder + L"\\vexmod.dll").c_str(), FALSE));
    }
    std::wstring UsageText()
    {
        LoadedUpdateLibrary lib(m_folder + L"\\update.dll");
        LPCWSTR argv[] = {L"update.exe"};
        return AnswerMessageBox([&] { lib.UpdateMain(argv, 1); }).text;
    }

    std::wstring m_folder;
};

TEST_F(PrivateInstallation, BrokenTranslatorLeavesTheTableTexts)
{
    InstallTranslator(L"nofactory.dll");
    EXPECT_EQ(L"Usage: \nupdate.exe <url> [/pid pid] [/s]", UsageText());
}

TEST_F(PrivateInstallation, LoadsAndUnloadsAgain)
{
    InstallTranslator(L"vexmod.dll");
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(L"【Usage: \nupdate.exe <url> [/pid pid] [/s]】MiscStrings", UsageText()) << round;
    // Unloading the library lets the translator go as well.
    EXPECT_EQ(nullptr, ::GetModuleHandleW((m_folder + L"\\vexmod.dll").c_str()));
}

} // namespace
