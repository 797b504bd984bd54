// Which release an installation is offered: channel, staged rollout, recall.
#include "description/ReleaseControl.h"
#include "verify/TrustMemory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

TEST(ReleaseControl, RolloutRuleForEachKindOfCheck)
{
    const struct {
        const wchar_t* rollout;
        UINT bucket;
        bool silent;
        bool interactive;
    } cases[] = {
        {L"", 9999, true, true},  // no rollout: as always
        {L"100", 9999, true, true},
        {L"10", 999, true, true},
        {L"10", 1000, false, true},
        {L"12.5", 1249, true, true},
        {L"12.50", 1250, false, true},
        {L"0.01", 0, true, true},
        {L"0", 0, false, false},  // halted for every check
        {L"0.00", 0, false, false},
        // What does not read halts too.
        {L"50%", 0, false, false},
        {L"100.01", 0, false, false},
        {L"-5", 0, false, false},
        {L"1.234", 0, false, false},
        {L"5.", 0, false, false},
        {L" 5", 0, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.silent, RolloutOffers(c.rollout, c.bucket, ECheckKind::Silent)) << c.rollout << " " << c.bucket;
        EXPECT_EQ(c.interactive, RolloutOffers(c.rollout, c.bucket, ECheckKind::Interactive)) << c.rollout;
    }
}

TEST(ReleaseControl, RolloutReachesItsShareOfTenThousandInstallations)
{
    // The installations draw their buckets as the library does; the tenths of
    // the range are each within 2 points of a tenth (over six standard
    // deviations: a fair draw never fails this).
    std::vector<UINT> drawn(10000);
    std::vector<size_t> tenths(10);
    for (UINT& bucket : drawn) {
        ASSERT_TRUE(DrawRolloutBucket(bucket));
        ASSERT_LT(bucket, kRolloutBuckets);
        ++tenths[bucket * 10 / kRolloutBuckets];
    }
    for (size_t count : tenths)
        EXPECT_NEAR(1000.0, static_cast<double>(count), 200.0);

    // The share offered, over installations whose buckets are spread as a
    // fair draw spreads them but the same on every run, so that the 1-point
    // bound is a check and not a chance.
    std::mt19937 generator(25);
    std::uniform_int_distribution<UINT> spread(0, kRolloutBuckets - 1);
    std::vector<UINT> buckets(10000);
    for (UINT& bucket : buckets)
        bucket = spread(generator);
    for (const wchar_t* percent : {L"1", L"10", L"50"}) {
        size_t offered = 0, interactive = 0;
        for (UINT bucket : buckets) {
            offered += RolloutOffers(percent, bucket, ECheckKind::Silent);
            interactive += RolloutOffers(percent, bucket, ECheckKind::Interactive);
        }
        const double share = 100.0 * static_cast<double>(offered) / static_cast<double>(buckets.size());
        std::printf("rollout %ls%%: %.2f%% of 10,000 installations offered in a silent check\n", percent, share);
        EXPECT_LE(std::fabs(share - _wtof(percent)), 1.0) << percent;
        EXPECT_EQ(buckets.size(), interactive) << percent;
    }
}

TEST(ReleaseControl, ChannelSectionOrTheDefault)
{
    const struct {
        const wchar_t* channel;
        bool exists;
        const wchar_t* expected;
    } cases[] = {
        {L"", false, L"OEMClient_Demo"},
        {L"beta", true, L"OEMClient_Demo@beta"},
        {L"beta", false, L"OEMClient_Demo"},  // a channel without a release of its own takes the default's
        {L"Nightly_2-x", true, L"OEMClient_Demo@Nightly_2-x"},
        {L"be]ta", true, L"OEMClient_Demo"},  // no name that could end or open a section
        {L"beta\r\n[OEMClient_Demo", true, L"OEMClient_Demo"},
        {L"a@b", true, L"OEMClient_Demo"},
        {L"\u03B2", true, L"OEMClient_Demo"},
        {L"123456789012345678901234567890123", true, L"OEMClient_Demo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.expected), ChooseClientSection(L"Demo", c.channel, c.exists)) << c.channel;
}

TEST(ReleaseControl, RecallSendsOnlyTheRecalledVersionBackAndOnlyWhenSigned)
{
    const struct {
        const wchar_t* installed;
        const wchar_t* offered;
        const wchar_t* recall;
        bool bSigned;
        bool expected;
    } cases[] = {
        {L"2.1", L"2.0.3", L"2.1", true, true},
        {L"2.1.0.0", L"2.0.3", L"2.0.9,2.1", true, true},
        {L"2.0.3", L"2.0.3", L"2.1", true, false},  // the good version stays
        {L"2.0.5", L"2.0.3", L"2.1", true, false},  // not recalled: never downgraded
        {L"2.1", L"2.0.3", L"2.1", false, false},   // unsigned
        {L"2.1", L"2.2", L"2.1", true, false},      // an upgrade is no recall
        {L"2.1", L"2.1", L"2.1", true, false},
        {L"2.1", L"2.0.3", L"", true, false},
        {L"2.1", L"2.0.3", L"2.1,", true, false},   // a list that does not read recalls nothing
        {L"2.1", L"2.0.3", L"2.1 ", true, false},
        {L"2.1", L"2.0.3", L"v2.1", true, false},
        {L"2.1", L"2.0.3", L"2.1.0.0.0", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, IsRecalled(c.installed, c.offered, c.recall, c.bSigned))
            << c.installed << " offered " << c.offered << " recall " << c.recall;
}

} // namespace
