#include "description/VersionNumber.h"

#include <gtest/gtest.h>

#include <array>

namespace {

std::array<int, 4> Parts(const CVersionNumber& v)
{
    return {v.nPart1, v.nPart2, v.nPart3, v.nPart4};
}

TEST(VersionNumber, ParsesTheFirstFourPieces)
{
    const struct {
        LPCWSTR text;
        std::array<int, 4> parts;
    } cases[] = {
        {L"", {0, 0, 0, 0}},
        {L"1.2.3.4", {1, 2, 3, 4}},
        {L"1.2", {1, 2, 0, 0}},
        {L"1..2", {1, 2, 0, 0}},  // empty pieces are dropped, not read as 0
        {L".5", {5, 0, 0, 0}},
        {L"1.2.3.4.5", {1, 2, 3, 4}},
        {L"2a.x", {2, 0, 0, 0}},
        {L" -1.+7", {-1, 7, 0, 0}},
        {L"...", {0, 0, 0, 0}},
        {L"7", {7, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text '" << c.text << "'");
        const CVersionNumber v = ParseVersion(c.text);
        EXPECT_EQ(c.parts, Parts(v));
        EXPECT_EQ(c.parts == (std::array<int, 4>{}), v.IsZero());
    }
}

TEST(VersionNumber, OrdersPartByPartAsSignedNumbers)
{
    enum Order { Less, Equal, Greater };
    const struct {
        LPCWSTR left;
        LPCWSTR right;
        Order order;
    } cases[] = {
        {L"1.2.3.4", L"1.2.3.5", Less},
        {L"1.2.3.4", L"1.3", Less},
        {L"1.10", L"1.9", Greater},  // numbers, not text
        {L"-1.0", L"0.0", Less},
        {L"1.0.0.0", L"1.0.0.0", Equal},
        {L"1.0", L"1.0.0.0", Equal},
        {L"2.0", L"1.9.9.9", Greater},
        {L"0.0.0.1", L"", Greater},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << " against " << c.right);
        const CVersionNumber left = ParseVersion(c.left);
        const CVersionNumber right = ParseVersion(c.right);
        EXPECT_EQ(c.order == Less, left.IsLessThan(right));
        EXPECT_EQ(c.order == Greater, left.IsGreaterThan(right));
        EXPECT_EQ(c.order == Greater, right.IsLessThan(left));
        EXPECT_EQ(c.order == Less, right.IsGreaterThan(left));
    }
}

} // namespace
