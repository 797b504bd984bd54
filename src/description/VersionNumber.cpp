#include "description/VersionNumber.h"

#include "base/Decimal.h"

#include <array>

namespace {

std::array<int, 4> Parts(const CVersionNumber& v)
{
    return {v.nPart1, v.nPart2, v.nPart3, v.nPart4};
}

} // namespace

bool CVersionNumber::IsZero() const
{
    return Parts(*this) == std::array<int, 4>{};
}

bool CVersionNumber::IsLessThan(const CVersionNumber& other) const
{
    return Parts(*this) < Parts(other);
}

bool CVersionNumber::IsGreaterThan(const CVersionNumber& other) const
{
    return Parts(other) < Parts(*this);
}

bool IsVersionText(std::wstring_view text)
{
    size_t parts = 0;
    for (size_t start = 0;;) {
        size_t end = text.find(L'.', start);
        if (end == std::wstring_view::npos)
            end = text.size();
        ULONGLONG ignored = 0;
        if (++parts > 4 || !ParseStrictDecimal(text.substr(start, end - start), ignored, 9))
            return false;
        if (end == text.size())
            return true;
        start = end + 1;
    }
}

CVersionNumber ParseVersion(const CString& text)
{
    CVersionNumber version;
    int* const parts[] = {&version.nPart1, &version.nPart2, &version.nPart3, &version.nPart4};
    const std::vector<CString> pieces = AfxSplitString(text, L".");
    for (size_t i = 0; i < pieces.size() && i < ARRAYSIZE(parts); ++i)
        *parts[i] = ParseLenientInt32(pieces[i].Str());
    return version;
}
