// Patches made and applied through the real files: the choice between a patch
// and the whole file, round trips over the shapes a new release takes, and
// what the apply refuses (an installed file that was changed, a damaged or
// hostile patch) without leaving a new file behind.
#include "delta/FileForm.h"
#include "delta/PatchApply.h"
#include "delta/PatchHeader.h"
#include "delta/PatchMake.h"
#include "delta/PatchSteps.h"
#include "delta/ZstdFrames.h"
#include "launcher/TestFolder.h"
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

namespace {

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& ch : bytes)
        ch = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A folder of its own for each test, emptied before it starts.
class PatchFiles : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = TestFolder() + L"\\patch-work";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
        for (const wchar_t* name : {L"old", L"patch", L"new"})
            ::DeleteFileW(Path(name).c_str());
    }

    std::wstring Path(const wchar_t* name) const { return m_folder + L"\\" + name; }

    PatchResult Apply(const std::string& installedOld, const std::string& patch, bool oldPresent = true)
    {
        ::DeleteFileW(Path(L"new").c_str());
        ::DeleteFileW(Path(L"old").c_str());
        if (oldPresent)
            WriteFile(Path(L"old"), installedOld);
        WriteFile(Path(L"patch"), patch);
        return ApplyPatch(Path(L"old"), Path(L"patch"), Path(L"new"));
    }

    std::wstring m_folder;
};

struct ReleasePair {
    const char* name;
    std::function<std::string()> oldBytes;
    std::function<std::string()> newBytes;
    FileForm form;
};

std::string Program(const wchar_t* name)
{
    return ReadFile(TestFolder() + L"\\" + name);
}

std::string Grown()
{
    std::string bytes = RandomBytes(200000, 1);
    bytes.insert(50000, RandomBytes(3000, 2));
    bytes.insert(150000, std::string(7000, 'x'));
    return bytes + RandomBytes(10000, 3);
}

std::string Shrunk()
{
    std::string bytes = RandomBytes(200000, 1);
    bytes.erase(120000, 40000);
    bytes.erase(10000, 500);
    bytes[5] ^= 0x20;
    return bytes;
}

TEST_F(PatchFiles, EachNewFileIsMadeFromItsOldOneAndTravelsInTheSmallerForm)
{
    const ReleasePair pairs[] = {
        {"both empty", [] { return std::string(); }, [] { return std::string(); }, FileForm::Whole},
        {"from empty", [] { return std::string(); }, [] { return RandomBytes(5000, 4); }, FileForm::Whole},
        {"to empty", [] { return RandomBytes(5000, 4); }, [] { return std::string(); }, FileForm::Whole},
        {"identical", [] { return RandomBytes(100000, 5); }, [] { return RandomBytes(100000, 5); }, FileForm::Patch},
        {"wholly different", [] { return RandomBytes(100000, 6); }, [] { return RandomBytes(100000, 7); }, FileForm::Whole},
        {"grown", [] { return RandomBytes(200000, 1); }, Grown, FileForm::Patch},
        {"shrunk", [] { return RandomBytes(200000, 1); }, Shrunk, FileForm::Patch},
        {"one byte", [] { return std::string("a"); }, [] { return std::string("b"); }, FileForm::Whole},
        {"host 1.0 to 1.1", [] { return Program(L"host.exe"); }, [] { return Program(L"host-1.1.exe"); }, FileForm::Patch},
    };
    for (const ReleasePair& pair : pairs) {
        SCOPED_TRACE(pair.name);
        const std::string oldBytes = pair.oldBytes(), newBytes = pair.newBytes();

        const FileDelta delta = ChooseFileForm(oldBytes, newBytes);
        EXPECT_EQ(pair.form, delta.form);
        if (delta.form == FileForm::Patch) {
            EXPECT_LT(delta.patch.size(), newBytes.size() / 4 + 1);
        }

        // Every pair round-trips, chosen or not, and the same files give the same patch.
        std::string patch, again;
        ASSERT_TRUE(MakePatch(oldBytes, newBytes, patch));
        ASSERT_TRUE(MakePatch(oldBytes, newBytes, again));
        EXPECT_EQ(patch, again);
        if (delta.form == FileForm::Patch) {
            EXPECT_EQ(patch, delta.patch);
        }
        ASSERT_EQ(PatchResult::Applied, Apply(oldBytes, patch));
        EXPECT_EQ(newBytes, ReadFile(Path(L"new")));

        // An installed file that is not the one the patch was made from is
        // refused before a byte is written.
        std::string changed = oldBytes.empty() ? std::string("?") : oldBytes;
        changed[changed.size() / 2] ^= 0x01;
        EXPECT_EQ(PatchResult::OldFileDiffers, Apply(changed, patch));
        EXPECT_FALSE(Exists(Path(L"new")));
        EXPECT_EQ(PatchResult::OldFileDiffers, Apply(oldBytes + "!", patch));
        EXPECT_EQ(PatchResult::OldFileDiffers, Apply(oldBytes, patch, false));
        EXPECT_FALSE(Exists(Path(L"new")));
    }
}

