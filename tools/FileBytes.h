// Files as the tool reads and writes them: whole, and never half-written. A
// new file is written under a temporary name beside its target and then put
// in its place in one step, so a failure leaves the old file as it was.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The whole file; throws when it cannot be read or holds more than nMaxSize bytes.
std::string ReadWholeFile(const std::wstring& path, size_t nMaxSize);

// bReplace false refuses an existing file, even one made meanwhile.
void WriteFileAtomically(const std::wstring& path, std::string_view bytes, bool bReplace);

// A temporary file beside target, deleted unless Commit put it in target's place.
class CPendingFile {
public:
    explicit CPendingFile(const std::wstring& target);
    ~CPendingFile();
    CPendingFile(const CPendingFile&) = delete;
    CPendingFile& operator=(const CPendingFile&) = delete;

    const std::wstring& Path() const { return m_strPath; }
    void Commit(bool bReplace);

private:
    std::wstring m_strTarget;
    std::wstring m_strPath;
};

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// The full form of a path given on the command line.
std::wstring FullPath(const std::wstring& path);
