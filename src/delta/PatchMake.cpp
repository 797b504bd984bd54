#include "delta/PatchMake.h"

#include "delta/PatchHeader.h"
#include "delta/ZstdFrames.h"
#include "base/Sha256.h"

#include <bsdiff_memory.h>

#include <exception>

namespace {

// The streams are made once and read many times: the slowest level pays.
const int kPatchLevel = 19;

int KeepStream(void* context, int stream, const void* data, size_t size)
{
    auto* streams = static_cast<std::string*>(context);
    try {
        streams[stream].append(static_cast<const char*>(data), size);
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}

} // namespace

bool MakePatch(std::string_view oldBytes, std::string_view newBytes, std::string& patch)
{
    if (oldBytes.size() > kPatchMaxFileBytes || newBytes.size() > kPatchMaxFileBytes)
        return false;
    std::string streams[3];
    if (::bsdiff_memory(reinterpret_cast<const unsigned char*>(oldBytes.data()), oldBytes.size(),
                        reinterpret_cast<const unsigned char*>(newBytes.data()), newBytes.size(), KeepStream,
                        streams) != 0)
        return false;
    std::string frames[3];
    for (int i = 0; i < 3; ++i) {
        if (!CompressFrame(streams[i], kPatchLevel, frames[i]))
            return false;
        std::string().swap(streams[i]);
    }
    PatchHeader header;
    header.method = PatchMethod::BsdiffZstd;
    header.oldSize = oldBytes.size();
    header.newSize = newBytes.size();
    if (!Sha256Of(oldBytes.data(), oldBytes.size(), header.oldSha256) ||
        !Sha256Of(newBytes.data(), newBytes.size(), header.newSha256))
        return false;
    header.controlBytes = frames[BSDIFF_MEMORY_CONTROL].size();
    header.diffBytes = frames[BSDIFF_MEMORY_DIFF].size();
    header.extraBytes = frames[BSDIFF_MEMORY_EXTRA].size();
    patch = FormatPatchHeader(header);
    for (const std::string& frame : frames)
        patch += frame;
    return true;
}
