// What an installation remembers of trust: kept in a file of its own in the
// update folder (kTrustFileName), which no description can write (a settings
// item, a package and a deletion list never reach the update folder), and
// changed only through the chain rules.
//
//   [Remembered]
//   Roots=<key>,...          roots moved to by a rotation
//   RetiredRoots=<key>,...   roots left by a rotation: never trusted again
//   Revoked=<id>,...         every revoked certificate identifier seen
//   Serial=<n>               the highest serial acted on
//   Bucket=<0..9999>         the rollout bucket, drawn once
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A rollout bucket is one of 0 .. 9999: a percentage to two decimals.
inline constexpr UINT kRolloutBuckets = 10000;
// A serial has at most 18 digits.
inline constexpr ULONGLONG kMaxSerial = 999999999999999999ULL;

struct TrustMemory {
    std::vector<std::wstring> roots;         // canonical key texts
    std::vector<std::wstring> retiredRoots;
    std::vector<std::string> revokedIds;
    std::optional<ULONGLONG> highestSerial;
    std::optional<UINT> rolloutBucket;

    bool operator==(const TrustMemory& other) const;
    bool operator!=(const TrustMemory& other) const { return !(*this == other); }
};

// The file's text. An entry that does not read is left out and the rest kept:
// a damaged file loses what it lost, never more.
TrustMemory ParseTrustMemory(std::string_view fileBytes);
std::string FormatTrustMemory(const TrustMemory& memory);

// What another process wrote meanwhile (current) joined with what this one
// learnt from an older read: nothing either knows is lost. Every revocation and
// every root left stays, a root left by either is trusted by neither, the
// higher serial counts, and a bucket once kept is never drawn again.
TrustMemory MergeTrustMemory(const TrustMemory& current, const TrustMemory& learnt);
