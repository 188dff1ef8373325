#include "plugin/jobs/builtinitems.h"

#include "common/tracer.h"
#include "plugin/engines/system/clipboard.h"

#include <string>

const char kContents[] = "the clipboard's contents";

void CClipboardItem::DoRun()
{
    TRACE(20, "CClipboardItem::Run");
    bool hadContents = false;
    const std::string warning = ClearClipboard(IsPreview(), hadContents);
    if (!warning.empty()) {
        LogWarning(warning);
        CountNotRemoved(NotRemoved::Failed);
        return;
    }
    if (!hadContents) {
        TRACE(20, "CClipboardItem::Run - the clipboard is empty");
        return;
    }
    CountRemoved(Removed::Store, kContents);
    TRACE(20, "CClipboardItem::Run - done");
}
