// A delta package in staging: before the swap, each patched file is made from
// the program's own old file and its patch, and every file is checked against
// the package's list (delta/DeltaList.h). Nothing of the program is touched here.
#pragma once

#include "PackageSwap.h"

#include "delta/DeltaList.h"

#include <vector>

// The package carries a delta list.
bool IsDeltaPackage(const std::vector<CabinetEntry>& entries);

// A list that may be acted on: each path once, one the launcher may place and
// outside the list's own folder; a whole file in the package with the listed
// size; a patch in the package for each patched file, which itself is not;
// and nothing in the package that the list does not account for.
bool CheckDeltaList(const std::vector<DeltaEntry>& list, const std::vector<CabinetEntry>& entries,
                    const SwapFolders& folders);

enum class DeltaStaging {
    Ready,        // staging holds exactly the new files, each as the list names it
    Refused,      // the list or a patch is not what it must be
    BaseDiffers,  // a file a patch applies to is not the one it was made from
};

// For a package that IsDeltaPackage, after it was unpacked into staging:
// makes the new files and leaves staging holding them alone (listed in staged).
DeltaStaging StageDelta(ISwapFiles& files, const SwapFolders& folders, const std::vector<CabinetEntry>& entries,
                        std::vector<StagedFile>& staged);
