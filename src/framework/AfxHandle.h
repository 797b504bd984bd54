// The platform's handle owners beside the shared ones: icons and Internet handles.
#pragma once

#include "base/Handles.h"

struct CIconHandleTraits : CNullHandleTraits<HICON> {
    static void Close(Handle h) { ::DestroyIcon(h); }
};
using CIconHandle = CHandleOwner<CIconHandleTraits>;

#include <wininet.h>

struct CInternetHandleTraits : CNullHandleTraits<HINTERNET> {
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
using CInternetHandle = CHandleOwner<CInternetHandleTraits>;
