#include "base/CommandLine.h"
#include "base/ExtractionCommand.h"
#include "UpdateRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kPackageCommand[] = L"Extrac32.exe /Y /E /A /L \"C:\\Program Files\\App\" \"C:\\Program Files\\App\\update\\update.cab\"";
const wchar_t kEmptyCommand[] = L"Extrac32.exe /Y /E /A /L ";
const wchar_t kHost[] = L"C:\\Program Files\\R&D\\host.exe";

// Steps that only record what the launcher asks of them.
class FakeSteps : public ILauncherSteps {
public:
    HRESULT update = S_OK;
    HRESULT commandResult = S_OK;
    std::wstring command = kPackageCommand;
    bool applies = true;
    bool packageExists = true;
    bool hostGone = true;
    bool startSucceeds = true;
    bool writable = true;
    ElevationResult elevation = ElevationResult::Done;
    bool hasDeadline = false;
    NewHostWatch watch = {true, true, false, 0};
    bool rollBackSucceeds = true;
    std::wstring heldFile;
    std::vector<std::wstring> calls;

    void RecoverInterruptedSwap() override { calls.push_back(L"recover"); }
    HRESULT RunUpdate() override
    {
        calls.push_back(L"update");
        return update;
    }
    HRESULT GetExtractionCommand(std::wstring& out) override
    {
        calls.push_back(L"command");
        if (SUCCEEDED(commandResult))
            out = command;
        return commandResult;
    }
    bool WaitForHostExit(DWORD waitMs) override
    {
        calls.push_back(L"wait " + std::to_wstring(waitMs));
        return hostGone;
    }
    bool FileExists(const std::wstring& path) override
    {
        calls.push_back(L"exists " + path);
        return packageExists;
    }
    bool MayWriteFolder(const std::wstring& folder) override
    {
        calls.push_back(L"may write " + folder);
        return writable;
    }
    bool ApplyPackage(const ExtractionTarget& target) override
    {
        calls.push_back(L"apply " + target.package + L" to " + target.folder);
        return applies;
    }
    std::wstring HeldFile() override { return heldFile; }
    ElevationResult ApplyElevated(const ExtractionTarget& target) override
    {
        calls.push_back(L"elevate " + target.package + L" to " + target.folder);
        return elevation;
    }
    bool ReadConfirmDeadline(DWORD& seconds) override
    {
        seconds = 5;
        return hasDeadline;
    }
    NewHostWatch StartAndWatch(const std::wstring& program, const std::wstring& commandLine, DWORD waitMs) override
    {
        EXPECT_EQ(kHost, program);
        calls.push_back(L"watch " + commandLine + L" for " + std::to_wstring(waitMs));
        return watch;
    }
    void EndNewHost() override { calls.push_back(L"end new host"); }
    void KeepNewRelease() override { calls.push_back(L"keep"); }
    bool RollBackRelease(bool elevated) override
    {
        calls.push_back(elevated ? L"roll back elevated" : L"roll back");
        return rollBackSucceeds;
    }
    void Tell(LauncherNotice notice, const std::wstring& argument) override
    {
        calls.push_back(notice == LauncherNotice::FileHeld ? L"tell held " + argument : L"tell not permitted");
    }
    bool Start(const std::wstring& program, const std::wstring& commandLine) override
    {
        EXPECT_EQ(kHost, program);
        calls.push_back(L"start " + commandLine);
        return startSucceeds;
    }
    void CompleteUpdateHere() override { calls.push_back(L"complete"); }
};

const std::wstring kWaitLong = L"wait " + std::to_wstring(kHostExitWaitMs);
const std::wstring kExists = L"exists C:\\Program Files\\App\\update\\update.cab";
const std::wstring kApply = L"apply C:\\Program Files\\App\\update\\update.cab to C:\\Program Files\\App";
const std::wstring kMayWrite = L"may write C:\\Program Files\\App";
const std::wstring kElevate = L"elevate C:\\Program Files\\App\\update\\update.cab to C:\\Program Files\\App";
const std::wstring kWatch = L"watch \"C:\\Program Files\\R&D\\host.exe\" /updated for " + std::to_wstring(kStartWatchMs);
const std::wstring kWatchDeadline = L"watch \"C:\\Program Files\\R&D\\host.exe\" /updated for 5000";
const std::wstring kRestartPlain = L"start \"C:\\Program Files\\R&D\\host.exe\"";

