// Applying a package completely or not at all: the decisions, and the real
// files rolled back after the launcher was ended at each of its moves.
#include "FolderSnapshot.h"
#include "InterruptedSwap.h"
#include "PackageSwap.h"
#include "TestInstallation.h"

#include "support/FileLinks.h"

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
        {{L"Update.Journal"}, false},  // the swap's own journal
        {{L"update.staging\\host.exe"}, false},  // and its staging and backup
        {{L"UPDATE.BACKUP"}, false},
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

TEST(PackageSwap, UndoesOnlyWhatIsStillExactlyWhatTheSwapMoved)
{
    const struct {
        bool backedUp;
        OnDisk target;
        bool backupIsOriginal;
        Undo undo;
    } cases[] = {
        {true, OnDisk::Placed, true, Undo::Restore},
        {true, OnDisk::Missing, true, Undo::Restore},     // ended before the new file moved in
        {true, OnDisk::Original, true, Undo::Nothing},    // ended while it was being copied away
        {true, OnDisk::Original, false, Undo::Nothing},   // restored by an earlier rollback
        {true, OnDisk::Placed, false, Undo::Nothing},     // a backup changed since is never moved in
        {true, OnDisk::Missing, false, Undo::Nothing},
        {true, OnDisk::Other, true, Undo::Unresolved},    // someone else's file: left, the original kept
        {true, OnDisk::Other, false, Undo::Nothing},
        {false, OnDisk::Placed, false, Undo::RemovePlaced},
        {false, OnDisk::Missing, false, Undo::Nothing},
        {false, OnDisk::Other, false, Undo::Nothing},     // not the file the swap placed: never deleted
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.undo, UndoFor(c.backedUp, c.target, c.backupIsOriginal))
            << c.backedUp << static_cast<int>(c.target) << c.backupIsOriginal;
    }
}

