// The launcher's steps on the real system: the library's exports, processes and files.
#pragma once

#include "PackageSwap.h"
#include "SwapFiles.h"
#include "UpdateRun.h"

#include <vector>

class CHostProcess;

class CLauncherSteps : public ILauncherSteps {
public:
    // args: the launcher's whole argument vector, handed to the library as it is.
    CLauncherSteps(const std::vector<std::wstring>& args, const CHostProcess& host, bool silent);

    void RecoverInterruptedSwap() override;
    HRESULT RunUpdate() override;
    HRESULT GetExtractionCommand(std::wstring& command) override;
    bool WaitForHostExit(DWORD waitMs) override;
    bool FileExists(const std::wstring& path) override;
    bool MayWriteFolder(const std::wstring& folder) override;
    bool ApplyPackage(const ExtractionTarget& target) override;
    std::wstring HeldFile() override { return m_heldFile; }
    ElevationResult ApplyElevated(const ExtractionTarget& target) override;
    bool ReadConfirmDeadline(DWORD& seconds) override;
    NewHostWatch StartAndWatch(const std::wstring& program, const std::wstring& commandLine, DWORD waitMs) override;
    void EndNewHost() override;
    void KeepNewRelease() override;
    bool RollBackRelease(bool elevated) override;
    bool DeltaBaseDiffered() override { return m_bDeltaBaseDiffered; }
    HRESULT RunFullUpdate() override;
    bool Start(const std::wstring& program, const std::wstring& commandLine) override;
    void CompleteUpdateHere() override;
    void Tell(LauncherNotice notice, const std::wstring& argument) override;

private:
    const std::vector<std::wstring>& m_args;
    const CHostProcess& m_host;
    const bool m_silent;
    // Holds the journal from the swap until the new release is kept or rolled back.
    CSwapFiles m_files;
    SwapFolders m_folders;
    CHandle m_newHost;
    bool m_bDeltaBaseDiffered = false;
    std::wstring m_heldFile;  // of the last ApplyPackage
};
