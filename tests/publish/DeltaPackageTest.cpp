// The delta package as the tool makes it: which files become patches, the
// list the launcher reads, and the same bytes for the same releases.
#include "DeltaPackage.h"
#include "DeltaStaging.h"
#include "launcher/TestFolder.h"
#include "support/DeltaOffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Bytes that no compressor shrinks, the same for the same seed.
std::string Noise(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char& ch : bytes) {
        seed = seed * 1103515245u + 12345u;
        ch = static_cast<char>(seed >> 16);
    }
    return bytes;
}

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

Sha256Digest DigestOf(const std::string& bytes)
{
    Sha256Digest digest;
    Sha256Of(bytes.data(), bytes.size(), digest);
    return digest;
}

TEST(DeltaPackage, PatchesOnlyWhereSmallerAndListsWhatTheLauncherChecks)
{
    const fs::path root = TestFolder() + L"\\delta-package";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directories(root / L"old");
    fs::create_directories(root / L"new");

    std::string program = Noise(300000, 1);
    std::string patched = program;
    patched.replace(1000, 64, Noise(64, 2));
    patched.insert(150000, Noise(1024, 3));
    const struct {
        const wchar_t* name;
        std::string oldBytes;  // empty: the new release adds the file
        std::string newBytes;
        FileForm form;
    } cases[] = {
        {L"app.exe", program, patched, FileForm::Patch},
        // Nothing in common: the patch would carry the whole file and more.
        {L"data.bin", Noise(50000, 4), Noise(50000, 5), FileForm::Whole},
        {L"added.dll", "", Noise(2000, 6), FileForm::Whole},
        // A patch's own header outweighs a file this small.
        {L"readme.txt", "version 1\r\n", "version 2\r\n", FileForm::Whole},
    };
    std::vector<DeltaSource> sources;
    for (const auto& c : cases) {
        const fs::path oldPath = root / L"old" / c.name;
        const fs::path newPath = root / L"new" / c.name;
        if (!c.oldBytes.empty())
            Write(oldPath, c.oldBytes);
        Write(newPath, c.newBytes);
        sources.push_back({c.name, c.oldBytes.empty() ? L"" : oldPath.wstring(), newPath.wstring(), {}});
    }
    const DeltaPlan plan = PlanDelta(sources);
    ASSERT_EQ(std::size(cases), plan.entries.size());
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        const auto& c = cases[i];
        const DeltaEntry& entry = plan.entries[i];
        EXPECT_EQ(c.form, entry.form) << c.name;
        EXPECT_EQ(c.name, entry.path);
        EXPECT_EQ(c.newBytes.size(), entry.newSize) << c.name;
        EXPECT_EQ(DigestOf(c.newBytes), entry.newSha256) << c.name;
        if (c.form == FileForm::Patch) {
            EXPECT_EQ(DigestOf(c.oldBytes), entry.oldSha256) << c.name;
            EXPECT_LT(plan.patches[i].size(), c.newBytes.size() / 20) << c.name;
        }
    }

    // The list reads back as written, and the package is one the launcher acts on.
    std::vector<DeltaEntry> list;
    ASSERT_TRUE(ParseDeltaList(FormatDeltaList(plan.entries), list));
    ASSERT_EQ(plan.entries.size(), list.size());
    EXPECT_EQ(plan.entries[0].oldSha256, list[0].oldSha256);
    const fs::path cabinet = root / L"delta.cab";
    WriteDeltaPackage(cabinet.wstring(), sources, plan);
    const std::string bytes = testing_support::ReadFileBytes(cabinet);
    CabinetHeader header;
    std::vector<CabinetEntry> entries;
    ASSERT_TRUE(ParseCabinetHeader(bytes.substr(0, kCabinetHeaderBytes), header));
    ASSERT_TRUE(ParseCabinetFiles(bytes.substr(header.filesOffset), header.fileCount, entries));
    EXPECT_TRUE(IsDeltaPackage(entries));
    EXPECT_TRUE(CheckDeltaList(list, entries, InstalledSwapFolders(L"C:\\Program")));

    // The same releases, planned and packed again: the same bytes.
    WriteDeltaPackage(cabinet.wstring(), sources, PlanDelta(sources));
    EXPECT_EQ(bytes, testing_support::ReadFileBytes(cabinet));
    // The old and new folders and the package: nothing of the making is left beside it.
    EXPECT_EQ(3, std::distance(fs::directory_iterator(root), fs::directory_iterator()));
    fs::remove_all(root, ignored);
}

} // namespace
