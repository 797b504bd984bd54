#include "install/TrustFile.h"

#include "base/Handles.h"
#include "base/LinkSafeFiles.h"
#include "base/Sha256.h"
#include "base/UpdateLayout.h"
#include "base/UpdateLog.h"

#include "description/ProfileFile.h"
#include "install/UpdateFolder.h"

namespace {

// Far above any memory the chain rules can build (64 rotations, 1,024 revocations a list).
const size_t kMaxTrustFileBytes = 1024 * 1024;
const DWORD kMutexWaitMs = 10000;

// One name for every process that writes this file, whatever the case of its path.
std::wstring MutexNameFor(LPCWSTR pszPath, LPCWSTR pszNamespace)
{
    std::wstring path(pszPath);
    ::CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    Sha256Digest digest = {};
    Sha256Of(path.data(), path.size() * sizeof(wchar_t), digest);
    return std::wstring(pszNamespace) + L"update-trust-" + FormatSha256Hex(digest).substr(0, 32);
}

// The mutex of the file, held; empty when it could not be had.
CHandle HoldFileMutex(LPCWSTR pszPath)
{
    // The machine's namespace reaches the processes of every session; where
    // another user's mutex there refuses us, our session's is the next best.
    CHandle mutex(::CreateMutexW(nullptr, FALSE, MutexNameFor(pszPath, L"Global\\").c_str()));
    if (!mutex)
        mutex.Reset(::CreateMutexW(nullptr, FALSE, MutexNameFor(pszPath, L"Local\\").c_str()));
    if (!mutex)
        return CHandle();
    // An owner that died left the file whole: it is only ever replaced in one step.
    const DWORD wait = ::WaitForSingleObject(mutex.Get(), kMutexWaitMs);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
        return CHandle();
    return mutex;
}

bool WriteWhole(LPCWSTR pszPath, const std::string& bytes)
{
    const std::wstring temporary = std::wstring(pszPath) + L".tmp";
    {
        CHandle file = CreateNewFileAt(temporary, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL);
        if (!file)
            UpdateLog(L"trust: ", temporary, L" cannot be made: ", LoggedResult(HRESULT_FROM_WIN32(::GetLastError())));
        DWORD written = 0;
        if (!file || !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !::FlushFileBuffers(file.Get())) {
            file.Reset();
            RemoveFileAt(temporary);
            return false;
        }
    }
    if (ReplaceFileAt(temporary, pszPath))
        return true;
    UpdateLog(L"trust: ", pszPath, L" cannot be replaced: ", LoggedResult(HRESULT_FROM_WIN32(::GetLastError())));
    RemoveFileAt(temporary);
    return false;
}

} // namespace

CString TrustFilePath()
{
    return UpdateFilePath(kTrustFileName, FALSE);
}

TrustMemory ReadTrustFile(LPCWSTR pszPath)
{
    std::string bytes;
    if (!ReadFileBytes(pszPath, kMaxTrustFileBytes, bytes))
        return TrustMemory();
    return ParseTrustMemory(bytes);
}

bool RememberTrust(LPCWSTR pszPath, const TrustMemory& learnt, TrustMemory* pKept)
{
    const CHandle mutex = HoldFileMutex(pszPath);
    if (!mutex)
        return false;
    const TrustMemory current = ReadTrustFile(pszPath);
    const TrustMemory merged = MergeTrustMemory(current, learnt);
    const bool bKept = merged == current || WriteWhole(pszPath, FormatTrustMemory(merged));
    ::ReleaseMutex(mutex.Get());
    if (pKept)
        *pKept = bKept ? merged : current;
    return bKept;
}

UINT KeptRolloutBucket(LPCWSTR pszPath)
{
    const TrustMemory memory = ReadTrustFile(pszPath);
    if (memory.rolloutBucket)
        return *memory.rolloutBucket;
    TrustMemory drawn;
    UINT nBucket = 0;
    TrustMemory kept;
    if (DrawRolloutBucket(nBucket)) {
        drawn.rolloutBucket = nBucket;
        // Another process may have kept its own meanwhile: that one counts.
        if (RememberTrust(pszPath, drawn, &kept) && kept.rolloutBucket)
            return *kept.rolloutBucket;
    }
    return kRolloutBuckets - 1;
}

bool RolloutReachesInstallation(const CString& strRollout, ECheckKind kind, LPCWSTR pszTrustFile)
{
    // No rollout, a person's own check and a halt do not depend on the bucket.
    UINT nHundredths = 0;
    if (strRollout.IsEmpty() || kind == ECheckKind::Interactive || !ParseRolloutPercent(strRollout, nHundredths) ||
        nHundredths == 0)
        return RolloutOffers(strRollout, 0, kind);
    return RolloutOffers(strRollout, KeptRolloutBucket(pszTrustFile), kind);
}
