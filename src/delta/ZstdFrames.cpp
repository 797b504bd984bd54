#include "delta/ZstdFrames.h"

#include "delta/FileRead.h"

#include <zstd.h>

#include <algorithm>

bool CompressFrame(std::string_view bytes, int level, std::string& frame)
{
    ZSTD_CCtx* ctx = ::ZSTD_createCCtx();
    if (!ctx)
        return false;
    // No checksum: the new file's SHA-256 is checked instead. No threads: one
    // worker gives the same bytes on every machine.
    bool ok = !ZSTD_isError(::ZSTD_CCtx_setParameter(ctx, ZSTD_c_compressionLevel, level)) &&
              !ZSTD_isError(::ZSTD_CCtx_setParameter(ctx, ZSTD_c_windowLog, kPatchWindowLog)) &&
              !ZSTD_isError(::ZSTD_CCtx_setParameter(ctx, ZSTD_c_contentSizeFlag, 1)) &&
              !ZSTD_isError(::ZSTD_CCtx_setParameter(ctx, ZSTD_c_checksumFlag, 0));
    if (ok) {
        std::string out(::ZSTD_compressBound(bytes.size()), '\0');
        const size_t size = ::ZSTD_compress2(ctx, &out[0], out.size(), bytes.data(), bytes.size());
        ok = !ZSTD_isError(size);
        if (ok) {
            out.resize(size);
            frame.swap(out);
        }
    }
    ::ZSTD_freeCCtx(ctx);
    return ok;
}

CFrameReader::CFrameReader(HANDLE file, ULONGLONG offset, ULONGLONG length)
    : m_file(file), m_next(offset), m_left(length), m_ctx(::ZSTD_createDCtx())
{
    if (m_ctx && ZSTD_isError(::ZSTD_DCtx_setParameter(m_ctx, ZSTD_d_windowLogMax, kPatchWindowLog))) {
        ::ZSTD_freeDCtx(m_ctx);
        m_ctx = nullptr;
    }
}

CFrameReader::~CFrameReader()
{
    ::ZSTD_freeDCtx(m_ctx);
}

bool CFrameReader::Refill()
{
    const size_t size = static_cast<size_t>(std::min<ULONGLONG>(m_left, ::ZSTD_DStreamInSize()));
    if (!ReadFileAt(m_file, m_next, size, m_input))
        return false;
    m_inputPos = 0;
    m_next += size;
    m_left -= size;
    return true;
}

CFrameReader::Pump CFrameReader::Decode(void* out, size_t size, size_t& produced)
{
    produced = 0;
    if (!m_ctx || m_frameDone)
        return Pump::Error;
    if (m_inputPos == m_input.size() && m_left > 0 && !Refill())
        return Pump::Error;
    ZSTD_inBuffer input = {m_input.data(), m_input.size(), m_inputPos};
    ZSTD_outBuffer output = {out, size, 0};
    const size_t result = ::ZSTD_decompressStream(m_ctx, &output, &input);
    if (ZSTD_isError(result))
        return Pump::Error;
    const bool moved = input.pos != m_inputPos || output.pos != 0;
    m_inputPos = input.pos;
    produced = output.pos;
    if (result == 0) {
        m_frameDone = true;
        return Pump::FrameEnd;
    }
    return moved ? Pump::Progress : Pump::Stuck;
}

bool CFrameReader::Read(void* out, size_t count)
{
    auto* p = static_cast<BYTE*>(out);
    while (count > 0) {
        size_t produced = 0;
        const Pump pump = Decode(p, count, produced);
        p += produced;
        count -= produced;
        if (count > 0 && pump != Pump::Progress)
            return false;
    }
    return true;
}

bool CFrameReader::Finished()
{
    while (!m_frameDone) {
        BYTE extra;
        size_t produced = 0;
        const Pump pump = Decode(&extra, 1, produced);
        if (produced != 0 || pump == Pump::Error || pump == Pump::Stuck)
            return false;
    }
    return m_inputPos == m_input.size() && m_left == 0;
}
