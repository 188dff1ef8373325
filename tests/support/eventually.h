#pragma once
// Waiting for what another thread or process does: a condition polled until
// it holds or the time is up.
#include <windows.h>

// Polls the condition every 50 ms until it holds (true) or the time is up
// (false).
template <typename Condition>
bool Eventually(Condition condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(50);
    }
}
