#include "delta/PatchSteps.h"

#include "delta/PatchHeader.h"

namespace {

bool DecodeNumber(std::string_view bytes, LONGLONG& value)
{
    ULONGLONG magnitude = 0;
    for (int i = 7; i >= 0; --i)
        magnitude = (magnitude << 8) | static_cast<BYTE>(bytes[i]);
    const bool negative = (magnitude >> 63) != 0;
    magnitude &= ~(1ull << 63);
    if (magnitude > kPatchMaxFileBytes)
        return false;
    value = negative ? -static_cast<LONGLONG>(magnitude) : static_cast<LONGLONG>(magnitude);
    return true;
}

} // namespace

bool DecodePatchStep(std::string_view bytes, PatchStep& step)
{
    PatchStep decoded;
    if (bytes.size() != kPatchStepBytes || !DecodeNumber(bytes.substr(0, 8), decoded.diffBytes) ||
        !DecodeNumber(bytes.substr(8, 8), decoded.extraBytes) || !DecodeNumber(bytes.substr(16, 8), decoded.seek))
        return false;
    step = decoded;
    return true;
}

bool AdvancePatchPlace(const PatchStep& step, ULONGLONG oldSize, ULONGLONG newSize, PatchPlace& place)
{
    // Every number is at most kPatchMaxFileBytes in size, so these sums cannot wrap.
    if (step.diffBytes < 0 || step.extraBytes < 0)
        return false;
    const ULONGLONG diff = static_cast<ULONGLONG>(step.diffBytes);
    const ULONGLONG extra = static_cast<ULONGLONG>(step.extraBytes);
    if (place.newPos + diff + extra > newSize || place.oldPos + diff > oldSize)
        return false;
    const LONGLONG oldPos = static_cast<LONGLONG>(place.oldPos + diff) + step.seek;
    if (oldPos < 0 || static_cast<ULONGLONG>(oldPos) > oldSize)
        return false;
    place.newPos += diff + extra;
    place.oldPos = static_cast<ULONGLONG>(oldPos);
    return true;
}
