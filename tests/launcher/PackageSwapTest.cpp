// Applying a package completely or not at all: the decisions, and the real
// files rolled back after the launcher was ended at each of its moves.
#include "FolderSnapshot.h"
#include "InterruptedSwap.h"
#include "PackageSwap.h"
#include "TestInstallation.h"

#include <gtest/gtest.h>

namespace {

const SwapFolders kFolders = SwapFoldersFor(L"C:\\App", L"C:\\App\\update");

TEST(PackageSwap, UnpacksOnlyNamesThatLandInTheProgramButNotInTheUpdateFolder)
{
    const struct {
        std::vector<std::wstring> names;
        bool accepted;
    } cases[] = {
        {{L"host.exe", L"docs\\readme.txt", L"updates\\x.txt", L"更新\\说明.txt"}, true},
        {{}, false},
        {{L"a.txt", L"A.TXT"}, false},  // one would overwrite the other
        {{L"..\\x"}, false},
        {{L"docs\\..\\..\\x"}, false},
        {{L"C:\\x"}, false},
        {{L"\\x"}, false},
        {{L"a/b"}, false},
        {{L"x.txt:stream"}, false},
        {{L"a\\\\b"}, false},
        {{L""}, false},
        {{L"."}, false},
        {{L"x.txt."}, false},  // Win32 drops trailing dots and blanks
        {{L"update \\update.log"}, false},
        {{L"line\nbreak"}, false},
        {{L"update\\update.log"}, false},
        {{L"UPDATE\\swap.journal"}, false},
        {{L"update"}, false},
    };
    for (const auto& c : cases) {
        std::vector<CabinetEntry> entries;
        for (const std::wstring& name : c.names)
            entries.push_back({name, 1});
        EXPECT_EQ(c.accepted, CheckPackageEntries(entries, kFolders)) << (c.names.empty() ? L"" : c.names.back()).c_str();
    }
    // An update folder outside the program folder still holds the library's files.
    EXPECT_TRUE(CheckPackageEntries({{L"update\\x", 1}}, SwapFoldersFor(L"C:\\App", L"D:\\Cache")));
    EXPECT_FALSE(CheckPackageEntries({{L"x", 1}}, SwapFoldersFor(L"C:\\App", L"C:\\App")));
    EXPECT_TRUE(SwapFoldersFor(L"App", L"C:\\App\\update").program.empty());
}

std::string Patched(std::string bytes, size_t at, const std::string& with)
{
    bytes.replace(at, with.size(), with);
    return bytes;
}

TEST(PackageSwap, ReadsTheCabinetsFileTable)
{
    std::ifstream file(std::filesystem::path(TestPackage()), std::ios::binary);
    const std::string cabinet((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    CabinetHeader header;
    ASSERT_TRUE(ParseCabinetHeader(cabinet, header));
    const size_t table = header.filesOffset;
    const struct {
        const char* name;
        std::string bytes;
        bool read;
    } cases[] = {
        {"as made", cabinet, true},
        {"cut in the header", cabinet.substr(0, 35), false},
        {"not a cabinet", Patched(cabinet, 0, "MSCG"), false},
        {"another format version", Patched(cabinet, 25, "\x02"), false},
        {"one of a set", Patched(cabinet, 30, "\x02"), false},
        {"no files", Patched(cabinet, 28, std::string(2, '\0')), false},
        {"cut in the file table", cabinet.substr(0, table + 20), false},
        {"a file continued from another cabinet", Patched(cabinet, table + 8, "\xFD\xFF"), false},
        {"an empty name", Patched(cabinet, table + 16, std::string(1, '\0')), false},
        {"a name that is not UTF-8", Patched(Patched(cabinet, table + 14, "\xA0"), table + 16, "\xFF"), false},
    };
    for (const auto& c : cases) {
        std::vector<CabinetEntry> entries;
        const bool read = ParseCabinetHeader(c.bytes, header) &&
                          ParseCabinetFiles(c.bytes.substr(std::min<size_t>(header.filesOffset, c.bytes.size())),
                                            header.fileCount, entries);
        EXPECT_EQ(c.read, read) << c.name;
        if (c.read) {
            ASSERT_EQ(3u, entries.size());
            EXPECT_EQ(L"docs\\readme.txt", entries[2].name);
            EXPECT_EQ(std::filesystem::file_size(TestPackageFiles() + L"\\docs\\readme.txt"), entries[2].size);
        }
    }
}

TEST(PackageSwap, TakesTheStagingOnlyWhenItHoldsTheWholeCabinet)
{
    const std::vector<CabinetEntry> listed = {{L"b.txt", 2}, {L"docs\\a.txt", 1}};
    const struct {
        const char* name;
        std::vector<StagedFile> staged;
        bool taken;
    } cases[] = {
        {"whole", {{L"docs\\a.txt", 1}, {L"b.txt", 2}}, true},
        {"names in another case", {{L"DOCS\\A.txt", 1}, {L"b.TXT", 2}}, true},
        {"a file left out", {{L"b.txt", 2}}, false},
        {"a file cut short", {{L"docs\\a.txt", 1}, {L"b.txt", 1}}, false},
        {"a file not listed", {{L"docs\\a.txt", 1}, {L"b.txt", 2}, {L"c.txt", 0}}, false},
        {"nothing", {}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.taken, StagedAsListed(c.staged, listed)) << c.name;
    const std::vector<std::wstring> order = {L"B.txt", L"docs\\a.txt", L"host.exe"};
    EXPECT_EQ(order, SwapOrder({{L"host.exe", 0}, {L"docs\\a.txt", 0}, {L"B.txt", 0}}));
}

TEST(PackageSwap, UndoesEachRecordFromWhatIsOnTheDiskNow)
{
    using A = JournalAction;
    const struct {
        A action;
        bool backedUp, placed, exists, backupExists;
        Undo undo;
    } cases[] = {
        {A::Placed, true, true, true, true, Undo::Restore},
        {A::Placed, true, true, false, true, Undo::Restore},   // ended before the new file moved in
        {A::Placed, true, true, true, false, Undo::Nothing},   // restored by an earlier rollback
        {A::Placed, false, true, true, false, Undo::RemovePlaced},
        {A::Placed, false, true, false, false, Undo::Nothing},
        {A::BackedUp, true, true, true, true, Undo::Nothing},  // its Placed record undoes it
        {A::BackedUp, true, false, true, true, Undo::RemoveBackup},  // ended while being copied away
        {A::BackedUp, true, false, true, false, Undo::Nothing},
        {A::BackedUp, true, false, false, true, Undo::Restore},
        {A::MadeFolder, false, false, true, false, Undo::RemoveFolder},
        {A::MadeFolder, false, false, false, false, Undo::Nothing},
        {A::Committed, false, false, true, true, Undo::Nothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.undo, UndoFor(c.action, c.backedUp, c.placed, c.exists, c.backupExists))
            << static_cast<char>(c.action) << c.backedUp << c.placed << c.exists << c.backupExists;
    }
}

TEST(PackageSwap, ReadsOnlyCompleteRecordsWithSafeNames)
{
    const std::wstring complete = FormatJournalRecord({JournalAction::MadeFolder, L"docs"}) +
                                  FormatJournalRecord({JournalAction::Placed, L"docs\\说明 1.txt"}) +
                                  FormatJournalRecord({JournalAction::Committed, L""});
    const struct {
        const char* name;
        std::wstring text;
        size_t records;
    } cases[] = {
        {"as written", complete, 3},
        {"last record cut short", complete.substr(0, complete.size() - 1), 2},
        {"empty", L"", 0},
        {"unsafe names", L"P ..\\x\nR C:\\x\nF \n", 0},
        {"unknown kinds", L"X a\nDa\nPa\n", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.records, ParseJournal(c.text).size()) << c.name;
    const std::vector<JournalRecord> records = ParseJournal(complete);
    EXPECT_EQ(L"docs\\说明 1.txt", records[1].path);
    EXPECT_EQ(JournalAction::Placed, records[1].action);
}

// The package applied to a real installation with the real extractor.
class PackageSwapFiles : public ::testing::Test {
protected:
    void SetUp() override { InstallSample(Folder()); }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
    }

    static std::wstring Folder() { return TestFolder() + L"\\swap R&D 100% ^x"; }
    static SwapFolders Folders() { return SwapFoldersFor(Folder(), Folder() + L"\\update"); }
    static std::wstring Package() { return Folder() + L"\\update\\update.cab"; }
};

TEST_F(PackageSwapFiles, IsRolledBackAfterAnEndAtAnyMoveEvenDuringTheRollback)
{
    int moves = 0;
    for (;; ++moves) {
        SetUp();
        const FolderSnapshot before = Snapshot(Folder());
        bool ended = false;
        try {
            CEndedAfterMoves files(moves);
            ASSERT_TRUE(StageAndSwap(files, Folders(), Package()));
        } catch (const LauncherEnded&) {
            ended = true;
        }
        if (!ended)
            break;
        EXPECT_NE(before, Snapshot(Folder())) << moves;  // the journal at least is there
        try {
            CEndedAfterMoves files(1);
            FinishInterruptedSwap(files, Folders());
        } catch (const LauncherEnded&) {
        }
        CSwapFiles files;
        FinishInterruptedSwap(files, Folders());
        EXPECT_EQ(before, Snapshot(Folder())) << "ended after " << moves << " moves";
    }
    // One move for the new file, two for each of the two it replaces.
    EXPECT_EQ(5, moves);
}

} // namespace
