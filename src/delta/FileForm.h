// How a changed file travels in a delta package: as a patch against the
// installed old file when that is smaller, else whole.
#pragma once

#include <string>
#include <string_view>

enum class FileForm { Whole, Patch };

struct FileDelta {
    FileForm form = FileForm::Whole;
    std::string patch;  // the patch, when form is Patch
};

// A patch is chosen only when it is smaller than the whole new file would
// travel compressed (the package compresses a whole file, while a patch is
// compressed already), so a patch never makes the package larger. A file a
// patch cannot be made for travels whole.
FileDelta ChooseFileForm(std::string_view oldBytes, std::string_view newBytes);
