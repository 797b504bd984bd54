// What a caller checks of a body while it arrives, before the body may stand
// as the destination: the file is judged once, from the bytes written.
#pragma once

#include <windows.h>

class IDownloadCheck {
public:
    virtual ~IDownloadCheck() = default;

    // Every byte of the body, in order, as it is written.
    virtual void OnBytes(const BYTE* pData, DWORD nCount) = 0;
    // The body starts again from its first byte (the server sent the whole file).
    virtual void OnRestart() = 0;
    // After the last byte: S_OK lets the file replace the destination; a
    // failure code refuses it (the temporary file is removed).
    virtual HRESULT OnEnd(ULONGLONG nTotal) = 0;
};
