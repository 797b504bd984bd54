// The real file system, ended after a number of moves as a launcher that is
// killed there would be: the next move throws, nothing is rolled back or
// removed, and the journal is closed as the end of the process closes it.
#pragma once

#include "SwapFiles.h"

#include <filesystem>

struct LauncherEnded {};

class CEndedAfterMoves : public CSwapFiles {
public:
    explicit CEndedAfterMoves(int moves) : m_nLeft(moves) {}

    bool Move(const std::wstring& from, const std::wstring& to) override
    {
        if (m_nLeft-- == 0)
            throw LauncherEnded();
        return CSwapFiles::Move(from, to);
    }

private:
    int m_nLeft;
};

struct ProcessKilled {};

// The real file system, killed before its operation number at (counted from
// 0) as a power cut or TerminateProcess would: nothing after it runs, and the
// journal handle is abandoned, not closed by the swap. A journal write it
// kills is torn: half of it reaches the disk. Reads are not counted: ending
// before one leaves the disk as ending after the operation before it. at -1
// never kills; Operations() then counts them.
class CKilledAtOperation : public CSwapFiles {
public:
    explicit CKilledAtOperation(int at) : m_at(at) {}

    int Operations() const { return m_count; }

    // The extractor's work, done once, copied instead of being done again:
    // it is the same every time, and starting the extractor is most of a run.
    void ReuseExtraction(const std::wstring& extracted) { m_extracted = extracted; }

    bool Extract(const std::wstring& folder, const std::wstring& package) override
    {
        Count();
        if (m_extracted.empty())
            return CSwapFiles::Extract(folder, package);
        namespace fs = std::filesystem;
        std::error_code error;
        for (fs::recursive_directory_iterator it(m_extracted, error), end; !error && it != end; it.increment(error)) {
            const fs::path to = fs::path(folder) / it->path().lexically_relative(m_extracted);
            if (it->is_directory())
                fs::create_directories(to, error);
            else
                fs::copy_file(it->path(), to, error);
        }
        return !error;
    }
    bool MakeFolder(const std::wstring& path) override
    {
        Count();
        return CSwapFiles::MakeFolder(path);
    }
    bool Move(const std::wstring& from, const std::wstring& to) override
    {
        Count();
        return CSwapFiles::Move(from, to);
    }
    bool RemoveFile(const std::wstring& path) override
    {
        Count();
        return CSwapFiles::RemoveFile(path);
    }
    bool RemoveFolder(const std::wstring& path) override
    {
        Count();
        return CSwapFiles::RemoveFolder(path);
    }
    void RemoveTree(const std::wstring& path) override
    {
        Count();
        CSwapFiles::RemoveTree(path);
    }
    bool OpenJournal(const std::wstring& path, std::wstring& text) override
    {
        Count();
        return CSwapFiles::OpenJournal(path, text);
    }
    bool AppendJournal(const std::wstring& text) override
    {
        if (m_count == m_at)
            CSwapFiles::AppendJournal(text.substr(0, text.size() / 2));
        Count();
        return CSwapFiles::AppendJournal(text);
    }
    void CloseJournal(bool remove) override
    {
        Count();
        CSwapFiles::CloseJournal(remove);
    }

private:
    void Count()
    {
        if (m_count++ == m_at)
            throw ProcessKilled();
    }

    int m_at;
    int m_count = 0;
    std::wstring m_extracted;
};
