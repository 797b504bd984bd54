// The swap killed at each of its file operations in turn, and the recovery the
// next launcher runs: the program folder is then exactly the old release or
// exactly the new one, with no staging, backup or journal left behind.
#include "InterruptedSwap.h"
#include "PackageSwap.h"
#include "ReleasePair.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

namespace {

// Bytes that differ by seed and size, so that no two files match by chance.
std::string Bytes(unsigned seed, size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

struct SwapCase {
    const char* name;
    ReleaseFiles old;      // installed
    ReleaseFiles package;  // the new release's changed and added files
    bool rolledBack;       // the new release failed to start: the swap kept its backup, then put the old one back
};

// The whole course, as far as the kill lets it run.
bool RunSwap(ISwapFiles& files, const SwapFolders& folders, const std::wstring& package, bool rolledBack)
{
    if (!rolledBack)
        return StageAndSwap(files, folders, package);
    return StageAndSwap(files, folders, package, AfterCommit::AwaitConfirmation) &&
           RollBackSwappedRelease(files, folders);
}

// 64 files over three levels of folders; the new release changes 48 of them
// and adds 18, some in folders of their own.
SwapCase ManyFiles()
{
    SwapCase c = {"a release pair with many files", {}, {}, false};
    for (unsigned i = 0; i < 64; ++i) {
        const std::wstring name = L"lib" + std::to_wstring(i % 4) + L"\\part" + std::to_wstring(i % 3) + L"\\file" +
                                  std::to_wstring(i) + L".dat";
        c.old[name] = Bytes(i, 200 + i);
        if (i % 4 != 3)
            c.package[name] = Bytes(1000 + i, 100 + 3 * i);
    }
    for (unsigned i = 0; i < 18; ++i)
        c.package[L"added" + std::to_wstring(i % 3) + L"\\deep\\new" + std::to_wstring(i) + L".dat"] = Bytes(2000 + i, 50);
    return c;
}

ReleaseFiles Replaced()
{
    return {{L"host.exe", Bytes(10, 300)}, {L"a.txt", Bytes(11, 64)}, {L"lib\\core.dll", Bytes(12, 120)},
            {L"lib\\deep\\x.dat", Bytes(13, 0)}, {L"same size.bin", Bytes(14, 77)}};
}

ReleaseFiles Replacing()
{
    return {{L"host.exe", Bytes(20, 310)}, {L"a.txt", Bytes(21, 0)}, {L"lib\\core.dll", Bytes(22, 4000)},
            {L"lib\\deep\\x.dat", Bytes(23, 9)}, {L"same size.bin", Bytes(24, 77)}};
}

ReleaseFiles Added(ReleaseFiles files)
{
    files[L"plugins\\new\\x.dll"] = Bytes(30, 33);
    return files;
}

class SwapCrash : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
        std::filesystem::remove_all(Source(), ignored);
        std::filesystem::remove_all(Extracted(), ignored);
    }

    static std::wstring Folder() { return TestFolder() + L"\\crash R&D 100%"; }
    static std::wstring Extracted() { return TestFolder() + L"\\crash extracted"; }
    static std::wstring Source() { return TestFolder() + L"\\crash package"; }
    static std::wstring Package() { return Source() + L".cab"; }
    static SwapFolders Folders() { return InstalledSwapFolders(Folder()); }

    // The old release installed afresh, its package waiting in the update folder.
    static void Install(const SwapCase& c)
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
        WriteRelease(Folder(), c.old);
        std::filesystem::create_directories(Folder() + L"\\update");
        WriteTextFile(Folder() + L"\\update\\update.log", "[Files]\r\nVersion=1.0\r\n");
        std::filesystem::copy_file(Package(), Folder() + L"\\update\\update.cab");
    }

    static std::wstring InstalledPackage() { return Folder() + L"\\update\\update.cab"; }
};

