// The delta package: each changed file as a patch against the older
// release's file when that is smaller, else whole, with the list that says
// which (delta/DeltaList.h). The launcher makes the new files from it.
#pragma once

#include "Cabinet.h"

#include "delta/DeltaList.h"

#include <string>
#include <vector>

struct DeltaSource {
    std::wstring name;     // relative, as in the package
    std::wstring oldPath;  // the older release's file; empty for a file the new release adds
    std::wstring newPath;
    FILETIME lastWrite = {};
};

struct DeltaPlan {
    std::vector<DeltaEntry> entries;   // in the order of the sources
    std::vector<std::string> patches;  // beside each entry; empty for a whole file
};

// Reads the files and chooses each one's form; throws naming a file that cannot be read.
DeltaPlan PlanDelta(const std::vector<DeltaSource>& sources);

// Writes the plan's package; the same sources give the same bytes.
void WriteDeltaPackage(const std::wstring& cabinet, const std::vector<DeltaSource>& sources, const DeltaPlan& plan);
