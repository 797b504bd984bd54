#include "LauncherSteps.h"

#include "HostProcess.h"
#include "LaunchRequest.h"
#include "LauncherMessage.h"
#include "PackageSwap.h"
#include "ProcessStart.h"
#include "update.h"

#include "ReleaseRecord.h"

#include "base/Paths.h"
#include "base/UpdateConfirmation.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include <cwchar>

namespace {

// The longest command line CreateProcessW accepts.
const int kMaxCommandLength = 32768;

} // namespace

CLauncherSteps::CLauncherSteps(const std::vector<std::wstring>& args, const CHostProcess& host, bool silent)
    : m_args(args), m_host(host), m_silent(silent), m_folders(InstalledSwapFolders(ModuleFolder(nullptr)))
{
}

void CLauncherSteps::RecoverInterruptedSwap()
{
    // update.exe lives beside update.dll, whose folder is the program folder,
    // and the library keeps its package in its update folder there.
    FinishInterruptedSwap(m_files, m_folders);
}

namespace {

HRESULT RunUpdateMain(const std::vector<std::wstring>& args)
{
    std::vector<LPCWSTR> argv;
    for (const std::wstring& arg : args)
        argv.push_back(arg.c_str());
    return ::UpdateMain(argv.data(), static_cast<int>(argv.size()));
}

} // namespace

HRESULT CLauncherSteps::RunUpdate()
{
    return RunUpdateMain(LibraryArguments(m_args, LibraryRound::First));
}

HRESULT CLauncherSteps::RunFullUpdate()
{
    return RunUpdateMain(LibraryArguments(m_args, LibraryRound::FullPackage));
}

HRESULT CLauncherSteps::GetExtractionCommand(std::wstring& command)
{
    // GetUpdates does nothing while the buffer is too small, so asking again is safe.
    for (int length = 1024; length <= kMaxCommandLength; length *= 2) {
        std::vector<wchar_t> buffer(static_cast<size_t>(length));
        const HRESULT hr = ::GetUpdates(buffer.data(), length);
        if (hr == DISP_E_BUFFERTOOSMALL)
            continue;
        if (FAILED(hr))
            return hr;
        command.assign(buffer.data(), std::wcslen(buffer.data()));
        return S_OK;
    }
    return DISP_E_BUFFERTOOSMALL;
}

bool CLauncherSteps::WaitForHostExit(DWORD waitMs)
{
    return m_host.WaitForExit(waitMs);
}

bool CLauncherSteps::FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CLauncherSteps::MayWriteFolder(const std::wstring& folder)
{
    return ::MayWriteFolder(folder);
}

bool CLauncherSteps::ApplyPackage(const ExtractionTarget& target)
{
    m_folders = SwapFoldersFor(target.folder, FolderOf(target.package));
    return StageAndSwap(m_files, m_folders, target.package, AfterCommit::AwaitConfirmation, &m_bDeltaBaseDiffered,
                        &m_heldFile);
}

ElevationResult CLauncherSteps::ApplyElevated(const ExtractionTarget& target)
{
    // The elevated step applies only the installed layout, in its own folder.
    m_folders = InstalledSwapFolders(target.folder);
    m_bDeltaBaseDiffered = false;
    Sha256Digest digest = {};
    if (!EqualIgnoringCase(target.folder, m_folders.program) ||
        !EqualIgnoringCase(target.package, UpdateFileIn(m_folders.program, kPackageFileName)) ||
        !FileDigest(target.package, digest))
        return ElevationResult::Failed;
    DWORD exitCode = 0;
    const ElevationResult result =
        RunElevated(JoinPath(m_folders.program, L"update.exe"), ElevatedApplyArguments(m_folders.program, digest), exitCode);
    m_bDeltaBaseDiffered = result == ElevationResult::Done && exitCode == kExitDeltaBaseDiffered;
    return result == ElevationResult::Done && exitCode != kExitUpdated ? ElevationResult::Failed : result;
}

bool CLauncherSteps::ReadConfirmDeadline(DWORD& seconds)
{
    return ::ReadConfirmDeadline(m_folders.program, seconds);
}

NewHostWatch CLauncherSteps::StartAndWatch(const std::wstring& program, const std::wstring& commandLine, DWORD waitMs)
{
    NewHostWatch watch;
    // Made before the host starts, so that no confirmation can come too early.
    const CHandle confirmed(::CreateEventW(nullptr, TRUE, FALSE, ConfirmationEventName(m_folders.program).c_str()));
    if (confirmed)
        ::ResetEvent(confirmed.Get());  // one made before us may have been set by anyone
    const std::wstring folder = FolderOf(program);
    CStartedProcess started;
    if (!confirmed || StartProcess(program.c_str(), commandLine, folder.empty() ? nullptr : folder.c_str(), started) != 0)
        return watch;
    watch.started = true;
    const HANDLE waited[] = {confirmed.Get(), started.process.Get()};
    ::WaitForMultipleObjects(2, waited, FALSE, waitMs);
    // A host that confirmed and then ended counts as confirmed.
    watch.confirmed = ::WaitForSingleObject(confirmed.Get(), 0) == WAIT_OBJECT_0;
    watch.ended = !watch.confirmed && ::WaitForSingleObject(started.process.Get(), 0) == WAIT_OBJECT_0 &&
                  ::GetExitCodeProcess(started.process.Get(), &watch.exitCode);
    m_newHost = std::move(started.process);
    return watch;
}

void CLauncherSteps::EndNewHost()
{
    if (!m_newHost)
        return;
    ::TerminateProcess(m_newHost.Get(), ERROR_TIMEOUT);
    ::WaitForSingleObject(m_newHost.Get(), kHostExitWaitMs);
}

void CLauncherSteps::KeepNewRelease()
{
    // In a folder this process may not change, the journal cannot be opened:
    // the next elevated apply clears what is left.
    KeepSwappedRelease(m_files, m_folders);
}

bool CLauncherSteps::RollBackRelease(bool elevated)
{
    if (!elevated) {
        if (!RollBackSwappedRelease(m_files, m_folders))
            return false;
        RecordRolledBack(m_folders.program);
        return true;
    }
    DWORD exitCode = 0;
    return RunElevated(JoinPath(m_folders.program, L"update.exe"), ElevatedRollBackArguments(m_folders.program),
                       exitCode) == ElevationResult::Done &&
           exitCode == kExitUpdated;
}

bool CLauncherSteps::Start(const std::wstring& program, const std::wstring& commandLine)
{
    // The host starts in its own folder, as from its shortcut.
    const std::wstring folder = FolderOf(program);
    CStartedProcess started;
    return StartProcess(program.c_str(), commandLine, folder.empty() ? nullptr : folder.c_str(), started) == 0;
}

void CLauncherSteps::CompleteUpdateHere()
{
    ::NotifyEvent(0, 0, 0);
}

void CLauncherSteps::Tell(LauncherNotice notice, const std::wstring& argument)
{
    if (!m_silent)
        ShowLauncherMessage(ModuleFolder(nullptr), notice, argument);
}