TEST_F(SwapCrash, KilledAtAnyFileOperationTheNextLauncherLeavesTheOldReleaseOrTheNew)
{
    const SwapCase cases[] = {
        {"a package that adds files and folders",
         {{L"host.exe", Bytes(1, 300)}, {L"lib\\core.dll", Bytes(2, 120)}},
         {{L"lib\\extra.dll", Bytes(3, 90)},
          {L"docs\\readme.txt", Bytes(4, 40)},
          {L"docs\\img\\logo.bin", Bytes(5, 70)},
          {L"plugins\\a\\b\\c.dll", Bytes(6, 10)},
          {L"new.txt", Bytes(7, 1)}},
         false},
        {"a package that replaces files", Replaced(), Replacing(), false},
        ManyFiles(),
        {"a package that replaces and adds, rolled back after its commit", Replaced(), Added(Replacing()), true},
    };
    int points = 0, endedOld = 0, endedNew = 0, recoveryCuts = 0;
    for (const SwapCase& c : cases) {
        MakePackage(Source(), Package(), c.package);
        Install(c);
        const FolderSnapshot oldRelease = Snapshot(Folder());
        const FolderSnapshot newRelease = Overlaid(oldRelease, Source());
        ASSERT_NE(oldRelease, newRelease) << c.name;

        const FolderSnapshot& whole = c.rolledBack ? oldRelease : newRelease;
        int operations = 0;
        {
            CKilledAtOperation counted(-1);
            ASSERT_TRUE(RunSwap(counted, Folders(), InstalledPackage(), c.rolledBack)) << c.name;
            operations = counted.Operations();
        }
        ASSERT_TRUE(whole == Snapshot(Folder())) << c.name << ":" << Differences(whole, Snapshot(Folder()));
        std::error_code ignored;
        std::filesystem::remove_all(Extracted(), ignored);
        std::filesystem::create_directories(Extracted());
        ASSERT_TRUE(CSwapFiles().Extract(Extracted(), Package())) << c.name;

        Install(c);
        for (int at = 0; at < operations; ++at) {
            bool killed = false;
            try {
                CKilledAtOperation files(at);
                files.ReuseExtraction(Extracted());
                RunSwap(files, Folders(), InstalledPackage(), c.rolledBack);
            } catch (const ProcessKilled&) {
                killed = true;
            }
            ASSERT_TRUE(killed) << c.name << ", operation " << at;
            ++points;
            // Now and then the recovery is itself killed, again and further on
            // each time, before one runs to its end.
            for (int cut = 0; at % 25 == 0; cut = cut * 2 + 1, ++recoveryCuts) {
                try {
                    CKilledAtOperation files(cut);
                    FinishInterruptedSwap(files, Folders());
                    break;
                } catch (const ProcessKilled&) {
                }
            }
            CSwapFiles files;
            FinishInterruptedSwap(files, Folders());
            const FolderSnapshot after = Snapshot(Folder());
            const bool isOld = after == oldRelease, isNew = after == newRelease;
            EXPECT_TRUE(isOld || isNew) << c.name << ", killed at operation " << at << " of " << operations
                                        << "; differs from the old release in:" << Differences(oldRelease, after)
                                        << "; from the new in:" << Differences(newRelease, after);
            endedOld += isOld;
            endedNew += isNew;
            // A recovery that left the old release has left the next point's start.
            if (!isOld)
                Install(c);
        }
    }
    std::printf("swap killed at %d file operations: %d ended as the old release, %d as the new; "
                "the recovery itself killed %d times\n",
                points, endedOld, endedNew, recoveryCuts);
    EXPECT_GE(points, 200);
    EXPECT_GT(endedOld, 0);
    EXPECT_GT(endedNew, 0);
}

// Writes that fail while staging (a full disk, a broken medium): the
// extractor runs, then what it left is spoiled as such a failure would.
class CFailingStaging : public CSwapFiles {
public:
    using Spoil = std::function<bool(const std::wstring& staging, bool extracted)>;

    CFailingStaging(Spoil spoil, bool makeFails) : m_spoil(std::move(spoil)), m_makeFails(makeFails) {}

    bool Extract(const std::wstring& folder, const std::wstring& package) override
    {
        return m_spoil(folder, CSwapFiles::Extract(folder, package));
    }
    bool MakeFolder(const std::wstring& path) override { return !m_makeFails && CSwapFiles::MakeFolder(path); }

private:
    Spoil m_spoil;
    bool m_makeFails;
};

TEST_F(SwapCrash, AWriteThatFailsWhileStagingLeavesTheProgramUntouched)
{
    const SwapCase pair = ManyFiles();
    MakePackage(Source(), Package(), pair.package);
    const struct {
        const char* name;
        CFailingStaging::Spoil spoil;
        bool makeFails;
    } cases[] = {
        {"the extractor stops with an error half way",
         [](const std::wstring& staging, bool) {
             std::filesystem::remove(staging + L"\\added2\\deep\\new17.dat");
             return false;
         },
         false},
        {"the extractor reports success, but a file was cut short",
         [](const std::wstring& staging, bool extracted) {
             std::filesystem::resize_file(staging + L"\\lib1\\part1\\file1.dat", 10);
             return extracted;
         },
         false},
        {"no room even for the staging folder", [](const std::wstring&, bool extracted) { return extracted; }, true},
    };
    for (const auto& c : cases) {
        Install(pair);
        const FolderSnapshot before = Snapshot(Folder());
        CFailingStaging files(c.spoil, c.makeFails);
        EXPECT_FALSE(StageAndSwap(files, Folders(), InstalledPackage())) << c.name;
        EXPECT_TRUE(before == Snapshot(Folder())) << c.name << ":" << Differences(before, Snapshot(Folder()));
    }
}

} // namespace
