// The new release's health check and the elevated apply step: the decisions,
// and the real update.exe started through the platform's "runas".
#include "ElevatedStep.h"
#include "FolderSnapshot.h"
#include "ReleaseHealth.h"
#include "TestInstallation.h"
#include "UpdateRun.h"

#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ReleaseHealth, RollsBackOnlyAReleaseThatCannotStartCrashesOrMissesItsDeadline)
{
    const struct {
        const char* name;
        NewHostWatch watch;
        bool hasDeadline;
        ReleaseVerdict verdict;
    } cases[] = {
        {"not started", {false, false, false, 0}, false, ReleaseVerdict::RollBack},
        {"confirmed", {true, true, false, 0}, true, ReleaseVerdict::Keep},
        {"access violation", {true, false, true, 0xC0000005}, false, ReleaseVerdict::RollBack},
        {"DLL missing", {true, false, true, 0xC0000135}, false, ReleaseVerdict::RollBack},
        {"DLL failed to start", {true, false, true, 0xC0000142}, false, ReleaseVerdict::RollBack},
        {"fast fail", {true, false, true, 0xC0000409}, false, ReleaseVerdict::RollBack},
        {"side-by-side failure", {true, false, true, 0xC0150002}, false, ReleaseVerdict::RollBack},
        {"uncaught C++ exception", {true, false, true, 0xE06D7363}, false, ReleaseVerdict::RollBack},
        {"breakpoint", {true, false, true, 0x80000003}, false, ReleaseVerdict::RollBack},
        {"normal exit", {true, false, true, 0}, true, ReleaseVerdict::Keep},
        {"its own error code", {true, false, true, 1}, true, ReleaseVerdict::Keep},
        {"exit code -1", {true, false, true, 0xFFFFFFFF}, true, ReleaseVerdict::Keep},
        {"an HRESULT as exit code", {true, false, true, 0x80004005}, true, ReleaseVerdict::Keep},
        {"a status of another facility", {true, false, true, 0xC0070005}, true, ReleaseVerdict::Keep},
        {"Ctrl+C", {true, false, true, 0xC000013A}, true, ReleaseVerdict::Keep},
        {"runs on, no deadline", {true, false, false, 0}, false, ReleaseVerdict::Keep},
        {"runs on past the deadline", {true, false, false, 0}, true, ReleaseVerdict::RollBack},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.verdict, JudgeNewRelease(c.watch, c.hasDeadline)) << c.name;
    EXPECT_EQ(kStartWatchMs, WatchTimeMs(false, 5));
    EXPECT_EQ(5000u, WatchTimeMs(true, 5));
    EXPECT_EQ(kLongestDeadlineSeconds * 1000, WatchTimeMs(true, 0xFFFFFFFF));
}

TEST(ElevatedStep, TakesOnlyItsOwnFolderAndADigest)
{
    const std::wstring own = L"C:\\Program Files\\App";
    const std::wstring digest(64, L'a');
    const struct {
        std::vector<std::wstring> args;
        ElevatedKind kind;
    } cases[] = {
        {{L"update.exe", L"http://x/update.ini", L"/pid", L"12"}, ElevatedKind::None},
        {{L"update.exe"}, ElevatedKind::None},
        {{L"update.exe", L"/elevated-apply", own, digest}, ElevatedKind::Apply},
        {{L"update.exe", L"/elevated-apply", L"c:\\program files\\APP", digest}, ElevatedKind::Apply},
        {{L"update.exe", L"/elevated-rollback", own}, ElevatedKind::RollBack},
        {{L"update.exe", L"/elevated-apply", L"C:\\Program Files\\Other", digest}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", L"C:\\Program Files\\App\\..\\Other", digest}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", own + L"\\", digest}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", L"Program Files\\App", digest}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", own, L"aa"}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", own}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-apply", own, digest, L"C:\\x.cab"}, ElevatedKind::Refused},
        {{L"update.exe", L"/elevated-rollback", own, digest}, ElevatedKind::Refused},
        {{L"update.exe", L"/ELEVATED-APPLY", own, digest}, ElevatedKind::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, ParseElevatedStep(c.args, own).kind) << c.args.back().c_str();
    EXPECT_EQ(ElevatedKind::Refused, ParseElevatedStep({L"update.exe", L"/elevated-rollback", own}, L"").kind);
}

// The real update.exe in a sample installation, started as the launcher starts
// its elevated step (under Wine "runas" starts it as it is).
class ElevatedUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallSample(Folder());
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\update.exe").c_str(), In(L"update.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW((TestFolder() + L"\\fake\\update.dll").c_str(), In(L"update.dll").c_str(), FALSE));
        ::WritePrivateProfileStringW(L"Update", L"Version", L"1.1", In(L"update\\update.log").c_str());
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder(), ignored);
    }

    static std::wstring Folder() { return TestFolder() + L"\\elevated R&D 100%"; }
    static std::wstring In(const wchar_t* name) { return Folder() + L"\\" + name; }
    static bool Exists(const wchar_t* name) { return ::GetFileAttributesW(In(name).c_str()) != INVALID_FILE_ATTRIBUTES; }

    static DWORD Run(const std::vector<std::wstring>& arguments)
    {
        DWORD exitCode = 0;
        EXPECT_EQ(ElevationResult::Done, RunElevated(In(L"update.exe"), arguments, exitCode));
        return exitCode;
    }
};

TEST_F(ElevatedUpdate, AppliesOnlyTheHandedOverPackageAndRollsBack)
{
    const FolderSnapshot before = Snapshot(Folder(), {L"update\\activity.log"});
    Sha256Digest digest = {};
    ASSERT_TRUE(FileDigest(In(L"update\\update.cab"), digest));
    Sha256Digest other = digest;
    other[0] ^= 1;

    // Bytes other than those handed over, or another folder: nothing changes.
    EXPECT_EQ(static_cast<DWORD>(kExitExtractionFailed), Run(ElevatedApplyArguments(Folder(), other)));
    EXPECT_EQ(static_cast<DWORD>(kExitUsage), Run(ElevatedApplyArguments(TestFolder(), digest)));
    EXPECT_TRUE(before == Snapshot(Folder(), {L"update\\activity.log"}))
        << Differences(before, Snapshot(Folder(), {L"update\\activity.log"}));

    // Applied, with the backup and journal kept for the health check; the
    // verified copy is gone.
    EXPECT_EQ(static_cast<DWORD>(kExitUpdated), Run(ElevatedApplyArguments(Folder(), digest)));
    const FolderSnapshot applied = Snapshot(Folder());
    EXPECT_EQ(Snapshot(TestPackageFiles())[L"host.exe"], applied.at(L"host.exe"));
    EXPECT_EQ(before.at(L"host.exe"), applied.at(L"update.backup\\host.exe"));
    EXPECT_TRUE(Exists(L"update.journal"));
    EXPECT_FALSE(Exists(L"update.verified.cab"));

    // The rollback puts the old release back and records the version.
    EXPECT_EQ(static_cast<DWORD>(kExitUpdated), Run(ElevatedRollBackArguments(Folder())));
    FolderSnapshot expected = before;
    expected.erase(L"update\\update.cab");
    FolderSnapshot after = Snapshot(Folder(), {L"update\\activity.log"});
    expected[L"update\\update.log"] = after[L"update\\update.log"];
    EXPECT_TRUE(expected == after) << Differences(expected, after);
    wchar_t version[32] = {};
    ::GetPrivateProfileStringW(L"Update", L"RolledBack", L"", version, 32, In(L"update\\update.log").c_str());
    EXPECT_STREQ(L"1.1", version);
}

} // namespace
