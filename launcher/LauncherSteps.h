// The launcher's steps on the real system: the library's exports, processes and files.
#pragma once

#include "UpdateRun.h"

#include <vector>

class CHostProcess;

class CLauncherSteps : public ILauncherSteps {
public:
    // args: the launcher's whole argument vector, handed to the library as it is.
    CLauncherSteps(const std::vector<std::wstring>& args, const CHostProcess& host);

    void RecoverInterruptedSwap() override;
    HRESULT RunUpdate() override;
    HRESULT GetExtractionCommand(std::wstring& command) override;
    bool WaitForHostExit(DWORD waitMs) override;
    bool FileExists(const std::wstring& path) override;
    bool ApplyPackage(const ExtractionTarget& target) override;
    bool DeltaBaseDiffered() override { return m_bDeltaBaseDiffered; }
    HRESULT RunFullUpdate() override;
    bool Start(const std::wstring& program, const std::wstring& commandLine) override;
    void CompleteUpdateHere() override;

private:
    const std::vector<std::wstring>& m_args;
    const CHostProcess& m_host;
    bool m_bDeltaBaseDiffered = false;
};
