// What an installation keeps of trust in update.trust: a write joins what
// another process wrote meanwhile, and the rollout bucket is drawn once.
#include "install/TrustFile.h"
#include "unit/UpdateFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TrustMemory Memory(std::vector<std::wstring> roots, std::vector<std::wstring> retired, std::vector<std::string> revoked,
                   std::optional<ULONGLONG> serial = std::nullopt, std::optional<UINT> bucket = std::nullopt)
{
    TrustMemory memory;
    memory.roots = std::move(roots);
    memory.retiredRoots = std::move(retired);
    memory.revokedIds = std::move(revoked);
    memory.highestSerial = serial;
    memory.rolloutBucket = bucket;
    return memory;
}

// Each process learns from what it read; the one that writes second read
// before the first wrote, and must not undo what the first kept.
TEST(TrustFile, AWriteNeverUndoesWhatAnotherProcessKeptMeanwhile)
{
    const struct {
        const char* name;
        TrustMemory current;  // in the file when the second process writes
        TrustMemory learnt;   // what the second process learnt from its older read
        TrustMemory expected;
    } cases[] = {
        {"revocations of both", Memory({}, {}, {"build-1"}), Memory({}, {}, {"BUILD-1", "build-2"}),
         Memory({}, {}, {"build-1", "build-2"})},
        {"a lower serial never replaces a higher one", Memory({}, {}, {}, 9), Memory({}, {}, {}, 7),
         Memory({}, {}, {}, 9)},
        {"a higher serial does", Memory({}, {}, {}, 7), Memory({}, {}, {}, 9), Memory({}, {}, {}, 9)},
        {"the first serial", Memory({}, {}, {}), Memory({}, {}, {}, 7), Memory({}, {}, {}, 7)},
        {"a bucket kept is never drawn again", Memory({}, {}, {}, std::nullopt, 42),
         Memory({}, {}, {}, std::nullopt, 9000), Memory({}, {}, {}, std::nullopt, 42)},
        {"the first bucket", Memory({}, {}, {}), Memory({}, {}, {}, std::nullopt, 9000),
         Memory({}, {}, {}, std::nullopt, 9000)},
        {"a root left by the other stays left", Memory({L"r2"}, {L"r1"}, {}), Memory({L"r1"}, {}, {}),
         Memory({L"r2"}, {L"r1"}, {})},
        {"a rotation on from there", Memory({L"r2"}, {L"r1"}, {}), Memory({L"r3"}, {L"r1", L"r2"}, {}),
         Memory({L"r3"}, {L"r1", L"r2"}, {})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, MergeTrustMemory(c.current, c.learnt)) << c.name;
}

class TrustFileOnDisk : public UpdateFilesTest {};

TEST_F(TrustFileOnDisk, WrittenWholeJoinedWithTheFileAndTheBucketDrawnOnce)
{
    const std::wstring path = UpdateFile(L"update.trust");
    WriteBytes(path, FormatTrustMemory(Memory({}, {}, {"build-1"}, 9)));
    TrustMemory kept;
    ASSERT_TRUE(RememberTrust(path.c_str(), Memory({}, {}, {"build-2"}, 7), &kept));
    EXPECT_EQ(Memory({}, {}, {"build-1", "build-2"}, 9), kept);
    EXPECT_EQ(kept, ReadTrustFile(path.c_str()));
    EXPECT_FALSE(PathExists(path + L".tmp"));

    const UINT nBucket = KeptRolloutBucket(path.c_str());
    EXPECT_LT(nBucket, kRolloutBuckets);
    EXPECT_EQ(nBucket, ReadTrustFile(path.c_str()).rolloutBucket.value_or(kRolloutBuckets));
    EXPECT_EQ(nBucket, KeptRolloutBucket(path.c_str()));
    EXPECT_EQ(2u, ReadTrustFile(path.c_str()).revokedIds.size());

    // Where no bucket can be kept, only a whole rollout reaches the installation.
    const std::wstring nowhere = UpdateFile(L"missing\\folder\\update.trust");
    EXPECT_EQ(kRolloutBuckets - 1, KeptRolloutBucket(nowhere.c_str()));
    EXPECT_FALSE(RolloutReachesInstallation(L"99.99", ECheckKind::Silent, nowhere.c_str()));
    EXPECT_TRUE(RolloutReachesInstallation(L"100", ECheckKind::Silent, nowhere.c_str()));
}

} // namespace
