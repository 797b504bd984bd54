#include "SwapFiles.h"

#include "ProcessStart.h"

#include <functional>

namespace {

// Calls visit for each entry under folder, the contents of a folder before the
// folder itself. Folders that are links are visited but not entered.
void Walk(const std::wstring& folder, const std::wstring& relative,
          const std::function<void(const std::wstring& relative, const WIN32_FIND_DATAW& found)>& visit)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Walk(folder + L"\\" + name, path, visit);
        visit(path, found);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

} // namespace

bool CSwapFiles::ReadBytes(const std::wstring& path, DWORD offset, size_t length, std::string& bytes)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER at = {};
    at.QuadPart = offset;
    if (!file || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN))
        return false;
    bytes.assign(length, '\0');
    size_t got = 0;
    while (got < length) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[got], static_cast<DWORD>(length - got), &read, nullptr))
            return false;
        if (read == 0)
            break;
        got += read;
    }
    bytes.resize(got);
    return true;
}

bool CSwapFiles::Extract(const std::wstring& commandLine)
{
    DWORD exitCode = 0;
    return RunToEnd(commandLine, exitCode) && exitCode == 0;
}

FileState CSwapFiles::State(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FileState::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileState::Folder;
    return attributes & FILE_ATTRIBUTE_READONLY ? FileState::ReadOnlyFile : FileState::File;
}

std::vector<StagedFile> CSwapFiles::ListFiles(const std::wstring& folder)
{
    std::vector<StagedFile> files;
    Walk(folder, std::wstring(), [&](const std::wstring& relative, const WIN32_FIND_DATAW& found) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({relative, static_cast<ULONGLONG>(found.nFileSizeHigh) << 32 | found.nFileSizeLow});
    });
    return files;
}

bool CSwapFiles::MakeFolder(const std::wstring& path)
{
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool CSwapFiles::Move(const std::wstring& from, const std::wstring& to)
{
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool CSwapFiles::RemoveFile(const std::wstring& path)
{
    // A file the package marked read-only is still ours to remove.
    return ::DeleteFileW(path.c_str()) ||
           (::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) && ::DeleteFileW(path.c_str()));
}

bool CSwapFiles::RemoveFolder(const std::wstring& path)
{
    return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

void CSwapFiles::RemoveTree(const std::wstring& path)
{
    if (State(path) != FileState::Folder)
        return;
    Walk(path, std::wstring(), [&](const std::wstring& relative, const WIN32_FIND_DATAW& found) {
        const std::wstring entry = path + L"\\" + relative;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveFolder(entry);
        else
            RemoveFile(entry);
    });
    RemoveFolder(path);
}

bool CSwapFiles::OpenJournal(const std::wstring& path, std::wstring& text)
{
    // Writing is shared with nobody: a second launcher cannot open it while we hold it.
    CHandle journal(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!journal || !::GetFileSizeEx(journal.Get(), &size) || size.HighPart != 0)
        return false;
    // The records are UTF-16; half a character at the end is a write cut short.
    std::vector<wchar_t> buffer(size.LowPart / sizeof(wchar_t));
    DWORD read = 0;
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (bytes != 0 && (!::ReadFile(journal.Get(), buffer.data(), bytes, &read, nullptr) || read != bytes))
        return false;
    if (::SetFilePointer(journal.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return false;
    text.assign(buffer.begin(), buffer.end());
    m_journal = std::move(journal);
    m_journalPath = path;
    return true;
}

bool CSwapFiles::AppendJournal(const std::wstring& text)
{
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    return m_journal && ::WriteFile(m_journal.Get(), text.data(), bytes, &written, nullptr) && written == bytes &&
           ::FlushFileBuffers(m_journal.Get());
}

void CSwapFiles::CloseJournal(bool remove)
{
    if (!m_journal)
        return;
    m_journal.Reset();
    // Another launcher that opens it between these two calls finds a finished
    // journal: rolling back again, or cleaning up again, changes nothing.
    if (remove)
        ::DeleteFileW(m_journalPath.c_str());
}
