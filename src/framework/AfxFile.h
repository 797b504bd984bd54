// Files and the buffered archive over them. Failures throw a CFileException.
#pragma once

#include "framework/AfxHandle.h"
#include "framework/AfxString.h"

#include <vector>

// What an archive moves bytes through: a disk file, or the body of an
// Internet request.
class CFileBase {
public:
    virtual ~CFileBase() = default;

    // Up to nCount bytes; 0 at the end.
    virtual UINT Read(void* pBuffer, UINT nCount) = 0;
    // All nCount bytes, or throws.
    virtual void Write(const void* pBuffer, UINT nCount) = 0;
    virtual void Close() = 0;

protected:
    CFileBase() = default;
    CFileBase(const CFileBase&) = delete;
    CFileBase& operator=(const CFileBase&) = delete;
};

class CFile : public CFileBase {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };

    CFile() = default;
    CFile(LPCWSTR pszFileName, UINT nOpenFlags);  // opens, or throws

    // Opens (modeCreate: creates, truncating unless modeNoTruncate); throws on failure.
    void Open(LPCWSTR pszFileName, UINT nOpenFlags);
    // Takes a file the caller opened its own way; throws for a null one with the last error.
    void Attach(CHandle file, LPCWSTR pszFileName);

    UINT Read(void* pBuffer, UINT nCount) override;
    void Write(const void* pBuffer, UINT nCount) override;
    void Close() override;
    // Moves to the end and returns the length; throws on failure.
    ULONGLONG SeekToEnd();


private:
    CString m_strFileName;
    CHandle m_hFile;
};

// Buffered reading (load) or writing (store) over a file that the caller owns.
// A loading archive fills its buffer with one read of the file at a time and
// hands out what the caller asks for; a storing one writes when it is full.
class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFileBase* pFile, UINT nMode, int nBufSize = 4096);
    // Flushes what a storing archive still holds, best effort: a failure here is dropped.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Up to nMax bytes; fewer only at the end of the file.
    UINT Read(void* pBuffer, UINT nMax);
    void Write(const void* pBuffer, UINT nCount);
    void Flush();
    // Flushes a storing archive and detaches from the file (the file stays open).
    void Close();


private:
    CFileBase* m_pFile;
    BOOL m_bLoading;
    std::vector<BYTE> m_buffer;
    size_t m_nStart = 0;  // load: next byte to hand out
    size_t m_nEnd = 0;    // load: end of the bytes held; store: bytes waiting
};
