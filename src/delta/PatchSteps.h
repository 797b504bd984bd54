// The control stream of a patch: one step per 24 bytes, as bsdiff writes them.
// A step adds diffBytes of the difference stream to as many bytes of the old
// file from its current place, copies extraBytes of the extra stream, then
// moves the place in the old file by seek. Each step is checked before any of
// it is applied, since a patch may be damaged or made to reach outside a file.
#pragma once

#include <windows.h>

#include <string_view>

struct PatchStep {
    LONGLONG diffBytes = 0;
    LONGLONG extraBytes = 0;
    LONGLONG seek = 0;
};

const size_t kPatchStepBytes = 24;

// Three numbers of eight bytes each, least significant first, the top bit the sign.
// False for a number beyond what a file of kPatchMaxFileBytes can need.
bool DecodePatchStep(std::string_view bytes, PatchStep& step);

// Where a patch stands: the next byte of the old file it reads and of the new file it writes.
struct PatchPlace {
    ULONGLONG oldPos = 0;
    ULONGLONG newPos = 0;
};

// Moves place over step. False, leaving place as it was, when the step's
// lengths are negative, it would write past newSize, read old bytes outside
// [0, oldSize), or leave the old file's place outside [0, oldSize].
bool AdvancePatchPlace(const PatchStep& step, ULONGLONG oldSize, ULONGLONG newSize, PatchPlace& place);
