#include "description/VersionNumber.h"

#include "install/FileManager.h"

#include <array>
#include <cstdlib>

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

CVersionNumber ParseVersion(const CString& text)
{
    CVersionNumber version;
    int* const parts[] = {&version.nPart1, &version.nPart2, &version.nPart3, &version.nPart4};
    const std::vector<CString> pieces = CFileManager::SplitString(text, L".");
    for (size_t i = 0; i < pieces.size() && i < ARRAYSIZE(parts); ++i)
        *parts[i] = ::_wtoi(pieces[i]);
    return version;
}
