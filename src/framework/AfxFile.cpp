#include "framework/AfxFile.h"

#include "framework/AfxException.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

DWORD AccessOf(UINT nOpenFlags)
{
    if (nOpenFlags & CFile::modeReadWrite)
        return GENERIC_READ | GENERIC_WRITE;
    return (nOpenFlags & CFile::modeWrite) ? GENERIC_WRITE : GENERIC_READ;
}

DWORD ShareOf(UINT nOpenFlags)
{
    switch (nOpenFlags & 0x70) {
    case CFile::shareDenyWrite: return FILE_SHARE_READ;
    case CFile::shareDenyRead: return FILE_SHARE_WRITE;
    case CFile::shareDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return 0;
    }
}

DWORD CreationOf(UINT nOpenFlags)
{
    if (!(nOpenFlags & CFile::modeCreate))
        return OPEN_EXISTING;
    return (nOpenFlags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

} // namespace

CFile::CFile(LPCWSTR pszFileName, UINT nOpenFlags)
{
    Open(pszFileName, nOpenFlags);
}

void CFile::Open(LPCWSTR pszFileName, UINT nOpenFlags)
{
    Close();
    m_strFileName = pszFileName;
    HANDLE h = ::CreateFileW(m_strFileName, AccessOf(nOpenFlags), ShareOf(nOpenFlags), nullptr,
                             CreationOf(nOpenFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        AfxThrowFileException(::GetLastError(), m_strFileName);
    m_hFile.Reset(h);
}

void CFile::Attach(CHandle file, LPCWSTR pszFileName)
{
    const DWORD dwError = ::GetLastError();
    Close();
    m_strFileName = pszFileName;
    if (!file)
        AfxThrowFileException(dwError, m_strFileName);
    m_hFile = std::move(file);
}

UINT CFile::Read(void* pBuffer, UINT nCount)
{
    DWORD nRead = 0;
    if (!::ReadFile(m_hFile.Get(), pBuffer, nCount, &nRead, nullptr))
        AfxThrowFileException(::GetLastError(), m_strFileName);
    return nRead;
}

void CFile::Write(const void* pBuffer, UINT nCount)
{
    const BYTE* p = static_cast<const BYTE*>(pBuffer);
    while (nCount > 0) {
        DWORD nWritten = 0;
        if (!::WriteFile(m_hFile.Get(), p, nCount, &nWritten, nullptr))
            AfxThrowFileException(::GetLastError(), m_strFileName);
        if (nWritten == 0)
            AfxThrowFileException(ERROR_WRITE_FAULT, m_strFileName);
        p += nWritten;
        nCount -= nWritten;
    }
}

ULONGLONG CFile::SeekToEnd()
{
    LARGE_INTEGER end = {};
    if (!::SetFilePointerEx(m_hFile.Get(), LARGE_INTEGER{}, &end, FILE_END))
        AfxThrowFileException(::GetLastError(), m_strFileName);
    return static_cast<ULONGLONG>(end.QuadPart);
}

void CFile::Close()
{
    m_hFile.Reset();
}

CArchive::CArchive(CFileBase* pFile, UINT nMode, int nBufSize)
    : m_pFile(pFile), m_bLoading((nMode & load) != 0), m_buffer(static_cast<size_t>(std::max(nBufSize, 1)))
{
}

CArchive::~CArchive()
{
    if (!m_pFile || m_bLoading)
        return;
    try {
        Flush();
    } catch (CException* e) {
        e->Delete();
    }
}

UINT CArchive::Read(void* pBuffer, UINT nMax)
{
    BYTE* p = static_cast<BYTE*>(pBuffer);
    UINT nDone = 0;
    while (nDone < nMax) {
        if (m_nStart == m_nEnd) {
            m_nStart = 0;
            m_nEnd = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
            if (m_nEnd == 0)
                break;
        }
        const size_t n = std::min<size_t>(nMax - nDone, m_nEnd - m_nStart);
        std::memcpy(p + nDone, m_buffer.data() + m_nStart, n);
        m_nStart += n;
        nDone += static_cast<UINT>(n);
    }
    return nDone;
}

void CArchive::Write(const void* pBuffer, UINT nCount)
{
    const BYTE* p = static_cast<const BYTE*>(pBuffer);
    while (nCount > 0) {
        if (m_nEnd == m_buffer.size())
            Flush();
        const size_t n = std::min<size_t>(nCount, m_buffer.size() - m_nEnd);
        std::memcpy(m_buffer.data() + m_nEnd, p, n);
        m_nEnd += n;
        p += n;
        nCount -= static_cast<UINT>(n);
    }
}

void CArchive::Flush()
{
    if (m_bLoading || m_nEnd == 0)
        return;
    const UINT n = static_cast<UINT>(m_nEnd);
    m_nEnd = 0;
    m_pFile->Write(m_buffer.data(), n);
}

void CArchive::Close()
{
    if (!m_pFile)
        return;
    Flush();
    m_pFile = nullptr;
}
