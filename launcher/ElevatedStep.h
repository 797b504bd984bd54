// The apply step run with an administrator's rights, for a program folder the
// person may not change: update.exe starts itself again ("runas") with a
// launcher-only switch, and that copy applies the package, or puts the
// previous release back, and nothing else. It never starts the host, which
// must not run elevated.
//   update.exe /elevated-apply "<program folder>" <package SHA-256>
//   update.exe /elevated-rollback "<program folder>"
// Its exit code is the launcher's: kExitUpdated when done, kExitUsage for a
// command line it refuses, kExitDeltaBaseDiffered when a delta package's base
// file was changed, kExitExtractionFailed otherwise.
#pragma once

#include "base/Sha256.h"

#include <windows.h>

#include <string>
#include <vector>

class ISwapFiles;

enum class ElevatedKind { None, Refused, Apply, RollBack };

struct ElevatedStep {
    ElevatedKind kind = ElevatedKind::None;  // None: not an elevated step at all
    std::wstring folder;
    Sha256Digest digest = {};  // Apply: the package the invoking launcher handed over
};

// The arguments after the program, for an apply or a rollback.
std::vector<std::wstring> ElevatedApplyArguments(const std::wstring& folder, const Sha256Digest& digest);
std::vector<std::wstring> ElevatedRollBackArguments(const std::wstring& folder);

// args: the whole vector, args[0] the program. The command line is anyone's
// to write while the step runs with rights over the program: the folder must
// be the one this update.exe lies in (ownFolder), absolute, and nothing may follow.
ElevatedStep ParseElevatedStep(const std::vector<std::wstring>& args, const std::wstring& ownFolder);

// Runs the step in this process; files: the swap's file system. The package is
// the installed layout's (update\update.cab); it is copied into the program
// folder and unpacked from there only if the copy has the digest given.
int RunElevatedStep(const ElevatedStep& step, ISwapFiles& files);

// Whether this process may change the folder: a uniquely named probe file is
// made and deleted there. Trying is the only sure answer (rights, a read-only
// medium, redirection).
bool MayWriteFolder(const std::wstring& folder);

enum class ElevationResult { Done, Declined, Failed };

// Starts program elevated with the arguments and waits for its end. Declined:
// the person said no to the prompt.
ElevationResult RunElevated(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD& exitCode);

// The digest of a file's bytes; false when it cannot be read whole.
bool FileDigest(const std::wstring& path, Sha256Digest& digest);
