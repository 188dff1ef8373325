#include "plugin/jobs/builtinitems.h"

#include "common/tracer.h"
#include "plugin/engines/system/clipboardhistory.h"

#include <string>

const char kHistory[] = "the clipboard history";

void CClipboardHistoryItem::DoRun()
{
    TRACE(20, "CClipboardHistoryItem::Run");
    std::string warning;
    switch (ClearClipboardHistory(IsPreview(), warning)) {
    case ClipboardHistoryResult::NotPresent:
        ReportNotPresent(kHistory);
        return;
    case ClipboardHistoryResult::Failed:
        LogWarning(warning);
        CountNotRemoved(NotRemoved::Failed);
        return;
    case ClipboardHistoryResult::TurnedOff:
        LogInfo("The clipboard history is turned off: there is none to clear.");
        return;
    case ClipboardHistoryResult::Cleared:
        CountRemoved(Removed::Store, kHistory);
        TRACE(20, "CClipboardHistoryItem::Run - done");
        return;
    }
}