TEST(PackageSwap, ReadsOnlyCompleteRecordsOfItsOwnStagingWithSafeNamesAndFingerprints)
{
    const std::wstring staging = L"C:\\App\\update.staging";
    FileFingerprint print;
    print.size = 12345678901ull;
    print.digest.fill(0xAB);
    const std::wstring complete = FormatJournalRecord({JournalAction::Began, staging, {}}) +
                                  FormatJournalRecord({JournalAction::MadeFolder, L"docs", {}}) +
                                  FormatJournalRecord({JournalAction::Placed, L"docs\\说明 1.txt", print}) +
                                  FormatJournalRecord({JournalAction::Committed, L"", {}});
    const std::wstring digest(64, L'a');
    const struct {
        const char* name;
        std::wstring text;
        size_t records;
    } cases[] = {
        {"as written", complete, 4},
        {"last record cut short", complete.substr(0, complete.size() - 1), 3},
        {"empty", L"", 0},
        {"another staging", L"S C:\\Other\\staging\nF docs\n", 0},
        {"no staging first: an earlier launcher's", L"P host.exe\nP update\\update.log\n", 0},
        {"the staging twice", L"S " + staging + L"\nF a\nS " + staging + L"\nF b\n", 0},
        {"unsafe names", L"S " + staging + L"\nP 1 " + digest + L" ..\\x\nR 1 " + digest + L" C:\\x\nF \n", 1},
        {"no fingerprint", L"S " + staging + L"\nP host.exe\nR 1 host.exe\nP 1 abc host.exe\n", 1},
        {"unknown kinds", L"S " + staging + L"\nX a\nDa\nPa\n", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.records, ParseJournal(c.text, staging).size()) << c.name;
    const std::vector<JournalRecord> records = ParseJournal(complete, L"c:\\app\\UPDATE.staging");
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ(L"docs\\说明 1.txt", records[2].path);
    EXPECT_EQ(JournalAction::Placed, records[2].action);
    EXPECT_TRUE(print == records[2].print);
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

// A swap never writes, moves or deletes through a link: whatever the verdict,
// what the links lead to stays as it was.
TEST_F(PackageSwapFiles, NeverReachesThroughALink)
{
    using testing_support::MakeSymbolicLink;
    using testing_support::RemoveTreeWithLinks;
    const std::wstring outside = TestFolder() + L"\\swap outside";
    const struct {
        const char* name;
        const wchar_t* link;    // in the program folder
        const wchar_t* target;  // in the outside folder
        bool folder;
        bool applied;
    } cases[] = {
        {"a folder of the program that is a link: refused", L"docs", L"dir", true, false},
        {"a program file that is a link: refused", L"payload.txt", L"file.txt", false, false},
        {"the staging a link: refused", L"update.staging", L"dir", true, false},
        {"the backup a link: refused", L"update.backup", L"dir", true, false},
        {"a link left in the backup: applied, the link left as it is", L"update.backup\\kept.txt", L"file.txt", false,
         true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(RemoveTreeWithLinks(Folder()) && RemoveTreeWithLinks(outside)) << c.name;
        InstallSample(Folder());
        std::filesystem::create_directories(outside + L"\\dir");
        WriteTextFile(outside + L"\\dir\\keep.txt", "outside, in a folder");
        WriteTextFile(outside + L"\\file.txt", "outside, a file");
        const std::wstring link = Folder() + L"\\" + c.link;
        std::filesystem::create_directories(std::filesystem::path(link).parent_path());
        if (!c.folder)
            std::filesystem::remove(link);
        ASSERT_TRUE(MakeSymbolicLink(link, outside + L"\\" + c.target, c.folder)) << c.name;
        const FolderSnapshot outsideBefore = Snapshot(outside);
        FolderSnapshot expected = Snapshot(Folder());
        if (c.applied) {
            for (const auto& entry : Snapshot(TestPackageFiles()))
                expected[entry.first] = entry.second;
        }

        CSwapFiles files;
        EXPECT_EQ(c.applied, StageAndSwap(files, Folders(), Package())) << c.name;
        FinishInterruptedSwap(files, Folders());
        EXPECT_TRUE(outsideBefore == Snapshot(outside)) << c.name << ":" << Differences(outsideBefore, Snapshot(outside));
        EXPECT_TRUE(expected == Snapshot(Folder())) << c.name << ":" << Differences(expected, Snapshot(Folder()));
    }
    EXPECT_TRUE(RemoveTreeWithLinks(Folder()) && RemoveTreeWithLinks(outside));
}

// A journal that the launcher did not write, or that names what its swap did
// not place, makes the next start delete and move nothing.
TEST_F(PackageSwapFiles, PlantedJournalDeletesNothing)
{
    CSwapFiles files;
    auto printOf = [&](const std::wstring& path) {
        FileFingerprint print;
        EXPECT_TRUE(files.Fingerprint(path, print)) << path.c_str();
        return print;
    };
    FileFingerprint other;
    other.size = 8;
    const std::wstring staging = Folders().staging;
    const std::wstring host = Folder() + L"\\host.exe", record = Folder() + L"\\update\\update.log";
    auto began = [](const std::wstring& folder) { return FormatJournalRecord({JournalAction::Began, folder, {}}); };
    auto placed = [](const wchar_t* path, const FileFingerprint& print) {
        return FormatJournalRecord({JournalAction::Placed, path, print});
    };
    const struct {
        const char* name;
        const wchar_t* at;
        std::wstring text;
    } cases[] = {
        {"an earlier launcher's, in the update folder", L"update\\swap.journal",
         L"P host.exe\nP update\\update.log\nR payload.txt\nP payload.txt\n"},
        {"fingerprinted, in the update folder", L"update\\swap.journal",
         began(staging) + placed(L"host.exe", printOf(host)) + placed(L"update\\update.log", printOf(record))},
        {"naming the library's record", L"update.journal", began(staging) + placed(L"update\\update.log", printOf(record))},
        {"naming a file with other bytes", L"update.journal", began(staging) + placed(L"host.exe", other)},
        {"of another staging", L"update.journal", began(L"C:\\Other\\update.staging") + placed(L"host.exe", printOf(host))},
        {"without its staging", L"update.journal", placed(L"host.exe", printOf(host))},
    };
    for (const auto& c : cases) {
        SetUp();
        const FolderSnapshot before = Snapshot(Folder());
        // A backup standing ready to be moved in over payload.txt.
        std::filesystem::create_directories(Folder() + L"\\update.backup");
        WriteTextFile(Folder() + L"\\update.backup\\payload.txt", "planted");
        std::ofstream(std::filesystem::path(Folder() + L"\\" + c.at), std::ios::binary)
            .write(reinterpret_cast<const char*>(c.text.data()), static_cast<std::streamsize>(c.text.size() * sizeof(wchar_t)));
        FinishInterruptedSwap(files, Folders());
        EXPECT_TRUE(before == Snapshot(Folder())) << c.name << ":" << Differences(before, Snapshot(Folder()));
    }
}

} // namespace
