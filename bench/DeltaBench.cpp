// Makes and applies binary patches and prints what each took; bench/delta runs
// it once per changed file of a pair of releases, and on one large file.
//   delta_bench make <old> <new> <patch>    chooses the form; writes the patch when it is chosen
//   delta_bench apply <old> <patch> <new>   makes new; prints the apply's time and peak memory
#include "delta/FileForm.h"
#include "delta/PatchApply.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ReadAll(const wchar_t* path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

ULONGLONG FileSize(const wchar_t* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Make(const wchar_t* oldPath, const wchar_t* newPath, const wchar_t* patchPath)
{
    std::string oldBytes, newBytes;
    if (!ReadAll(oldPath, oldBytes) || !ReadAll(newPath, newBytes)) {
        std::fprintf(stderr, "delta_bench: cannot read %ls or %ls\n", oldPath, newPath);
        return 1;
    }
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    const FileDelta delta = ChooseFileForm(oldBytes, newBytes);
    ::QueryPerformanceCounter(&end);
    if (delta.form == FileForm::Patch) {
        std::ofstream out(patchPath, std::ios::binary | std::ios::trunc);
        out.write(delta.patch.data(), static_cast<std::streamsize>(delta.patch.size()));
        if (!out) {
            std::fprintf(stderr, "delta_bench: cannot write %ls\n", patchPath);
            return 1;
        }
    }
    std::printf("form=%s new_bytes=%zu patch_bytes=%zu make_ms=%.1f\n", delta.form == FileForm::Patch ? "patch" : "whole",
                newBytes.size(), delta.patch.size(), Milliseconds(start, end));
    return 0;
}

int Apply(const wchar_t* oldPath, const wchar_t* patchPath, const wchar_t* newPath)
{
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    const PatchResult result = ApplyPatch(oldPath, patchPath, newPath);
    ::QueryPerformanceCounter(&end);
    if (result != PatchResult::Applied) {
        std::fprintf(stderr, "delta_bench: the patch was not applied (%d)\n", static_cast<int>(result));
        return 1;
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    const double ms = Milliseconds(start, end);
    const ULONGLONG bytes = FileSize(newPath);
    std::printf("new_bytes=%llu apply_ms=%.1f MB_per_s=%.0f peak_working_set_MiB=%.1f peak_private_MiB=%.1f\n", bytes, ms,
                ms > 0 ? static_cast<double>(bytes) / 1e6 / (ms / 1000.0) : 0.0,
                static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0),
                static_cast<double>(counters.PeakPagefileUsage) / (1024.0 * 1024.0));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && std::wstring(argv[1]) == L"make")
        return Make(argv[2], argv[3], argv[4]);
    if (argc == 5 && std::wstring(argv[1]) == L"apply")
        return Apply(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: delta_bench make <old> <new> <patch> | apply <old> <patch> <new>\n");
    return 2;
}
