#include "description/LocalUpdateInfo.h"
#include "description/RemoteUpdateInfo.h"
#include "install/FileManager.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

using FileManagerCore = UpdateFilesTest;

TEST_F(FileManagerCore, UpdatePathMakesTheFolderAndLeavesAnExistingOne)
{
    wchar_t path[MAX_PATH];
    CFileManager::GetUpdatePath(path, L"update.ini");
    EXPECT_EQ(UpdateFile(L"update.ini"), std::wstring(path));
    ASSERT_TRUE(::GetFileAttributesW(UpdateFolder().c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    WriteBytes(UpdateFile(L"update.log"), "[Files]\r\n");
    CFileManager::GetUpdatePath(path, L"update.cab");
    EXPECT_EQ(UpdateFile(L"update.cab"), std::wstring(path));
    EXPECT_TRUE(PathExists(UpdateFile(L"update.log")));
}

TEST_F(FileManagerCore, EditionComesFromTheHostConfiguration)
{
    const struct {
        const char* contents;  // null: no "Ambrel.ini"
        BOOL professional;
    } cases[] = {
        {nullptr, 0},
        {"[Config]\r\nOther=1\r\n", 0},
        {"[Other]\r\nIsProUpdate=1\r\n", 0},
        {"[Config]\r\nIsProUpdate=0\r\n", 0},
        {"[Config]\r\nIsProUpdate=1\r\n", 1},
        {"[config]\r\nisproupdate=2\r\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contents ? c.contents : "no file");
        ::DeleteFileW(AmbrelIniPath().c_str());
        if (c.contents)
            WriteBytes(AmbrelIniPath(), c.contents);
        CFileManager manager;
        manager.m_bIsProUpdate = 7;
        manager.ReadEdition();
        EXPECT_EQ(c.professional, manager.m_bIsProUpdate);
    }
}

TEST(FileManagerSplit, DropsEmptyPieces)
{
    const struct {
        LPCWSTR text;
        LPCWSTR separator;
        std::vector<std::wstring> pieces;
    } cases[] = {
        {L"1..2", L".", {L"1", L"2"}},
        {L"", L".", {}},
        {L"abc", L".", {L"abc"}},
        {L".5.", L".", {L"5"}},
        {L"...", L".", {}},
        {L"a|b||c", L"|", {L"a", L"b", L"c"}},
        {L"key<>value<>", L"<>", {L"key", L"value"}},
        {L"a<b>c", L"<>", {L"a<b>c"}},
        {L"abc", L"", {L"abc"}},  // no separator: the whole text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.text << "' at '" << c.separator << "'");
        std::vector<std::wstring> pieces;
        for (const CString& piece : AfxSplitString(c.text, c.separator))
            pieces.push_back(piece.Str());
        EXPECT_EQ(c.pieces, pieces);
    }
}

TEST_F(FileManagerCore, LoadLocalInfoReplacesTheRecord)
{
    CFileManager manager;
    WriteBytes(UpdateFile(L"update.log"), "[Files]\r\nVersion=1.5\r\nOEMClientName=Acme\r\n");
    CLocalUpdateInfo* record = manager.LoadLocalInfo();
    ASSERT_EQ(manager.m_pLocalInfo.get(), record);
    EXPECT_STREQ(UpdateFile(L"update.log").c_str(), record->m_strFile);
    EXPECT_STREQ(L"1.5", record->m_strVersion);
    EXPECT_STREQ(L"Acme", record->m_strOEMClientName);
}

} // namespace
