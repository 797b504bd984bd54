// The interface that the optional language library "vexmod.dll" hands out
// through its export with ordinal 1.
#pragma once

#include <unknwn.h>

// {2FB6C7F2-10E0-4A59-9E40-4AEEDCD1486E}
inline constexpr IID IID_ILanguageTranslater = {
    0x2FB6C7F2, 0x10E0, 0x4A59, {0x9E, 0x40, 0x4A, 0xEE, 0xDC, 0xD1, 0x48, 0x6E}};

// Entries 3 to 8 belong to the language library; the library calls only Translate.
struct ILanguageTranslater : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    // pszBuffer holds 1024 characters: the text on entry, its translation on return.
    virtual HRESULT STDMETHODCALLTYPE Translate(LPWSTR pszBuffer, LPCWSTR pszSection) = 0;
};

// The language library's export with ordinal 1.
using PFN_LANGUAGE_FACTORY = HRESULT(WINAPI*)(REFIID riid, void** ppInterface);
