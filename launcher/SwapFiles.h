// The file-system effects of applying a package, in one place: what the swap
// decides (PackageSwap.h) it does through ISwapFiles.
#pragma once

#include "framework/AfxHandle.h"

#include <string>
#include <vector>

enum class FileState { Missing, File, ReadOnlyFile, Folder };

struct StagedFile {
    std::wstring path;  // relative to the folder listed
    ULONGLONG size = 0;
};

class ISwapFiles {
public:
    virtual ~ISwapFiles() = default;

    // Up to length bytes from offset on; fewer at the end of the file.
    virtual bool ReadBytes(const std::wstring& path, DWORD offset, size_t length, std::string& bytes) = 0;
    // Runs the extractor's command line to its end; true when it exited with 0.
    virtual bool Extract(const std::wstring& commandLine) = 0;
    virtual FileState State(const std::wstring& path) = 0;
    // Every file under folder, in no particular order.
    virtual std::vector<StagedFile> ListFiles(const std::wstring& folder) = 0;
    virtual bool MakeFolder(const std::wstring& path) = 0;
    // Moves a file to a path that does not exist yet, copying where the volume differs.
    virtual bool Move(const std::wstring& from, const std::wstring& to) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Removes a folder only when it is empty.
    virtual bool RemoveFolder(const std::wstring& path) = 0;
    // Removes a folder and everything in it, as far as it can.
    virtual void RemoveTree(const std::wstring& path) = 0;

    // Opens the journal for this process alone, creating it when it is absent,
    // and reads it; false when another process holds it or it cannot be opened.
    virtual bool OpenJournal(const std::wstring& path, std::wstring& text) = 0;
    // Appends to the open journal and flushes it to the disk before returning.
    virtual bool AppendJournal(const std::wstring& text) = 0;
    // Closes the journal, and deletes it when asked.
    virtual void CloseJournal(bool remove) = 0;
};

// The real file system. A journal still open is closed, not deleted, as the
// end of the process would leave it.
class CSwapFiles : public ISwapFiles {
public:
    bool ReadBytes(const std::wstring& path, DWORD offset, size_t length, std::string& bytes) override;
    bool Extract(const std::wstring& commandLine) override;
    FileState State(const std::wstring& path) override;
    std::vector<StagedFile> ListFiles(const std::wstring& folder) override;
    bool MakeFolder(const std::wstring& path) override;
    bool Move(const std::wstring& from, const std::wstring& to) override;
    bool RemoveFile(const std::wstring& path) override;
    bool RemoveFolder(const std::wstring& path) override;
    void RemoveTree(const std::wstring& path) override;
    bool OpenJournal(const std::wstring& path, std::wstring& text) override;
    bool AppendJournal(const std::wstring& text) override;
    void CloseJournal(bool remove) override;

private:
    CHandle m_journal;
    std::wstring m_journalPath;
};
