#include "DeltaPackage.h"

#include "FileBytes.h"
#include "PublishError.h"

#include "delta/PatchHeader.h"

#include <memory>

namespace {

Sha256Digest DigestOf(const std::wstring& path, const std::string& bytes)
{
    Sha256Digest digest;
    if (!Sha256Of(bytes.data(), bytes.size(), digest))
        Fail(path, L"the platform could not hash it");
    return digest;
}

// The list's date: the newest of its files, so that it changes only with them.
FILETIME NewestOf(const std::vector<DeltaSource>& sources)
{
    FILETIME newest = {};
    for (const DeltaSource& source : sources) {
        if (::CompareFileTime(&source.lastWrite, &newest) > 0)
            newest = source.lastWrite;
    }
    return newest;
}

} // namespace

DeltaPlan PlanDelta(const std::vector<DeltaSource>& sources)
{
    DeltaPlan plan;
    for (const DeltaSource& source : sources) {
        const std::string newBytes = ReadWholeFile(source.newPath, static_cast<size_t>(kPatchMaxFileBytes));
        DeltaEntry entry;
        entry.path = source.name;
        entry.newSize = newBytes.size();
        entry.newSha256 = DigestOf(source.newPath, newBytes);
        FileDelta delta;
        if (!source.oldPath.empty()) {
            const std::string oldBytes = ReadWholeFile(source.oldPath, static_cast<size_t>(kPatchMaxFileBytes));
            delta = ChooseFileForm(oldBytes, newBytes);
            if (delta.form == FileForm::Patch)
                entry.oldSha256 = DigestOf(source.oldPath, oldBytes);
        }
        entry.form = delta.form;
        plan.entries.push_back(entry);
        plan.patches.push_back(std::move(delta.patch));
    }
    return plan;
}

void WriteDeltaPackage(const std::wstring& cabinet, const std::vector<DeltaSource>& sources, const DeltaPlan& plan)
{
    // The list and the patches wait beside the package until it is written, then go.
    std::vector<std::unique_ptr<CPendingFile>> pending;
    auto stage = [&](const std::wstring& suffix, const std::string& bytes) {
        pending.push_back(std::make_unique<CPendingFile>(cabinet + suffix));
        WriteFileAtomically(pending.back()->Path(), bytes, true);
        return pending.back()->Path();
    };
    std::vector<CabinetFile> files;
    files.push_back(CabinetFile{stage(L".list", FormatDeltaList(plan.entries)), kDeltaListName, NewestOf(sources)});
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        if (plan.entries[i].form == FileForm::Patch)
            files.push_back(CabinetFile{stage(L"." + std::to_wstring(i) + L".patch", plan.patches[i]), DeltaPatchName(i),
                                        sources[i].lastWrite});
        else
            files.push_back(CabinetFile{sources[i].newPath, sources[i].name, sources[i].lastWrite});
    }
    WriteCabinet(cabinet, files);
}
