// zstd frames as patches carry them: one frame per stream, made the same way
// for the same bytes, and read back in pieces from a region of an open file.
#pragma once

#include "base/Handles.h"

#include <string>
#include <string_view>

struct ZSTD_DCtx_s;

// The window a patch's frames are made with, and the largest one read back:
// it bounds the memory a reader takes whatever a frame claims.
const int kPatchWindowLog = 23;

// bytes as one frame at level (1 to 19) that names its size; false when memory ran out.
bool CompressFrame(std::string_view bytes, int level, std::string& frame);

// Decodes the one frame stored in [offset, offset + length) of file, which
// stays open meanwhile; reads go by offset and move no file pointer.
class CFrameReader {
public:
    CFrameReader(HANDLE file, ULONGLONG offset, ULONGLONG length);
    ~CFrameReader();
    CFrameReader(const CFrameReader&) = delete;
    CFrameReader& operator=(const CFrameReader&) = delete;

    // Exactly count decoded bytes; false when the frame is damaged, ends
    // before them or the file cannot be read.
    bool Read(void* out, size_t count);

    // True once the frame has ended with no decoded byte left unread and
    // nothing in the region after it.
    bool Finished();

private:
    enum class Pump { Progress, FrameEnd, Stuck, Error };
    Pump Decode(void* out, size_t size, size_t& produced);
    bool Refill();

    HANDLE m_file;
    ULONGLONG m_next;  // the file offset of the next region byte not yet read
    ULONGLONG m_left;  // region bytes not yet read
    ZSTD_DCtx_s* m_ctx;
    std::string m_input;
    size_t m_inputPos = 0;
    bool m_frameDone = false;
};
