// Move-only owner of one COM reference.
#pragma once

#include <unknwn.h>

#include <utility>

template <typename T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }

    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_p(other.Detach()) {}
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    // Takes over a reference the caller already holds.
    static CComPtr Adopt(T* p)
    {
        CComPtr owner;
        owner.m_p = p;
        return owner;
    }

    // Adds a reference of its own to a borrowed pointer.
    static CComPtr Share(T* p)
    {
        if (p)
            p->AddRef();
        return Adopt(p);
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out parameters: the old reference is released first.
    T** Put()
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Attach(T* p)
    {
        T* old = std::exchange(m_p, p);
        if (old)
            old->Release();
    }
    void Reset() { Attach(nullptr); }
    T* Detach() { return std::exchange(m_p, nullptr); }

    // Another interface of the same object; empty when it has none.
    template <typename U>
    CComPtr<U> As() const
    {
        CComPtr<U> other;
        if (m_p)
            m_p->QueryInterface(__uuidof(U), other.PutVoid());
        return other;
    }

private:
    T* m_p = nullptr;
};
