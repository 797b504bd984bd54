// Downloads one address with the library's downloader, polling as a caller
// does, and prints the time it took and the process's peak working set.
//   download_bench.exe <address> <destination>
#include "host/UpdateApp.h"
#include "install/DownloadWait.h"
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
bool Download(LPCWSTR pszUrl, LPCWSTR pszDestination, LONG& nReceived)
{
    CFileDownloadHttp download;
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench <address> <destination>\n");
        return 2;
    }
    g_bInteractive = 0;  // a failure is printed, not shown

    LARGE_INTEGER start, end;
    LONG nReceived = 0;
    ::QueryPerformanceCounter(&start);
    const bool bFinished = Download(argv[1], argv[2], nReceived);
    ::QueryPerformanceCounter(&end);

    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));

    std::printf("finished=%d received=%ld seconds=%.3f peak_MiB=%.1f\n", bFinished ? 1 : 0, nReceived,
                Seconds(start, end), static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return bFinished ? 0 : 1;
}
