#include "LauncherSteps.h"

#include "HostProcess.h"
#include "LaunchRequest.h"
#include "PackageSwap.h"
#include "ProcessStart.h"
#include "update.h"

#include "base/Paths.h"

#include <cwchar>

namespace {

// The longest command line CreateProcessW accepts.
const int kMaxCommandLength = 32768;

} // namespace

CLauncherSteps::CLauncherSteps(const std::vector<std::wstring>& args, const CHostProcess& host)
    : m_args(args), m_host(host)
{
}

void CLauncherSteps::RecoverInterruptedSwap()
{
    // update.exe lives beside update.dll, whose folder is the program folder,
    // and the library keeps its package in its update folder there.
    const std::wstring program = ModuleFolder(nullptr);
    CSwapFiles files;
    FinishInterruptedSwap(files, InstalledSwapFolders(program));
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

bool CLauncherSteps::ApplyPackage(const ExtractionTarget& target)
{
    CSwapFiles files;
    return StageAndSwap(files, SwapFoldersFor(target.folder, FolderOf(target.package)), target.package,
                        &m_bDeltaBaseDiffered);
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
