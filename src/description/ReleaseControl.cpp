#include "description/ReleaseControl.h"

#include "base/CngHandle.h"
#include "verify/TrustMemory.h"

namespace {

bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

bool SameVersion(const CVersionNumber& a, const CVersionNumber& b)
{
    return !a.IsLessThan(b) && !a.IsGreaterThan(b);
}

} // namespace

bool IsChannelName(const CString& channel)
{
    const std::wstring& text = channel.Str();
    if (text.empty() || text.size() > 32)
        return false;
    for (wchar_t ch : text) {
        if (!(IsDigit(ch) || (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || ch == L'-' || ch == L'_'))
            return false;
    }
    return true;
}

CString ClientSectionName(const CString& client, const CString& channel)
{
    CString section = L"OEMClient_" + client;
    if (!channel.IsEmpty())
        section += L"@" + channel;
    return section;
}

CString ChooseClientSection(const CString& client, const CString& channel, bool bChannelSectionExists)
{
    // A channel name that cannot be a section's part is no channel: the default.
    if (!IsChannelName(channel) || !bChannelSectionExists)
        return ClientSectionName(client, CString());
    return ClientSectionName(client, channel);
}

bool ParseRolloutPercent(const CString& text, UINT& nHundredths)
{
    const std::wstring& s = text.Str();
    const size_t dot = s.find(L'.');
    const std::wstring whole = s.substr(0, dot);
    const std::wstring fraction = dot == std::wstring::npos ? std::wstring() : s.substr(dot + 1);
    if (whole.empty() || whole.size() > 3 || (dot != std::wstring::npos && (fraction.empty() || fraction.size() > 2)))
        return false;
    UINT n = 0;
    for (wchar_t ch : whole + fraction + std::wstring(2 - fraction.size(), L'0')) {
        if (!IsDigit(ch))
            return false;
        n = n * 10 + static_cast<UINT>(ch - L'0');
    }
    if (n > kRolloutBuckets)
        return false;
    nHundredths = n;
    return true;
}

bool RolloutOffers(const CString& rolloutText, UINT nBucket, ECheckKind kind)
{
    if (rolloutText.IsEmpty())
        return true;
    UINT nHundredths = 0;
    if (!ParseRolloutPercent(rolloutText, nHundredths) || nHundredths == 0)
        return false;
    return kind == ECheckKind::Interactive || nBucket < nHundredths;
}

bool DrawRolloutBucket(UINT& nBucket)
{
    CAlgorithmHandle generator = OpenAlgorithm(BCRYPT_RNG_ALGORITHM);
    if (!generator)
        return false;
    // The values beyond the last whole multiple of the bucket count would
    // favour the low buckets: they are drawn again.
    const ULONG kLimit = 0xFFFFFFFFUL - 0xFFFFFFFFUL % kRolloutBuckets;
    for (;;) {
        ULONG value = 0;
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(generator.Get(), reinterpret_cast<PUCHAR>(&value), sizeof(value), 0)))
            return false;
        if (value < kLimit) {
            nBucket = value % kRolloutBuckets;
            return true;
        }
    }
}

bool ParseRecallList(const CString& text, std::vector<CVersionNumber>& versions)
{
    std::vector<CVersionNumber> parsed;
    const std::wstring& s = text.Str();
    for (size_t start = 0; start <= s.size();) {
        size_t end = s.find(L',', start);
        if (end == std::wstring::npos)
            end = s.size();
        const std::wstring version = s.substr(start, end - start);
        if (!IsVersionText(version))
            return false;
        parsed.push_back(ParseVersion(CString(version)));
        start = end + 1;
    }
    versions.swap(parsed);
    return true;
}

bool IsRecalled(const CString& installedVersion, const CString& offeredVersion, const CString& recallText,
                bool bSignedDescription)
{
    std::vector<CVersionNumber> recalled;
    // Only the publisher's signature may send an installation back: unsigned,
    // anyone on the way could downgrade it to a release with known faults.
    if (!bSignedDescription || recallText.IsEmpty() || !ParseRecallList(recallText, recalled))
        return false;
    const CVersionNumber installed = ParseVersion(installedVersion);
    if (!ParseVersion(offeredVersion).IsLessThan(installed))
        return false;
    for (const CVersionNumber& version : recalled) {
        if (SameVersion(version, installed))
            return true;
    }
    return false;
}
