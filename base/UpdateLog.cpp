#include "base/UpdateLog.h"

#include "base/Handles.h"
#include "base/LinkSafeFiles.h"
#include "base/Paths.h"
#include "base/Sha256.h"
#include "base/SystemMessage.h"
#include "base/TextCodec.h"
#include "base/UpdateLayout.h"

#include <atomic>
#include <cwchar>
#include <mutex>

namespace {

constexpr size_t kMaxTextChars = 2000;
// Another writer holds the file for one line at a time: a longer wait means it hangs.
constexpr DWORD kLockWaitMs = 2000;

std::mutex g_lock;             // the settings below, and one line at a time in this process
std::atomic<bool> g_bOn{false};
std::wstring g_path;
std::wstring g_source;

// One name for every process that writes the same file: its path, without regard to case.
std::wstring LockName(const std::wstring& path)
{
    std::wstring upper(path);
    ::CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    Sha256Digest digest = {};
    Sha256Of(upper.data(), upper.size() * sizeof(wchar_t), digest);
    return L"Local\\update-log-" + FormatSha256Hex(digest).substr(0, 32);
}

// The log file opened for appending; null when it is not a plain file of its
// own: a link planted in the update folder must not carry the lines elsewhere.
CHandle OpenForAppend(const std::wstring& path, ULONGLONG& size)
{
    const DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    CHandle file = OpenPlainFileAt(path, access, share);
    if (!file && ::GetLastError() == ERROR_FILE_NOT_FOUND)
        file = CreateNewFileAt(path, access, share, FILE_ATTRIBUTE_NORMAL);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info) || info.nNumberOfLinks > 1)
        return CHandle();
    size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return file;
}

void Append(const std::wstring& path, const std::string& bytes)
{
    // Between processes: the size check, the move to the old file and the write are one step.
    CHandle lock(::CreateMutexW(nullptr, FALSE, LockName(path).c_str()));
    const DWORD wait = lock ? ::WaitForSingleObject(lock.Get(), kLockWaitMs) : WAIT_FAILED;
    const bool bLocked = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    ULONGLONG size = 0;
    CHandle file = OpenForAppend(path, size);
    if (file && size >= kMaxLogBytes) {
        file.Reset();
        const std::wstring old = JoinPath(FolderOf(path), kOldLogFileName);
        ReplaceFileAt(path, old);
        file = OpenForAppend(path, size);
    }
    DWORD written = 0;
    // One write a line: appends of one write do not interleave.
    if (file)
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (bLocked)
        ::ReleaseMutex(lock.Get());
}

} // namespace

bool RecordAsksForLog(const std::wstring& recordPath)
{
    return ::GetPrivateProfileIntW(L"Log", L"Enabled", 0, recordPath.c_str()) != 0;
}

void StartUpdateLog(const std::wstring& updateFolder, const wchar_t* pszSource)
{
    const bool bOn = RecordAsksForLog(JoinPath(updateFolder, kRecordFileName));
    const std::lock_guard<std::mutex> hold(g_lock);
    g_path = bOn ? JoinPath(updateFolder, kLogFileName) : std::wstring();
    g_source = pszSource ? pszSource : L"";
    g_bOn = bOn;
}

void StopUpdateLog()
{
    const std::lock_guard<std::mutex> hold(g_lock);
    g_bOn = false;
    g_path.clear();
}

bool IsUpdateLogOn()
{
    return g_bOn;
}

std::wstring FormatLogLine(const SYSTEMTIME& utc, DWORD processId, const std::wstring& source,
                           const std::wstring& text)
{
    wchar_t stamp[32] = {};
    std::swprintf(stamp, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    std::wstring line = stamp + source + L"[" + std::to_wstring(processId) + L"] ";
    std::wstring body = text.substr(0, kMaxTextChars);
    for (wchar_t& ch : body) {
        if (ch < L' ' || ch == 0x7F || ch == 0x2028 || ch == 0x2029)
            ch = L' ';
    }
    return line + body;
}

std::wstring LoggedAddress(const std::wstring& address)
{
    const size_t scheme = address.find(L"://");
    if (scheme == std::wstring::npos)
        return address;
    const size_t start = scheme + 3;
    const size_t end = address.find_first_of(L"/?#", start);
    const size_t at = address.rfind(L'@', end == std::wstring::npos ? address.size() : end);
    if (at == std::wstring::npos || at < start)
        return address;
    return address.substr(0, start) + address.substr(at + 1);
}

std::wstring LoggedResult(HRESULT hr)
{
    wchar_t code[16] = {};
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    if (HRESULT_FACILITY(hr) != FACILITY_WIN32)
        return code;
    const DWORD error = HRESULT_CODE(hr);
    const bool bInternet = error >= 12000 && error <= 12999;
    return std::wstring(code) + L" (" +
           SystemMessageText(error, bInternet ? ::GetModuleHandleW(L"wininet.dll") : nullptr) + L")";
}

void WriteUpdateLog(const std::wstring& text)
{
    SYSTEMTIME utc = {};
    ::GetSystemTime(&utc);
    const std::lock_guard<std::mutex> hold(g_lock);
    if (!g_bOn || g_path.empty())
        return;
    Append(g_path, Utf8Of(FormatLogLine(utc, ::GetCurrentProcessId(), g_source, text) + L"\r\n"));
}
