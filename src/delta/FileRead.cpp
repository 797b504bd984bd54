#include "delta/FileRead.h"

#include <algorithm>

bool ReadFileAt(HANDLE file, ULONGLONG offset, size_t size, std::string& bytes)
{
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file, &bytes[done], want, &read, &at) || read == 0)
            return false;
        done += read;
    }
    return true;
}
