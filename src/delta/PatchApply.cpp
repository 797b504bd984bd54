#include "delta/PatchApply.h"

#include "delta/FileRead.h"
#include "delta/PatchHeader.h"
#include "delta/PatchSteps.h"
#include "delta/ZstdFrames.h"
#include "base/Sha256.h"

#include <algorithm>

namespace {

const size_t kChunkBytes = 256 * 1024;
const size_t kWriteBytes = 1024 * 1024;

// The new file while it is made: deleted unless it was kept.
class CNewFile {
public:
    explicit CNewFile(const std::wstring& path) : m_path(path)
    {
        m_file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        m_buffer.reserve(kWriteBytes);
    }
    ~CNewFile()
    {
        const bool made = static_cast<bool>(m_file);
        m_file.Reset();
        if (made && !m_kept)
            ::DeleteFileW(m_path.c_str());
    }
    CNewFile(const CNewFile&) = delete;
    CNewFile& operator=(const CNewFile&) = delete;

    bool IsOpen() const { return static_cast<bool>(m_file); }

    bool Write(const char* data, size_t size)
    {
        m_hasher.Update(data, size);
        m_buffer.append(data, size);
        return m_buffer.size() < kWriteBytes || Flush();
    }

    // Flushes every byte to the disk and tells whether they were the bytes the
    // patch names; false when a write or the flush failed.
    bool Finish(const std::array<BYTE, 32>& expected, bool& matches)
    {
        Sha256Digest digest;
        if (!Flush() || !::FlushFileBuffers(m_file.Get()) || !m_hasher.Finish(digest))
            return false;
        matches = digest == expected;
        return true;
    }

    void Keep() { m_kept = true; }

private:
    bool Flush()
    {
        size_t done = 0;
        while (done < m_buffer.size()) {
            DWORD written = 0;
            if (!::WriteFile(m_file.Get(), m_buffer.data() + done, static_cast<DWORD>(m_buffer.size() - done), &written,
                             nullptr) || written == 0)
                return false;
            done += written;
        }
        m_buffer.clear();
        return true;
    }

    std::wstring m_path;
    CHandle m_file;
    std::string m_buffer;
    CSha256 m_hasher;
    bool m_kept = false;
};

// The old file's bytes for the steps, read a large window at a time: steps
// mostly move forward through it, and each read of the platform costs.
class COldWindow {
public:
    COldWindow(HANDLE file, ULONGLONG size) : m_file(file), m_size(size) {}

    // size bytes from offset on, which the caller has checked lie within the file.
    const char* Get(ULONGLONG offset, size_t size)
    {
        if (offset < m_start || offset + size > m_start + m_bytes.size()) {
            const size_t length = static_cast<size_t>(std::min<ULONGLONG>(m_size - offset, std::max(size, kWindowBytes)));
            if (!ReadFileAt(m_file, offset, length, m_bytes)) {
                m_bytes.clear();
                return nullptr;
            }
            m_start = offset;
        }
        return m_bytes.data() + (offset - m_start);
    }

private:
    static constexpr size_t kWindowBytes = 1024 * 1024;
    HANDLE m_file;
    ULONGLONG m_size;
    ULONGLONG m_start = 0;
    std::string m_bytes;
};

enum class OldCheck { Matches, Differs, Failed };

OldCheck CheckOldFile(HANDLE file, const PatchHeader& header)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return OldCheck::Failed;
    if (static_cast<ULONGLONG>(size.QuadPart) != header.oldSize)
        return OldCheck::Differs;
    CSha256 hasher;
    std::string chunk;
    for (ULONGLONG done = 0; done < header.oldSize;) {
        const size_t size = static_cast<size_t>(std::min<ULONGLONG>(header.oldSize - done, kWriteBytes));
        if (!ReadFileAt(file, done, size, chunk))
            return OldCheck::Failed;
        hasher.Update(chunk.data(), chunk.size());
        done += size;
    }
    Sha256Digest digest;
    if (!hasher.Finish(digest))
        return OldCheck::Failed;
    return digest == header.oldSha256 ? OldCheck::Matches : OldCheck::Differs;
}

} // namespace

