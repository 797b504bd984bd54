#include "SwapFiles.h"

#include "ProcessStart.h"

#include "base/ExtractionCommand.h"
#include "base/ItemDeletion.h"
#include "base/LinkSafeFiles.h"
#include "base/Paths.h"

#include <functional>

// Where the item at path must really be: its folder's real place and its own
// name. Empty when the platform cannot tell. A folder's place is asked once: a
// link put in its stead later still shows as a place that differs.
std::wstring CSwapFiles::ExpectedFinalPath(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0)
        return std::wstring();
    const std::wstring parent = path.substr(0, slash);
    auto known = m_folderPlaces.find(parent);
    if (known == m_folderPlaces.end()) {
        const std::wstring folder = FinalFolderPath(parent);
        if (folder.empty())
            return std::wstring();
        known = m_folderPlaces.emplace(parent, folder).first;
    }
    return known->second + path.substr(slash);
}

namespace {

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

// Calls visit for each entry under folder, the contents of a folder before the
// folder itself. Folders that are links are visited but not entered.
void Walk(const std::wstring& folder, const std::wstring& relative,
          const std::function<void(const std::wstring& relative, const WIN32_FIND_DATAW& found)>& visit)
{
    WIN32_FIND_DATAW found;
    const CFindHandle search(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                                FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Walk(folder + L"\\" + name, path, visit);
        visit(path, found);
    } while (::FindNextFileW(search.Get(), &found));
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

bool CSwapFiles::Extract(const std::wstring& folder, const std::wstring& package)
{
    // By its full path, and started in the system folder: by its bare name the
    // search would first find an extrac32.exe planted beside us or in our
    // current folder, and run it with our rights.
    const std::wstring system = SystemFolder();
    if (system.empty())
        return false;
    const std::wstring extractor = system + L"\\extrac32.exe";
    DWORD exitCode = 0;
    return RunToEnd(extractor, BuildExtractionCommand(extractor, folder, package), system, exitCode) && exitCode == 0;
}

FileState CSwapFiles::State(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return FileState::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FileState::Link;
    // Wine reports a link to a file as a plain file, and opens the target even
    // when asked for the link: only the place the platform reached tells.
    const CHandle item = OpenItemItself(path, FILE_READ_ATTRIBUTES);
    const std::wstring expected = ExpectedFinalPath(path);
    if (!item || expected.empty() || !EqualIgnoringCase(FinalPathOf(item.Get()), expected))
        return FileState::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileState::Folder;
    return attributes & FILE_ATTRIBUTE_READONLY ? FileState::ReadOnlyFile : FileState::File;
}

bool CSwapFiles::Fingerprint(const std::wstring& path, FileFingerprint& print)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    CSha256 hash;
    std::vector<char> buffer(256 * 1024);
    ULONGLONG size = 0;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        hash.Update(buffer.data(), read);
        size += read;
    }
    print.size = size;
    return hash.Finish(print.digest);
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
    // Short pauses first, as most holds are brief; kHeldRetryMs in all.
    static const DWORD pausesMs[] = {100, 200, 400, 800, 1000, 1000, 1000, 500};
    for (size_t tried = 0;; ++tried) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || tried == ARRAYSIZE(pausesMs))
            return false;
        ::Sleep(pausesMs[tried]);
    }
}

bool CSwapFiles::HeldByAnother(const std::wstring& path)
{
    // Moving needs delete access, which a handle opened without share-delete refuses to everyone else.
    const HANDLE probe = ::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD error = probe == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    const CHandle owned(probe);
    return error == ERROR_SHARING_VIOLATION;
}

// By handle, and only where the platform reached the item itself: DeleteFileW
// and RemoveDirectoryW on a link delete its target under Wine.
bool CSwapFiles::RemoveFile(const std::wstring& path)
{
    const std::wstring item = ExpectedFinalPath(path);
    return !item.empty() && DeleteSingleItem(item, false);
}

bool CSwapFiles::RemoveFolder(const std::wstring& path)
{
    const std::wstring item = ExpectedFinalPath(path);
    return !item.empty() && DeleteSingleItem(item, true);
}

void CSwapFiles::RemoveTree(const std::wstring& path)
{
    const std::wstring item = ExpectedFinalPath(path);
    if (!item.empty())
        DeleteItemTree(item, true);
}

bool CSwapFiles::OpenJournal(const std::wstring& path, std::wstring& text)
{
    // Held since the swap: read again through the same handle, so that no
    // other launcher can take it in between.
    if (m_journal && EqualIgnoringCase(path, m_journalPath))
        return ReadJournal(m_journal.Get(), text);
    // Writing is shared with nobody: a second launcher cannot open it while we hold it.
    CHandle journal(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!journal || !ReadJournal(journal.Get(), text))
        return false;
    m_journal = std::move(journal);
    m_journalPath = path;
    return true;
}

bool CSwapFiles::ReadJournal(HANDLE journal, std::wstring& text)
{
    LARGE_INTEGER size = {};
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(journal, start, nullptr, FILE_BEGIN) || !::GetFileSizeEx(journal, &size) ||
        size.HighPart != 0)
        return false;
    // The records are UTF-16; half a character at the end is a write cut short.
    std::vector<wchar_t> buffer(size.LowPart / sizeof(wchar_t));
    DWORD read = 0;
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (bytes != 0 && (!::ReadFile(journal, buffer.data(), bytes, &read, nullptr) || read != bytes))
        return false;
    if (::SetFilePointer(journal, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
        return false;
    text.assign(buffer.begin(), buffer.end());
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
