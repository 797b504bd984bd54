#include "delta/PatchHeader.h"

namespace {

const char kMarker[8] = {'U', 'P', 'D', 'P', 'A', 'T', 'C', 'H'};

void PutNumber(std::string& out, ULONGLONG value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

ULONGLONG GetNumber(std::string_view bytes, size_t offset, int count)
{
    ULONGLONG value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<BYTE>(bytes[offset + i]);
    return value;
}

} // namespace

std::string FormatPatchHeader(const PatchHeader& header)
{
    std::string out(kMarker, sizeof kMarker);
    PutNumber(out, static_cast<DWORD>(header.method), 4);
    PutNumber(out, 0, 4);
    PutNumber(out, header.oldSize, 8);
    PutNumber(out, header.newSize, 8);
    out.append(reinterpret_cast<const char*>(header.oldSha256.data()), header.oldSha256.size());
    out.append(reinterpret_cast<const char*>(header.newSha256.data()), header.newSha256.size());
    PutNumber(out, header.controlBytes, 8);
    PutNumber(out, header.diffBytes, 8);
    PutNumber(out, header.extraBytes, 8);
    return out;
}

bool ParsePatchHeader(std::string_view bytes, ULONGLONG patchBytes, PatchHeader& header)
{
    if (bytes.size() < kPatchHeaderBytes || bytes.substr(0, sizeof kMarker) != std::string_view(kMarker, sizeof kMarker))
        return false;
    PatchHeader parsed;
    parsed.method = static_cast<PatchMethod>(GetNumber(bytes, 8, 4));
    if (parsed.method != PatchMethod::BsdiffZstd || GetNumber(bytes, 12, 4) != 0)
        return false;
    parsed.oldSize = GetNumber(bytes, 16, 8);
    parsed.newSize = GetNumber(bytes, 24, 8);
    for (size_t i = 0; i < 32; ++i) {
        parsed.oldSha256[i] = static_cast<BYTE>(bytes[32 + i]);
        parsed.newSha256[i] = static_cast<BYTE>(bytes[64 + i]);
    }
    parsed.controlBytes = GetNumber(bytes, 96, 8);
    parsed.diffBytes = GetNumber(bytes, 104, 8);
    parsed.extraBytes = GetNumber(bytes, 112, 8);
    if (parsed.oldSize > kPatchMaxFileBytes || parsed.newSize > kPatchMaxFileBytes)
        return false;
    if (patchBytes < kPatchHeaderBytes)
        return false;
    // Each length is taken from what is left, so that no sum can wrap around.
    ULONGLONG rest = patchBytes - kPatchHeaderBytes;
    for (ULONGLONG length : {parsed.controlBytes, parsed.diffBytes, parsed.extraBytes}) {
        if (length > rest)
            return false;
        rest -= length;
    }
    if (rest != 0)
        return false;
    header = parsed;
    return true;
}
