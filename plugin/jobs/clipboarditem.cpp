#include "plugin/jobs/builtinitems.h"

#include "common/strformat.h"
#include "common/tracer.h"

#include <windows.h>

namespace {

const char kContents[] = "the clipboard's contents";

// A program that is copying holds the clipboard for a moment: a few short
// waits let it finish before the job gives up.
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

void CClipboardItem::DoRun()
{
    TRACE(20, "CClipboardItem::Run");
    const OpenClipboardScope clipboard;
    if (!clipboard.IsOpen()) {
        LogWarning(StrFormat("The clipboard was not emptied: another program holds it (error %lu).",
                             static_cast<unsigned long>(clipboard.Error())));
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    if (::CountClipboardFormats() == 0) {
        TRACE(20, "CClipboardItem::Run - the clipboard is empty");
        return;
    }
    if (!IsPreview() && !::EmptyClipboard()) {
        LogWarning(StrFormat("The clipboard could not be emptied (error %lu).",
                             static_cast<unsigned long>(::GetLastError())));
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    CountRemoved(Removed::Store, kContents);
    TRACE(20, "CClipboardItem::Run - done");
}
