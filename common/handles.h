#pragma once
// Owning wrappers for the Windows handles the system keeps: each closes its
// handle exactly once, when it goes out of scope or is reset, and leaves the
// system's last error as it found it.
#include <windows.h>
#include <cstdio>
#include <memory>
#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept : m_handle(Traits::Invalid()) {}
    explicit UniqueResource(Handle handle) noexcept : m_handle(handle) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_handle; }
    bool IsValid() const noexcept { return Traits::IsValid(m_handle); }
    explicit operator bool() const noexcept { return IsValid(); }

    Handle Release() noexcept { return std::exchange(m_handle, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid()) noexcept {
        if (Traits::IsValid(m_handle)) {
            // A failure that makes a caller give up closes its handles on the
            // way out: its error, not the close's, is the one told.
            const DWORD lastError = ::GetLastError();
            Traits::Close(m_handle);
            ::SetLastError(lastError);
        }
        m_handle = handle;
    }
    // For APIs that return the handle through an out parameter.
    Handle* Receive() noexcept { Reset(); return &m_handle; }

private:
    Handle m_handle;
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};

// Handles that are null when invalid and closed by one function.
template <typename H, auto CloseFunction>
struct NullableHandleTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFunction(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueRegKey = UniqueResource<NullableHandleTraits<HKEY, &::RegCloseKey>>;
using UniqueModule = UniqueResource<NullableHandleTraits<HMODULE, &::FreeLibrary>>;
using UniqueMenu = UniqueResource<NullableHandleTraits<HMENU, &::DestroyMenu>>;
// Memory the system allocated for the caller (FormatMessage's buffer).
using UniqueLocal = UniqueResource<NullableHandleTraits<HLOCAL, &::LocalFree>>;

// A C runtime file, closed with fclose.
struct FileCloser {
    void operator()(std::FILE* file) const {
        const DWORD lastError = ::GetLastError();
        std::fclose(file);
        ::SetLastError(lastError);
    }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Runs an action when the scope ends, however it ends: undoes a change that has no handle.
template <typename Action>
class ScopeExit {
public:
    explicit ScopeExit(Action action) : m_action(std::move(action)) {}
    ~ScopeExit() { m_action(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Action m_action;
};
