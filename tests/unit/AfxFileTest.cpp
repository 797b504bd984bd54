#include "framework/AfxException.h"
#include "framework/AfxFile.h"
#include "framework/AfxWin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FileTest : public testing::Test {
protected:
    void SetUp() override
    {
        path = AfxGetModuleFolder(nullptr) + L"\\archive-test.bin";
        ::DeleteFileW(path);
    }
    void TearDown() override { ::DeleteFileW(path); }

    std::string ReadBack(int nBufSize, UINT nPiece, std::vector<UINT>* pPieces = nullptr)
    {
        CFile file(path, CFile::modeRead);
        CArchive load(&file, CArchive::load, nBufSize);
        std::string all;
        std::string piece(nPiece, '\0');
        while (UINT n = load.Read(&piece[0], nPiece)) {
            all.append(piece, 0, n);
            if (pPieces)
                pPieces->push_back(n);
        }
        return all;
    }

    CString path;
};

TEST_F(FileTest, ArchivesCarryBytesAcrossTheirBuffers)
{
    struct Case {
        size_t size;
        int storeBuffer;
        int loadBuffer;
    };
    const Case cases[] = {{0, 7, 5}, {1, 7, 5}, {10000, 7, 5}, {10000, 4096, 4096}, {10000, 65536, 65536}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, buffers " << c.storeBuffer << "/" << c.loadBuffer);
        std::string bytes(c.size, '\0');
        for (size_t i = 0; i < c.size; ++i)
            bytes[i] = static_cast<char>(i * 31 + 7);
        {
            CFile file(path, CFile::modeCreate | CFile::modeWrite);
            CArchive store(&file, CArchive::store, c.storeBuffer);
            // Uneven pieces, so that writes straddle the buffer's end.
            for (size_t at = 0, n = 1; at < c.size; at += n, n = n * 3 % 1000 + 1)
                store.Write(bytes.data() + at, static_cast<UINT>(std::min(n, c.size - at)));
            store.Close();
        }
        std::vector<UINT> pieces;
        EXPECT_EQ(bytes, ReadBack(c.loadBuffer, 4096, &pieces));
        // Every piece is whole but the last, whatever the buffer holds.
        for (size_t i = 0; i + 1 < pieces.size(); ++i)
            EXPECT_EQ(4096u, pieces[i]);
    }
}

TEST_F(FileTest, StoringArchiveFlushesWhenItEnds)
{
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive store(&file, CArchive::store, 4096);
        store.Write("held in the buffer", 18);
    }
    EXPECT_EQ("held in the buffer", ReadBack(4096, 100));
}

TEST_F(FileTest, CreateTruncatesUnlessToldNotTo)
{
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        file.Write("0123456789", 10);
    }
    {
        CFile file(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    }
    EXPECT_EQ("0123456789", ReadBack(16, 16));
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
    }
    EXPECT_EQ("", ReadBack(16, 16));
}

TEST_F(FileTest, FailureThrowsWithCodeAndName)
{
    try {
        CFile file(path, CFile::modeRead);
        FAIL() << "opened a missing file";
    } catch (CException* e) {
        CExceptionPtr guard(e);
        auto* pFileError = dynamic_cast<CFileException*>(e);
        ASSERT_NE(nullptr, pFileError);
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), pFileError->m_dwError);
        EXPECT_EQ(path, pFileError->m_strFileName);
    }
}

} // namespace
