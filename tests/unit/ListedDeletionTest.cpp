#include "install/ListedDeletion.h"
#include "support/FileLinks.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::MakeSymbolicLink;
using testing_support::RemoveTreeWithLinks;

// A host folder whose library lies in its subfolder "lib" (the update folder
// is lib\update), with links to a folder beside it.
class ListedDeletion : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RemoveTreeWithLinks(Root()));
        for (LPCWSTR name : {L"host\\plain.txt", L"host\\readonly.txt", L"host\\tree\\a.txt", L"host\\tree\\sub\\b.txt",
                             L"host\\tree\\rosub\\c.txt", L"host\\lib\\other.txt", L"host\\lib\\update\\update.log",
                             L"outside\\dir-target\\keep.txt", L"outside\\file-target.txt",
                             L"outside\\inner-target\\keep.txt", L"outside\\inner-file.txt"})
            WriteBytes(At(name), "x");
        for (LPCWSTR name : {L"host\\readonly.txt", L"host\\tree\\a.txt", L"host\\tree\\rosub"})
            ::SetFileAttributesW(At(name).c_str(), FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(MakeSymbolicLink(At(L"host\\dirlink"), At(L"outside\\dir-target"), true));
        ASSERT_TRUE(MakeSymbolicLink(At(L"host\\filelink"), At(L"outside\\file-target.txt"), false));
        ASSERT_TRUE(MakeSymbolicLink(At(L"host\\tree\\innerlink"), At(L"outside\\inner-target"), true));
        ASSERT_TRUE(MakeSymbolicLink(At(L"host\\tree\\innerfilelink"), At(L"outside\\inner-file.txt"), false));
    }
    void TearDown() override { EXPECT_TRUE(RemoveTreeWithLinks(Root())); }

    static std::wstring Root() { return ProgramFolder() + L"\\listed-deletion"; }
    static std::wstring At(const std::wstring& name) { return Root() + L"\\" + name; }
};

TEST_F(ListedDeletion, ReachesNeitherThroughLinksNorTheUpdateFolder)
{
    const struct {
        LPCWSTR entry;
        EListedKind kind;
        LPCWSTR gone;  // below the test's folder; null: nothing to check
        LPCWSTR kept;
    } cases[] = {
        {L"plain.txt", EListedKind::File, L"host\\plain.txt", nullptr},
        {L"readonly.txt", EListedKind::File, L"host\\readonly.txt", nullptr},
        // A folder goes with what it holds, read-only or not, but its links
        // are never followed.
        {L"tree", EListedKind::Folder, L"host\\tree\\a.txt", L"outside\\inner-target\\keep.txt"},
        {L"tree\\", EListedKind::Folder, L"host\\tree\\rosub", L"outside\\inner-file.txt"},
        // A listed link goes as a link, if at all; a path through one is refused.
        {L"dirlink", EListedKind::Folder, nullptr, L"outside\\dir-target\\keep.txt"},
        {L"DIRLINK\\keep.txt", EListedKind::File, nullptr, L"outside\\dir-target\\keep.txt"},
        {L"dirlink\\", EListedKind::Folder, nullptr, L"outside\\dir-target\\keep.txt"},
        {L"filelink", EListedKind::File, nullptr, L"outside\\file-target.txt"},
        {L"filelink", EListedKind::Folder, nullptr, L"outside\\file-target.txt"},
        // The update folder, what it holds and what holds it, in any spelling.
        {L"lib\\update\\update.log", EListedKind::File, nullptr, L"host\\lib\\update\\update.log"},
        {L"Lib\\UPDATE\\Update.Log", EListedKind::File, nullptr, L"host\\lib\\update\\update.log"},
        {L"lib\\update", EListedKind::Folder, nullptr, L"host\\lib\\update\\update.log"},
        {L"lib\\other\\..\\.\\update\\", EListedKind::Folder, nullptr, L"host\\lib\\update\\update.log"},
        {L"LIB", EListedKind::Folder, nullptr, L"host\\lib\\update\\update.log"},
        {L"lib\\other.txt", EListedKind::File, L"host\\lib\\other.txt", nullptr},
    };
    const CListedDeletion deletion(At(L"host").c_str(), At(L"host\\lib\\update").c_str());
    for (const auto& c : cases) {
        deletion.Delete(c.entry, c.kind);
        if (c.gone) {
            EXPECT_FALSE(PathExists(At(c.gone))) << c.entry;
        }
        if (c.kept) {
            EXPECT_TRUE(PathExists(At(c.kept))) << c.entry;
        }
    }
}

} // namespace
