// The platform's handle owners beside the shared ones: icons and Internet handles.
#pragma once

#include "base/Handles.h"

struct CIconHandleTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DestroyIcon(h); }
};
using CIconHandle = CHandleOwner<CIconHandleTraits>;

#include <wininet.h>

struct CInternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
using CInternetHandle = CHandleOwner<CInternetHandleTraits>;
