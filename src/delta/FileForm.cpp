#include "delta/FileForm.h"

#include "delta/PatchMake.h"
#include "delta/ZstdFrames.h"

namespace {

// Quick, and no worse than the package's own compression of a whole file.
const int kWholeEstimateLevel = 3;

} // namespace

FileDelta ChooseFileForm(std::string_view oldBytes, std::string_view newBytes)
{
    FileDelta delta;
    std::string patch, whole;
    if (!MakePatch(oldBytes, newBytes, patch))
        return delta;
    const size_t wholeBytes = CompressFrame(newBytes, kWholeEstimateLevel, whole) ? whole.size() : newBytes.size();
    if (patch.size() < wholeBytes) {
        delta.form = FileForm::Patch;
        delta.patch.swap(patch);
    }
    return delta;
}
