// The update log: why an update did or did not happen, one line a decision,
// in the update folder (kLogFileName), for the person who must find out later.
// Off unless the installed record asks for it ([Log] Enabled=1). The library,
// the launcher and the publisher's tool write through this one writer; each
// line is appended whole, so several processes may write at once. The file is
// bounded: once it reaches kMaxLogBytes it becomes kOldLogFileName (replacing
// the one before) and a new one starts. Never log a key, a signature or a
// description's body: addresses, versions, names and reasons only.
#pragma once

#include <windows.h>

#include <string>

inline constexpr ULONGLONG kMaxLogBytes = 256 * 1024;

// Turns the log on when the record in updateFolder asks for it, else off;
// pszSource names the writer in each line ("library", "launcher").
void StartUpdateLog(const std::wstring& updateFolder, const wchar_t* pszSource);
// Turns it off.
void StopUpdateLog();
bool IsUpdateLogOn();

// Whether the record file asks for the log.
bool RecordAsksForLog(const std::wstring& recordPath);

// The line as written, without its end: "<UTC time> <source>[<process id>]
// <text>", with control characters of the text turned into spaces (a hostile
// server's text cannot forge a line) and the text cut at 2,000 characters.
std::wstring FormatLogLine(const SYSTEMTIME& utc, DWORD processId, const std::wstring& source,
                           const std::wstring& text);

// An address as the log shows it: a user name and password in it are left out.
std::wstring LoggedAddress(const std::wstring& address);
// "0x80070005" and, where the platform has one, its message.
std::wstring LoggedResult(HRESULT hr);

// Appends one line; nothing when the log is off.
void WriteUpdateLog(const std::wstring& text);

namespace update_log_detail {
inline void Add(std::wstring& line, const wchar_t* psz) { line += psz ? psz : L""; }
inline void Add(std::wstring& line, const std::wstring& text) { line += text; }
inline void Add(std::wstring& line, int n) { line += std::to_wstring(n); }
inline void Add(std::wstring& line, unsigned n) { line += std::to_wstring(n); }
inline void Add(std::wstring& line, long n) { line += std::to_wstring(n); }
inline void Add(std::wstring& line, unsigned long n) { line += std::to_wstring(n); }
inline void Add(std::wstring& line, long long n) { line += std::to_wstring(n); }
inline void Add(std::wstring& line, unsigned long long n) { line += std::to_wstring(n); }
} // namespace update_log_detail

// Logs why, and returns false: "return RefusedWithLog(L"...");".
inline bool RefusedWithLog(const wchar_t* pszWhy)
{
    WriteUpdateLog(pszWhy);
    return false;
}

// One decision, its parts joined: UpdateLog(L"refused: ", reason). The parts
// are not even put together while the log is off.
template <typename... Parts>
void UpdateLog(const Parts&... parts)
{
    if (!IsUpdateLogOn())
        return;
    std::wstring line;
    (update_log_detail::Add(line, parts), ...);
    WriteUpdateLog(line);
}
