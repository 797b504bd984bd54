// The header of a patch: what it is made by, the old file it applies to and
// the new file it makes (sizes and SHA-256), and the lengths of its three
// compressed streams, which follow it in this order.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

enum class PatchMethod : DWORD {
    // bsdiff's differencing; its control, difference and extra streams each one zstd frame.
    BsdiffZstd = 1,
};

struct PatchHeader {
    PatchMethod method = PatchMethod::BsdiffZstd;
    ULONGLONG oldSize = 0;
    ULONGLONG newSize = 0;
    std::array<BYTE, 32> oldSha256 = {};
    std::array<BYTE, 32> newSha256 = {};
    ULONGLONG controlBytes = 0;
    ULONGLONG diffBytes = 0;
    ULONGLONG extraBytes = 0;
};

const size_t kPatchHeaderBytes = 120;

// The largest old or new file a patch may name: bsdiff counts in 32 bits.
const ULONGLONG kPatchMaxFileBytes = 0x7FFFFFFEull;

std::string FormatPatchHeader(const PatchHeader& header);

// The header from a patch's first kPatchHeaderBytes bytes. False unless the
// marker and method are known, the sizes are within bounds and the three
// streams end exactly where a patch of patchBytes bytes ends.
bool ParsePatchHeader(std::string_view bytes, ULONGLONG patchBytes, PatchHeader& header);
