#include "plugin/engines/system/clipboard.h"

#include "common/strformat.h"

#include <windows.h>

namespace {

// A program that is copying holds the clipboard for a moment: a few short
// waits let it finish before the clearing gives up.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 100;

// The clipboard, opened for this thread and closed when the scope ends.
// Opened with no owner window: emptying it then leaves it without an owner,
// which is what a cleaner wants.
class OpenClipboardScope {
public:
    OpenClipboardScope()
    {
        for (int attempt = 0; attempt < kOpenAttempts && !m_open; ++attempt) {
            if (attempt > 0) ::Sleep(kOpenRetryMs);
            m_open = ::OpenClipboard(nullptr) != FALSE;
            if (!m_open) m_error = ::GetLastError();
        }
    }
    ~OpenClipboardScope()
    {
        if (m_open) ::CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;

    bool IsOpen() const { return m_open; }
    DWORD Error() const { return m_error; }

private:
    bool m_open = false;
    DWORD m_error = 0;
};

}  // namespace

std::string ClearClipboard(bool preview, bool& hadContents)
{
    hadContents = false;
    const OpenClipboardScope clipboard;
    if (!clipboard.IsOpen()) {
        return StrFormat("The clipboard was not emptied: another program holds it (error %lu).",
                         static_cast<unsigned long>(clipboard.Error()));
    }
    if (::CountClipboardFormats() == 0) return std::string();
    if (!preview && !::EmptyClipboard()) {
        return StrFormat("The clipboard could not be emptied (error %lu).", static_cast<unsigned long>(::GetLastError()));
    }
    hadContents = true;
    return std::string();
}
