#pragma once
// Waiting for what another thread or process does: a condition polled until
// it holds or the time is up.
#include <windows.h>

// How long tests wait, by what they wait for: what a window shows in answer
// to input or at the console's one-second refresh...
constexpr DWORD kAnswerTimeout = 5000;
// ...and a window, box, file or process that appears or goes away.
constexpr DWORD kAppearTimeout = 10000;

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
