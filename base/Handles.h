// Move-only owners for platform handles: one template, one traits type per kind.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class CHandleOwner {
public:
    using Handle = typename Traits::Handle;

    CHandleOwner() = default;
    explicit CHandleOwner(Handle h) : m_h(h) {}
    ~CHandleOwner() { Reset(); }

    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;
    CHandleOwner(CHandleOwner&& other) noexcept : m_h(other.Detach()) {}
    CHandleOwner& operator=(CHandleOwner&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    Handle Get() const { return m_h; }
    explicit operator bool() const { return Traits::IsValid(m_h); }

    void Reset(Handle h = Traits::Invalid())
    {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }

    Handle Detach() { return std::exchange(m_h, Traits::Invalid()); }

private:
    Handle m_h = Traits::Invalid();
};

// The traits of a kind that is empty when null; each kind adds how it is freed.
template <typename H>
struct CNullHandleTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
};

struct CKernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using CHandle = CHandleOwner<CKernelHandleTraits>;

struct CFindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
using CFindHandle = CHandleOwner<CFindHandleTraits>;

struct CModuleHandleTraits : CNullHandleTraits<HMODULE> {
    static void Close(Handle h) { ::FreeLibrary(h); }
};
using CLibrary = CHandleOwner<CModuleHandleTraits>;

// Memory that the platform allocated for us and that LocalFree gives back
// (FormatMessageW, CommandLineToArgvW, CryptDecodeObjectEx).
template <typename T>
struct CLocalMemoryTraits : CNullHandleTraits<T*> {
    static void Close(T* h) { ::LocalFree(h); }
};
template <typename T>
using CLocalMemory = CHandleOwner<CLocalMemoryTraits<T>>;
