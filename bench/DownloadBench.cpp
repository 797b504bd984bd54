// Downloads one address with the library's downloader, polling as a caller
// does, and prints the time it took and the process's peak working set. With a
// digest the body is checked as a package is: a cabinet of that SHA-256.
//   download_bench.exe <address> <destination> [sha256]
#include "install/DownloadWait.h"
#include "install/PackageCheck.h"
#include "net/FileDownloadHttp.h"

#include <psapi.h>

#include <cstdio>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts, polls until the end and destroys the downloader; true when it finished.
bool Download(LPCWSTR pszUrl, LPCWSTR pszDestination, const Sha256Digest* pDigest, LONG& nReceived)
{
    CPackageCheck check(pDigest);
    CFileDownloadHttp download;
    if (pDigest)
        download.SetCheck(&check);
    if (FAILED(download.Download(pszUrl, pszDestination)))
        return false;
    // Polled as the package download polls, with a sink that never stops it.
    return SUCCEEDED(WaitForDownload(download, [&] {
        nReceived = download.GetReceived();
        return false;
    }));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Sha256Digest digest = {};
    if ((argc != 3 && argc != 4) || (argc == 4 && !ParseSha256Hex(argv[3], digest))) {
        std::fprintf(stderr, "usage: download_bench <address> <destination> [sha256]\n");
        return 2;
    }

    LARGE_INTEGER start, end;
    LONG nReceived = 0;
    ::QueryPerformanceCounter(&start);
    const bool bFinished = Download(argv[1], argv[2], argc == 4 ? &digest : nullptr, nReceived);
    ::QueryPerformanceCounter(&end);

    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));

    std::printf("finished=%d received=%ld seconds=%.3f peak_MiB=%.1f\n", bFinished ? 1 : 0, nReceived,
                Seconds(start, end), static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return bFinished ? 0 : 1;
}
