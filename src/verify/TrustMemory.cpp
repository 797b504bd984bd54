#include "verify/TrustMemory.h"

#include "base/Decimal.h"

#include "verify/Base64.h"
#include "verify/ProfileSection.h"
#include "verify/TrustKey.h"
#include "verify/TrustStatement.h"

#include <algorithm>

namespace {

const char kSection[] = "Remembered";

std::vector<std::string_view> SplitList(std::string_view text)
{
    std::vector<std::string_view> items;
    while (!text.empty()) {
        const std::string_view item = text.substr(0, text.find(','));
        if (!item.empty())
            items.push_back(item);
        text.remove_prefix(std::min(text.size(), item.size() + 1));
    }
    return items;
}

std::vector<std::wstring> ReadKeys(const SectionValues& values, const char* key)
{
    std::vector<std::wstring> keys;
    if (const std::string* list = FindSectionValue(values, key)) {
        for (std::string_view text : SplitList(*list)) {
            if (IsCanonicalBase64(text))
                keys.push_back(WidenAscii(text));
        }
    }
    return keys;
}

// Digits only, and a number that fits; nothing else.
std::optional<ULONGLONG> ReadNumber(const SectionValues& values, const char* key, ULONGLONG nLimit)
{
    const std::string* text = FindSectionValue(values, key);
    ULONGLONG n = 0;
    if (!text || !ParseStrictDecimal(std::string_view(*text), n) || n > nLimit)
        return std::nullopt;
    return n;
}

std::string JoinKeys(const std::vector<std::wstring>& keys)
{
    std::string text;
    for (const std::wstring& key : keys) {
        std::string ascii;
        if (NarrowAscii(key, ascii))
            text += (text.empty() ? "" : ",") + ascii;
    }
    return text;
}

} // namespace

bool TrustMemory::operator==(const TrustMemory& other) const
{
    return roots == other.roots && retiredRoots == other.retiredRoots && revokedIds == other.revokedIds &&
           highestSerial == other.highestSerial && rolloutBucket == other.rolloutBucket;
}

TrustMemory ParseTrustMemory(std::string_view fileBytes)
{
    TrustMemory memory;
    SectionValues values;
    // Twice the section or a key is no file of ours: nothing of it is taken.
    if (ReadProfileSection(fileBytes, kSection, values) != SectionRead::Read)
        return memory;
    memory.roots = ReadKeys(values, "Roots");
    memory.retiredRoots = ReadKeys(values, "RetiredRoots");
    if (const std::string* list = FindSectionValue(values, "Revoked")) {
        for (std::string_view id : SplitList(*list)) {
            if (IsTrustIdentifier(id) && !ContainsTrustIdentifier(memory.revokedIds, id))
                memory.revokedIds.emplace_back(id);
        }
    }
    memory.highestSerial = ReadNumber(values, "Serial", kMaxSerial);
    if (const std::optional<ULONGLONG> bucket = ReadNumber(values, "Bucket", kRolloutBuckets - 1))
        memory.rolloutBucket = static_cast<UINT>(*bucket);
    return memory;
}

TrustMemory MergeTrustMemory(const TrustMemory& current, const TrustMemory& learnt)
{
    TrustMemory merged = current;
    auto addKeys = [](std::vector<std::wstring>& keys, const std::vector<std::wstring>& more) {
        for (const std::wstring& key : more) {
            if (std::find(keys.begin(), keys.end(), key) == keys.end())
                keys.push_back(key);
        }
    };
    addKeys(merged.retiredRoots, learnt.retiredRoots);
    addKeys(merged.roots, learnt.roots);
    merged.roots.erase(std::remove_if(merged.roots.begin(), merged.roots.end(),
                                      [&](const std::wstring& root) {
                                          return std::find(merged.retiredRoots.begin(), merged.retiredRoots.end(),
                                                           root) != merged.retiredRoots.end();
                                      }),
                       merged.roots.end());
    for (const std::string& id : learnt.revokedIds) {
        if (!ContainsTrustIdentifier(merged.revokedIds, id))
            merged.revokedIds.push_back(id);
    }
    if (learnt.highestSerial && (!merged.highestSerial || *merged.highestSerial < *learnt.highestSerial))
        merged.highestSerial = learnt.highestSerial;
    if (!merged.rolloutBucket)
        merged.rolloutBucket = learnt.rolloutBucket;
    return merged;
}

std::string FormatTrustMemory(const TrustMemory& memory)
{
    std::string text = "; What this installation has learnt of its publisher's keys. Written by the update\r\n"
                       "; library alone; a description never changes it.\r\n[Remembered]\r\n";
    if (!memory.roots.empty())
        text += "Roots=" + JoinKeys(memory.roots) + "\r\n";
    if (!memory.retiredRoots.empty())
        text += "RetiredRoots=" + JoinKeys(memory.retiredRoots) + "\r\n";
    if (!memory.revokedIds.empty()) {
        text += "Revoked=";
        for (size_t i = 0; i < memory.revokedIds.size(); ++i)
            text += (i ? "," : "") + memory.revokedIds[i];
        text += "\r\n";
    }
    if (memory.highestSerial)
        text += "Serial=" + std::to_string(*memory.highestSerial) + "\r\n";
    if (memory.rolloutBucket)
        text += "Bucket=" + std::to_string(*memory.rolloutBucket) + "\r\n";
    return text;
}