struct RunCase {
    const char* name;
    void (*arrange)(FakeSteps&);
    const wchar_t* hostPath;
    int exitCode;
    std::vector<std::wstring> calls;
};

TEST(LauncherRun, RecoversAppliesRestartsAndNeverStrandsTheHost)
{
    const RunCase cases[] = {
        {"updated and confirmed", [](FakeSteps&) {}, kHost, kExitUpdated,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"keep"}},
        {"no host named: the update is finished here", [](FakeSteps&) {}, L"", kExitUpdated,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, L"complete", L"keep"}},
        {"new host cannot be started: rolled back, the old one started",
         [](FakeSteps& s) { s.watch = {}; }, kHost, kExitRolledBack,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"roll back", kRestartPlain}},
        {"new host crashed at start: rolled back", [](FakeSteps& s) { s.watch = {true, false, true, 0xC0000135}; },
         kHost, kExitRolledBack,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"roll back", kRestartPlain}},
        {"new host ended normally without confirming: kept", [](FakeSteps& s) { s.watch = {true, false, true, 1}; },
         kHost, kExitUpdated, {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"keep"}},
        {"no deadline, new host runs on without confirming: kept", [](FakeSteps& s) { s.watch = {true, false, false, 0}; },
         kHost, kExitUpdated, {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"keep"}},
        {"deadline missed: the new host is ended and rolled back",
         [](FakeSteps& s) { s.watch = {true, false, false, 0}; s.hasDeadline = true; }, kHost, kExitRolledBack,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatchDeadline, L"end new host", L"roll back",
          kRestartPlain}},
        {"rollback cut short: left to the next run, no host started",
         [](FakeSteps& s) { s.watch = {true, false, true, 0xC0000005}; s.rollBackSucceeds = false; }, kHost,
         kExitRollBackFailed, {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"roll back"}},
        {"old host cannot be started after the rollback",
         [](FakeSteps& s) { s.watch = {true, false, true, 0xC0000005}; s.startSucceeds = false; }, kHost,
         kExitRestartFailed,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, kWatch, L"roll back", kRestartPlain}},
        {"folder not writable: applied elevated", [](FakeSteps& s) { s.writable = false; }, kHost, kExitUpdated,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kElevate, kWatch, L"keep"}},
        {"folder not writable, new host crashed: rolled back elevated",
         [](FakeSteps& s) { s.writable = false; s.watch = {true, false, true, 0xC0000142}; }, kHost, kExitRolledBack,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kElevate, kWatch, L"roll back elevated", kRestartPlain}},
        {"elevation declined: told, old host started, nothing applied",
         [](FakeSteps& s) { s.writable = false; s.elevation = ElevationResult::Declined; }, kHost,
         kExitElevationDeclined,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kElevate, L"wait 0", kRestartPlain, L"tell not permitted"}},
        {"elevated apply failed: old host started",
         [](FakeSteps& s) { s.writable = false; s.elevation = ElevationResult::Failed; }, kHost,
         kExitExtractionFailed, {L"update", L"command", kWaitLong, kExists, kMayWrite, kElevate, L"wait 0", kRestartPlain}},
        {"usage", [](FakeSteps& s) { s.update = E_INVALIDARG; }, kHost, kExitUsage, {L"update"}},
        {"cancelled", [](FakeSteps& s) { s.update = E_ABORT; }, kHost, kExitCancelled, {L"update"}},
        {"check failed", [](FakeSteps& s) { s.update = E_FAIL; }, kHost, kExitUpdateFailed, {L"update"}},
        {"dialog missing", [](FakeSteps& s) { s.update = E_NOTIMPL; }, kHost, kExitUpdateFailed, {L"update"}},
        {"offer no longer applies", [](FakeSteps& s) { s.update = S_FALSE; }, kHost, kExitNothingToDo, {L"update"}},
        {"silent check found nothing", [](FakeSteps& s) { s.command = kEmptyCommand; s.hostGone = false; }, kHost,
         kExitNothingToDo, {L"update", L"command", L"wait 0"}},
        // A library folder "C:\" gives "C:\" "C:\update\update.cab", which splits into one argument.
        {"unparsable command, host ended: started again",
         [](FakeSteps& s) { s.command = L"Extrac32.exe /Y /E /A /L \"C:\\\" \"C:\\update\\update.cab\""; },
         kHost, kExitNothingToDo, {L"update", L"command", L"wait 0", kRestartPlain}},
        {"command failed, host ended: started again as it was",
         [](FakeSteps& s) { s.commandResult = E_FAIL; }, kHost, kExitUpdateFailed,
         {L"update", L"command", L"wait 0", kRestartPlain}},
        {"command failed, host still running: left alone",
         [](FakeSteps& s) { s.commandResult = E_FAIL; s.hostGone = false; }, kHost, kExitUpdateFailed,
         {L"update", L"command", L"wait 0"}},
        {"package not applied: host started again as it was, update not finished",
         [](FakeSteps& s) { s.applies = false; }, kHost, kExitExtractionFailed,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, L"wait 0", kRestartPlain}},
        {"package missing: nothing is staged", [](FakeSteps& s) { s.packageExists = false; }, kHost,
         kExitExtractionFailed, {L"update", L"command", kWaitLong, kExists, L"wait 0", kRestartPlain}},
        {"package not applied without a host: not finished", [](FakeSteps& s) { s.applies = false; }, L"",
         kExitExtractionFailed, {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply}},
        {"a file held by another process: the host started again, then the person told",
         [](FakeSteps& s) { s.applies = false; s.heldFile = L"lib\\core.dll"; }, kHost, kExitExtractionFailed,
         {L"update", L"command", kWaitLong, kExists, kMayWrite, kApply, L"wait 0", kRestartPlain,
          L"tell held lib\\core.dll"}},
    };
    for (const RunCase& c : cases) {
        FakeSteps steps;
        c.arrange(steps);
        EXPECT_EQ(c.exitCode, RunLauncher(steps, c.hostPath)) << c.name;
        // What an interrupted launcher left is put right before anything else.
        std::vector<std::wstring> calls = {L"recover"};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(calls, steps.calls) << c.name;
    }
}

