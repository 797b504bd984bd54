#include "ElevatedStep.h"

#include "PackageSwap.h"
#include "ReleaseRecord.h"
#include "SwapFiles.h"
#include "SwapPaths.h"
#include "UpdateRun.h"

#include "base/CommandLine.h"
#include "base/Handles.h"
#include "base/Paths.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include <shellapi.h>

namespace {

const wchar_t kApplySwitch[] = L"/elevated-apply";
const wchar_t kRollBackSwitch[] = L"/elevated-rollback";

// Copies the package into a place that only those who may change the program
// can write, hashing what it copies: what is unpacked later is exactly what
// was hashed, whoever may write the update folder meanwhile.
bool CopyVerified(ISwapFiles& files, const std::wstring& from, const std::wstring& to, const Sha256Digest& expected)
{
    if (files.State(to) != FileState::Missing && !files.RemoveFile(to))
        return false;
    const CHandle source(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CHandle target(::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source || !target)
        return false;
    CSha256 hash;
    std::vector<char> buffer(1024 * 1024);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!::ReadFile(source.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        hash.Update(buffer.data(), read);
        if (!::WriteFile(target.Get(), buffer.data(), read, &written, nullptr) || written != read)
            return false;
    }
    Sha256Digest digest = {};
    return hash.Finish(digest) && digest == expected && ::FlushFileBuffers(target.Get());
}

int ApplyElevated(const ElevatedStep& step, ISwapFiles& files)
{
    const SwapFolders folders = InstalledSwapFolders(step.folder);
    // A swap whose release was confirmed, or whose launcher died, goes first:
    // only an elevated run may clear it in such a folder.
    FinishInterruptedSwap(files, folders);
    const std::wstring copy = VerifiedPackagePath(folders);
    bool applied = CopyVerified(files, UpdateFileIn(step.folder, kPackageFileName), copy, step.digest);
    if (!applied)
        UpdateLog(L"elevated apply: the package is not the one the launcher handed over");
    bool baseDiffers = false;
    applied = applied && StageAndSwap(files, folders, copy, AfterCommit::AwaitConfirmation, &baseDiffers);
    files.RemoveFile(copy);
    return applied ? kExitUpdated : baseDiffers ? kExitDeltaBaseDiffered : kExitExtractionFailed;
}

} // namespace

std::vector<std::wstring> ElevatedApplyArguments(const std::wstring& folder, const Sha256Digest& digest)
{
    return {kApplySwitch, folder, FormatSha256Hex(digest)};
}

std::vector<std::wstring> ElevatedRollBackArguments(const std::wstring& folder)
{
    return {kRollBackSwitch, folder};
}

ElevatedStep ParseElevatedStep(const std::vector<std::wstring>& args, const std::wstring& ownFolder)
{
    ElevatedStep step;
    if (args.size() < 2)
        return step;
    const bool apply = args[1] == kApplySwitch;
    if (!apply && args[1] != kRollBackSwitch)
        return step;
    step.kind = ElevatedKind::Refused;
    if (args.size() != (apply ? 4u : 3u))
        return step;
    // Only this very installation: a folder named by someone else would have
    // its files swapped with our rights.
    const std::wstring& folder = args[2];
    if (!IsAbsolutePath(folder) || folder.back() == L'\\' || ownFolder.empty() || !EqualIgnoringCase(folder, ownFolder))
        return step;
    if (apply && !ParseSha256Hex(args[3], step.digest))
        return step;
    step.folder = folder;
    step.kind = apply ? ElevatedKind::Apply : ElevatedKind::RollBack;
    return step;
}

int RunElevatedStep(const ElevatedStep& step, ISwapFiles& files)
{
    if (step.kind == ElevatedKind::Apply)
        return ApplyElevated(step, files);
    if (step.kind != ElevatedKind::RollBack)
        return kExitUsage;
    if (!RollBackSwappedRelease(files, InstalledSwapFolders(step.folder)))
        return kExitExtractionFailed;
    RecordRolledBack(step.folder);
    return kExitUpdated;
}

bool MayWriteFolder(const std::wstring& folder)
{
    const std::wstring probe = JoinPath(folder, L"update-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                                    std::to_wstring(::GetTickCount64()) + L".tmp");
    // Deleted as the handle closes: nothing is left even if we die here.
    const CHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

ElevationResult RunElevated(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD& exitCode)
{
    std::wstring parameters;
    for (const std::wstring& argument : arguments)
        parameters += (parameters.empty() ? L"" : L" ") + QuoteArgument(argument);
    const std::wstring folder = FolderOf(program);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info))
        return ::GetLastError() == ERROR_CANCELLED ? ElevationResult::Declined : ElevationResult::Failed;
    const CHandle process(info.hProcess);
    if (!process || ::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.Get(), &exitCode))
        return ElevationResult::Failed;
    return ElevationResult::Done;
}

bool FileDigest(const std::wstring& path, Sha256Digest& digest)
{
    CSwapFiles files;
    FileFingerprint print;
    if (!files.Fingerprint(path, print))
        return false;
    digest = print.digest;
    return true;
}