PatchResult ApplyPatch(const std::wstring& oldPath, const std::wstring& patchPath, const std::wstring& newPath)
{
    CHandle patch(::CreateFileW(patchPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER patchSize;
    if (!patch || !::GetFileSizeEx(patch.Get(), &patchSize))
        return PatchResult::Failed;
    std::string bytes;
    PatchHeader header;
    if (static_cast<ULONGLONG>(patchSize.QuadPart) < kPatchHeaderBytes)
        return PatchResult::PatchDamaged;
    if (!ReadFileAt(patch.Get(), 0, kPatchHeaderBytes, bytes))
        return PatchResult::Failed;
    if (!ParsePatchHeader(bytes, static_cast<ULONGLONG>(patchSize.QuadPart), header))
        return PatchResult::PatchDamaged;

    // Shared with readers only, so that the bytes checked are the bytes used.
    CHandle old(::CreateFileW(oldPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!old) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PatchResult::OldFileDiffers
                                                                                : PatchResult::Failed;
    }
    switch (CheckOldFile(old.Get(), header)) {
    case OldCheck::Matches:
        break;
    case OldCheck::Differs:
        return PatchResult::OldFileDiffers;
    case OldCheck::Failed:
        return PatchResult::Failed;
    }

    CNewFile out(newPath);
    if (!out.IsOpen())
        return PatchResult::Failed;
    ULONGLONG offset = kPatchHeaderBytes;
    CFrameReader control(patch.Get(), offset, header.controlBytes);
    CFrameReader diff(patch.Get(), offset += header.controlBytes, header.diffBytes);
    CFrameReader extra(patch.Get(), offset += header.diffBytes, header.extraBytes);

    COldWindow oldBytes(old.Get(), header.oldSize);
    std::string step(kPatchStepBytes, '\0'), added(kChunkBytes, '\0');
    PatchPlace place;
    // bsdiff moves on at least one new byte for every step but the first.
    for (ULONGLONG steps = 0; place.newPos < header.newSize; ++steps) {
        PatchStep next;
        PatchPlace after = place;
        if (steps > header.newSize || !control.Read(&step[0], step.size()) || !DecodePatchStep(step, next) ||
            !AdvancePatchPlace(next, header.oldSize, header.newSize, after))
            return PatchResult::PatchDamaged;
        for (ULONGLONG done = 0; done < static_cast<ULONGLONG>(next.diffBytes);) {
            const size_t size = static_cast<size_t>(std::min<ULONGLONG>(next.diffBytes - done, kChunkBytes));
            if (!diff.Read(&added[0], size))
                return PatchResult::PatchDamaged;
            const char* oldChunk = oldBytes.Get(place.oldPos + done, size);
            if (!oldChunk)
                return PatchResult::Failed;
            for (size_t i = 0; i < size; ++i)
                added[i] = static_cast<char>(added[i] + oldChunk[i]);
            if (!out.Write(added.data(), size))
                return PatchResult::Failed;
            done += size;
        }
        for (ULONGLONG done = 0; done < static_cast<ULONGLONG>(next.extraBytes);) {
            const size_t size = static_cast<size_t>(std::min<ULONGLONG>(next.extraBytes - done, kChunkBytes));
            if (!extra.Read(&added[0], size))
                return PatchResult::PatchDamaged;
            if (!out.Write(added.data(), size))
                return PatchResult::Failed;
            done += size;
        }
        place = after;
    }
    if (!control.Finished() || !diff.Finished() || !extra.Finished())
        return PatchResult::PatchDamaged;
    bool matches = false;
    if (!out.Finish(header.newSha256, matches))
        return PatchResult::Failed;
    if (!matches)
        return PatchResult::PatchDamaged;
    out.Keep();
    return PatchResult::Applied;
}