TEST(LauncherRun, FindsTheFolderAndPackageInTheExtractionCommand)
{
    const struct {
        const wchar_t* command;
        const wchar_t* folder;
        const wchar_t* package;
    } cases[] = {
        {kPackageCommand, L"C:\\Program Files\\App", L"C:\\Program Files\\App\\update\\update.cab"},
        {L"extrac32.exe /y /e /a /l C:\\A C:\\A\\update.cab", L"C:\\A", L"C:\\A\\update.cab"},
        {kEmptyCommand, L"", L""},
        {L"Extrac32.exe /Y /E /A /L", L"", L""},
        {L"Extrac32.exe /Y /E /A /L \"C:\\A\"", L"", L""},
        {L"Extrac32.exe /Y /E /A /L \"\" \"C:\\A\\update.cab\"", L"", L""},
        {L"Extrac32.exe /Y /E /A /L \"C:\\A\" \"\"", L"", L""},
        {L"Extrac32.exe /Y /E /A /L \"C:\\\" \"C:\\update\\update.cab\"", L"", L""},  // \" escapes the quote
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        const ExtractionTarget target = ParseExtractionCommand(c.command);
        EXPECT_EQ(c.folder, target.folder) << c.command;
        EXPECT_EQ(c.package, target.package) << c.command;
    }
    // The staging command the launcher builds reads back the same way.
    for (const wchar_t* folder : {L"C:\\A", L"C:\\R&D 100% ^x\\update\\staging", L"C:\\a b\\"}) {
        const ExtractionTarget target = ParseExtractionCommand(BuildExtractionCommand(L"C:\\Windows\\system32\\extrac32.exe", folder, L"C:\\a b\\update.cab"));
        EXPECT_EQ(folder, target.folder);
        EXPECT_EQ(L"C:\\a b\\update.cab", target.package);
    }
}

} // namespace
