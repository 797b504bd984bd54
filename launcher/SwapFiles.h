// The file-system effects of applying a package, in one place: what the swap
// decides (PackageSwap.h) it does through ISwapFiles.
#pragma once

#include "SwapJournal.h"

#include "base/Handles.h"

#include <map>
#include <string>
#include <vector>

// Link: the item is a link (a symbolic link, a junction, any reparse point),
// or the platform reaches it through one at its last step. The swap never
// writes, moves or deletes through one.
enum class FileState { Missing, File, ReadOnlyFile, Folder, Link };

// How long, in all, a move waits for a file that another process holds: a
// scanner or a preview lets go within moments, a running program does not.
inline constexpr DWORD kHeldRetryMs = 5000;

struct StagedFile {
    std::wstring path;  // relative to the folder listed
    ULONGLONG size = 0;
};

class ISwapFiles {
public:
    virtual ~ISwapFiles() = default;

    // Up to length bytes from offset on; fewer at the end of the file.
    virtual bool ReadBytes(const std::wstring& path, DWORD offset, size_t length, std::string& bytes) = 0;
    // Runs the system's extractor to its end, unpacking package into folder;
    // true when it exited with 0.
    virtual bool Extract(const std::wstring& folder, const std::wstring& package) = 0;
    virtual FileState State(const std::wstring& path) = 0;
    // The size and digest of a file's bytes; false when it cannot be read whole.
    virtual bool Fingerprint(const std::wstring& path, FileFingerprint& print) = 0;
    // Every file under folder, in no particular order.
    virtual std::vector<StagedFile> ListFiles(const std::wstring& folder) = 0;
    virtual bool MakeFolder(const std::wstring& path) = 0;
    // Moves a file to a path that does not exist yet, copying where the volume
    // differs. A file that another process holds open without letting it be
    // moved is tried again for about kHeldRetryMs before the move fails.
    virtual bool Move(const std::wstring& from, const std::wstring& to) = 0;
    // Another process holds the file open so that it cannot be moved now.
    virtual bool HeldByAnother(const std::wstring& path) = 0;
    // Removes a file, read-only or not, or a link as a link; never a link's target.
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Removes a folder only when it is empty and not a link.
    virtual bool RemoveFolder(const std::wstring& path) = 0;
    // Removes a folder and everything in it, as far as it can; a link, there
    // or inside, is never followed.
    virtual void RemoveTree(const std::wstring& path) = 0;

    // Opens the journal for this process alone, creating it when it is absent,
    // and reads it; false when another process holds it or it cannot be opened.
    // A journal this object holds already is read again.
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
    bool Extract(const std::wstring& folder, const std::wstring& package) override;
    FileState State(const std::wstring& path) override;
    bool Fingerprint(const std::wstring& path, FileFingerprint& print) override;
    std::vector<StagedFile> ListFiles(const std::wstring& folder) override;
    bool MakeFolder(const std::wstring& path) override;
    bool Move(const std::wstring& from, const std::wstring& to) override;
    bool HeldByAnother(const std::wstring& path) override;
    bool RemoveFile(const std::wstring& path) override;
    bool RemoveFolder(const std::wstring& path) override;
    void RemoveTree(const std::wstring& path) override;
    bool OpenJournal(const std::wstring& path, std::wstring& text) override;
    bool AppendJournal(const std::wstring& text) override;
    void CloseJournal(bool remove) override;

private:
    std::wstring ExpectedFinalPath(const std::wstring& path);
    static bool ReadJournal(HANDLE journal, std::wstring& text);

    CHandle m_journal;
    std::wstring m_journalPath;
    std::map<std::wstring, std::wstring> m_folderPlaces;  // folder -> its real place
};
