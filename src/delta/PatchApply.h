// Applying a patch: the new file is made from the installed old file and the
// patch, as it is read, so that memory stays small whatever the files' sizes.
#pragma once

#include <string>

enum class PatchResult {
    Applied,
    // The old file is missing, or not the size and SHA-256 the patch was made
    // from (a person or a program changed it); nothing was written.
    OldFileDiffers,
    // Not a patch, or one that does not make the new file it names; no new file is left.
    PatchDamaged,
    // A file could not be opened, read or written; no new file is left.
    Failed,
};

// Makes newPath, which must not exist yet, from oldPath and patchPath. The old
// file is checked against the patch before anything is written, and kept from
// writers until the end; the new file is checked against the patch's SHA-256
// and flushed to the disk before Applied is returned.
PatchResult ApplyPatch(const std::wstring& oldPath, const std::wstring& patchPath, const std::wstring& newPath);