// A patch put together by hand, step by step, with the header it claims.
struct Forged {
    std::string oldBytes;
    std::string control, diff, extra;
    std::string newBytes;  // what the header names as the result
};

std::string Step(LONGLONG diffBytes, LONGLONG extraBytes, LONGLONG seek)
{
    std::string bytes;
    for (LONGLONG value : {diffBytes, extraBytes, seek}) {
        ULONGLONG magnitude = value < 0 ? static_cast<ULONGLONG>(-value) | (1ull << 63) : static_cast<ULONGLONG>(value);
        for (int i = 0; i < 8; ++i)
            bytes += static_cast<char>((magnitude >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string Assemble(const Forged& forged, const std::function<void(PatchHeader&)>& alter = nullptr)
{
    std::string frames[3];
    EXPECT_TRUE(CompressFrame(forged.control, 3, frames[0]));
    EXPECT_TRUE(CompressFrame(forged.diff, 3, frames[1]));
    EXPECT_TRUE(CompressFrame(forged.extra, 3, frames[2]));
    PatchHeader header;
    header.oldSize = forged.oldBytes.size();
    header.newSize = forged.newBytes.size();
    Sha256Of(forged.oldBytes.data(), forged.oldBytes.size(), header.oldSha256);
    Sha256Of(forged.newBytes.data(), forged.newBytes.size(), header.newSha256);
    header.controlBytes = frames[0].size();
    header.diffBytes = frames[1].size();
    header.extraBytes = frames[2].size();
    if (alter)
        alter(header);
    return FormatPatchHeader(header) + frames[0] + frames[1] + frames[2];
}

TEST_F(PatchFiles, ADamagedOrHostilePatchMakesNoFile)
{
    const std::string oldBytes = "0123456789";
    // A good forged patch first: "0123" plus zero differences, then "XY" from the extra stream.
    const Forged good{oldBytes, Step(4, 2, 0), std::string(4, '\0'), "XY", "0123XY"};
    ASSERT_EQ(PatchResult::Applied, Apply(oldBytes, Assemble(good)));
    ASSERT_EQ("0123XY", ReadFile(Path(L"new")));

    const std::string valid = Assemble(good);
    struct Damage {
        const char* name;
        std::string patch;
    };
    const Damage damages[] = {
        {"not a patch", "MZ" + std::string(200, '\0')},
        {"shorter than its header", valid.substr(0, kPatchHeaderBytes - 1)},
        {"cut short", valid.substr(0, valid.size() - 1)},
        {"a byte too many", valid + "!"},
        {"an unknown method", Assemble(good, [](PatchHeader& h) { h.method = static_cast<PatchMethod>(2); })},
        {"streams that overrun the patch", Assemble(good, [](PatchHeader& h) { h.diffBytes = ~0ull - 8; })},
        {"a new file too large", Assemble(good, [](PatchHeader& h) { h.newSize = kPatchMaxFileBytes + 1; })},
        {"a result other than it names", Assemble({oldBytes, Step(4, 2, 0), std::string(4, '\0'), "XY", "0123XZ"})},
        {"a step reading past the old file", Assemble({oldBytes, Step(6, 0, 0) + Step(6, 0, 0), std::string(12, '\0'), "",
                                                       "012345012345"})},
        {"a step seeking before the old file", Assemble({oldBytes, Step(1, 0, -2) + Step(1, 0, 0), std::string(2, '\0'), "",
                                                         "00"})},
        {"a negative length", Assemble({oldBytes, Step(-1, 2, 0), "", "XY", "XY"})},
        {"a step writing past the new file", Assemble({oldBytes, Step(4, 3, 0), std::string(4, '\0'), "XYZ", "0123XY"})},
        {"steps that never end", Assemble({oldBytes, Step(0, 0, 0) + Step(0, 0, 0) + Step(0, 0, 0) + Step(0, 1, 0),
                                           "", "X", "X"})},
        {"a stream with bytes left over", Assemble({oldBytes, Step(4, 2, 0), std::string(4, '\0'), "XYZ", "0123XY"})},
        {"a control stream with a step left over", Assemble({oldBytes, Step(4, 2, 0) + Step(0, 0, 0), std::string(4, '\0'),
                                                             "XY", "0123XY"})},
        {"a stream shorter than its steps", Assemble({oldBytes, Step(4, 2, 0), std::string(3, '\0'), "XY", "0123XY"})},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        EXPECT_EQ(PatchResult::PatchDamaged, Apply(oldBytes, damage.patch));
        EXPECT_FALSE(Exists(Path(L"new")));
    }

    // A new file that is already there is neither overwritten nor deleted.
    WriteFile(Path(L"new"), "keep");
    EXPECT_EQ(PatchResult::Failed, ApplyPatch(Path(L"old"), Path(L"patch"), Path(L"new")));
    EXPECT_EQ("keep", ReadFile(Path(L"new")));
}

} // namespace
