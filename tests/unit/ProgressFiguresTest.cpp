#include "framework/AfxString.h"

#include "base/Decimal.h"
#include "manager/ProgressFigures.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

constexpr ULONGLONG kGiB = 1ull << 30;

TEST(ProgressFigures, APackageOver2GiBIsCountedInUnitsThatFitAndReadBackInBytes)
{
    const struct {
        ULONGLONG received, total;
        CProgressFigures figures;
    } cases[] = {
        {4096, 10000, {4096, 10000, 0}},                     // bytes, as always
        {INT_MAX, INT_MAX, {INT_MAX, INT_MAX, 0}},
        {kGiB, 2 * kGiB, {static_cast<int>(kGiB / 2), static_cast<int>(kGiB), 1}},
        {3 * kGiB, 3 * kGiB, {static_cast<int>(3 * kGiB / 2), static_cast<int>(3 * kGiB / 2), 1}},
        {0, 40 * kGiB, {0, static_cast<int>(40 * kGiB / 32), 5}},
        {5 * kGiB, 0, {static_cast<int>(5 * kGiB / 4), 0, 2}},  // no total: the count chooses the unit
        {5 * kGiB, 3 * kGiB, {INT_MAX, static_cast<int>(3 * kGiB / 2), 1}},  // more than stated: held at the end of the bar
        {~0ull, ~0ull, {INT_MAX, INT_MAX, 33}},
    };
    for (const auto& c : cases) {
        const CProgressFigures f = ScaleProgress(c.received, c.total);
        EXPECT_EQ(f.nReceived, c.figures.nReceived) << c.received << " of " << c.total;
        EXPECT_EQ(f.nTotal, c.figures.nTotal) << c.received << " of " << c.total;
        EXPECT_EQ(f.nShift, c.figures.nShift) << c.received << " of " << c.total;
        EXPECT_LE(c.total - ProgressBytes(f.nTotal, f.nShift), (1ull << f.nShift) - 1) << c.total;
    }
    // Figures from elsewhere that are no size.
    EXPECT_EQ(ProgressBytes(-1, 0), 0u);
    EXPECT_EQ(ProgressBytes(100, -1), 0u);
    EXPECT_EQ(ProgressBytes(100, 34), 0u);

    // The stated size, read as the integer keys are but without their 32-bit bound.
    EXPECT_EQ(ParseLenientSize(L" 3221225472"), 3 * kGiB);
    EXPECT_EQ(ParseLenientSize(L"+12345 bytes"), 12345u);
    EXPECT_EQ(ParseLenientSize(L"99999999999999999999999"), ~0ull);
    EXPECT_EQ(ParseLenientSize(L"-5"), 0u);
    EXPECT_EQ(ParseLenientSize(L"size"), 0u);
}

} // namespace
