// A second process that holds a file as a running program, a scanner or a
// preview would: open for reading, without letting anyone move or delete it.
//   hold_file.exe <path> [milliseconds]
// Holds it that long (without a time, until it is ended), then lets go.
// Exits with 1 when the file cannot be opened.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    ::Sleep(argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : INFINITE);
    ::CloseHandle(file);
    return 0;
}
