#include "FileBytes.h"

#include "PublishError.h"

#include "base/Handles.h"
#include "base/Paths.h"

#include <algorithm>
#include <vector>

std::string ReadWholeFile(const std::wstring& path, size_t nMaxSize)
{
    CHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        FailWithError(path, ::GetLastError());
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.Get(), &size))
        FailWithError(path, ::GetLastError());
    if (static_cast<ULONGLONG>(size.QuadPart) > nMaxSize)
        Fail(path, L"larger than " + std::to_wstring(nMaxSize) + L" bytes");
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr))
            FailWithError(path, ::GetLastError());
        if (read == 0)
            Fail(path, L"shorter than its size");
        done += read;
    }
    return bytes;
}

void WriteFileAtomically(const std::wstring& path, std::string_view bytes, bool bReplace)
{
    CPendingFile pending(path);
    {
        CHandle file(::CreateFileW(pending.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            FailWithError(pending.Path(), ::GetLastError());
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD written = 0;
            const DWORD n = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
            if (!::WriteFile(file.Get(), bytes.data() + done, n, &written, nullptr) || written != n)
                FailWithError(path, ::GetLastError());
            done += n;
        }
        if (!::FlushFileBuffers(file.Get()))
            FailWithError(path, ::GetLastError());
    }
    pending.Commit(bReplace);
}

CPendingFile::CPendingFile(const std::wstring& target) : m_strTarget(target)
{
    wchar_t name[MAX_PATH] = {};
    // Beside the target, so that putting it in place is a rename on the same volume.
    if (!::GetTempFileNameW(FolderOf(target).c_str(), L"upd", 0, name))
        FailWithError(target, ::GetLastError());
    m_strPath = name;
}

CPendingFile::~CPendingFile()
{
    if (!m_strPath.empty())
        ::DeleteFileW(m_strPath.c_str());
}

void CPendingFile::Commit(bool bReplace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (bReplace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(m_strPath.c_str(), m_strTarget.c_str(), flags)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            Fail(m_strTarget, L"exists already; not overwritten");
        FailWithError(m_strTarget, error);
    }
    m_strPath.clear();
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        FailWithError(path, ::GetLastError());
    std::vector<wchar_t> full(length);
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        FailWithError(path, ::GetLastError());
    std::wstring result(full.data(), written);
    while (result.size() > 3 && (result.back() == L'\\' || result.back() == L'/'))
        result.pop_back();
    return result;
}
