#include "common/openurl.h"

#include "common/strformat.h"

#include <shellapi.h>
#include <cstring>

namespace {

// Every step that fails skips the rest: the message follows regardless.
void CopyTextToClipboard(HWND owner, const char* text)
{
    if (!::OpenClipboard(owner)) return;
    if (::EmptyClipboard()) {
        const size_t size = std::strlen(text) + 1;
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
        if (memory != nullptr) {
            void* target = ::GlobalLock(memory);
            if (target != nullptr) {
                std::memcpy(target, text, size);
                ::GlobalUnlock(memory);
                // On success the clipboard owns the memory.
                if (::SetClipboardData(CF_TEXT, memory) == nullptr) ::GlobalFree(memory);
            } else {
                ::GlobalFree(memory);
            }
        }
    }
    ::CloseClipboard();
}

}  // namespace

void OpenUrl(HWND owner, const char* url)
{
    const HINSTANCE result = ::ShellExecuteA(owner, nullptr, url, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) > 32) return;

    CopyTextToClipboard(owner, url);
    const std::string message = StrFormat(
        "An error occured while opening the %s.\nPlease start your web browser and open it manually.\n\n"
        "URL text is already in clipboard for your convenience.",
        url);
    ::MessageBoxA(owner, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
}
