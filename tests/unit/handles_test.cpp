#include "common/handles.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <io.h>

namespace {

// What a caller set before its handles were closed on the way out.
const DWORD kCallersError = ERROR_SHARING_VIOLATION;

// Values no close accepts (no object in the process has them), so the
// system's close fails and sets its own error: the case the wrappers guard.
// (Menus and registry keys are left out: under Wine their failed close
// leaves the last error alone, so no case would show anything.)
HANDLE NoKernelObject() { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x00FFFFFC)); }
HANDLE NoSearch() { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x10)); }  // unreadable memory
HMODULE NoModule() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x00FFF000)); }
alignas(16) char g_notFromTheHeap[16];

struct CloseCase {
    const char* kind;
    std::function<void()> closeDirectly;  // the system's close, alone
    std::function<void()> closeByWrapper;  // the same value given to the wrapper, which goes out of scope
};

}  // namespace

TEST(HandleWrappers, KeepTheCallersLastErrorWhenTheirCloseFails)
{
    const CloseCase cases[] = {
        {"kernel handle", [] { ::CloseHandle(NoKernelObject()); }, [] { UniqueHandle held(NoKernelObject()); }},
        {"find handle", [] { ::FindClose(NoSearch()); }, [] { UniqueFindHandle held(NoSearch()); }},
        {"module", [] { ::FreeLibrary(NoModule()); }, [] { UniqueModule held(NoModule()); }},
        {"local memory", [] { ::LocalFree(g_notFromTheHeap); }, [] { UniqueLocal held(g_notFromTheHeap); }},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.kind);
        // The close itself changes the error, else this case would show nothing.
        ::SetLastError(kCallersError);
        c.closeDirectly();
        ASSERT_NE(::GetLastError(), kCallersError);

        ::SetLastError(kCallersError);
        c.closeByWrapper();
        EXPECT_EQ(::GetLastError(), kCallersError);
    }
}

// Every way a wrapper lets go of its handle keeps the error alike.
TEST(HandleWrappers, KeepTheLastErrorOnEveryWayOfClosing)
{
    const std::pair<const char*, std::function<void(UniqueHandle&)>> ways[] = {
        {"Reset", [](UniqueHandle& held) { held.Reset(); }},
        {"Reset to another", [](UniqueHandle& held) { held.Reset(NoKernelObject()); }},
        {"move assignment", [](UniqueHandle& held) { held = UniqueHandle(); }},
        {"Receive", [](UniqueHandle& held) { held.Receive(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        UniqueHandle held(NoKernelObject());
        ::SetLastError(kCallersError);
        way.second(held);
        EXPECT_EQ(::GetLastError(), kCallersError);
        held.Release();
    }
}

TEST(HandleWrappers, CRuntimeFileKeepsTheLastErrorWhenItsCloseFails)
{
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(::GetTempFileNameA(folder, "twh", 0, path), 0u);
    UniqueFile file(std::fopen(path, "r"));
    ASSERT_NE(file, nullptr);
    // Its system handle closed under it: the runtime's close then fails.
    ASSERT_TRUE(::CloseHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get())))));
    ::SetLastError(kCallersError);
    file.reset();
    EXPECT_EQ(::GetLastError(), kCallersError);
    ::DeleteFileA(path);
}
