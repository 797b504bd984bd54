// Hashes 256 MiB in 4 KiB pieces, as the downloader feeds the hasher while it
// writes, and prints the time it took.
#include "base/Sha256.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int main()
{
    const size_t kChunk = __argc > 1 ? static_cast<size_t>(std::atoi(__argv[1])) : 4096;
    const size_t kTotal = 256u * 1024 * 1024;
    std::vector<BYTE> chunk(kChunk);
    for (size_t i = 0; i < kChunk; ++i)
        chunk[i] = static_cast<BYTE>(i * 131);

    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    CSha256 hasher;
    for (size_t done = 0; done < kTotal; done += kChunk)
        hasher.Update(chunk.data(), chunk.size());
    Sha256Digest digest;
    const bool bDone = hasher.Finish(digest);
    ::QueryPerformanceCounter(&end);

    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("sha256 256 MiB in 4 KiB chunks: %.3f s (%.0f MiB/s) %ls\n", seconds, 256.0 / seconds,
                bDone ? FormatSha256Hex(digest).c_str() : L"failed");
    return bDone ? 0 : 1;
}
