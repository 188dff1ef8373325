#include "plugin/jobs/builtinitems.h"

#include "common/error.h"
#include "common/resstring.h"
#include "plugin/engines/system/jumplists.h"
#include "plugin/resource.h"

#include <windows.h>
#include <shlobj.h>

namespace {

// The configuration text of the item that takes the pinned lists too.
const char kDeletePinsConfig[] = "pins";

}  // namespace

void CJumpListsItem::LoadSettings()
{
    const std::string& config = GetConfig();
    if (!config.empty() && config != kDeletePinsConfig) {
        throw CError("Job configuration is invalid (a jump list item takes no setting but \"pins\": " + config + ")");
    }
    m_deletePins = config == kDeletePinsConfig;
}

void CJumpListsItem::DoRun()
{
    // The shell's folder, never the environment's: a variable could name any folder.
    char folder[MAX_PATH] = {};
    const HRESULT result = ::SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result)) throw CError(FormatResString(IDS_FOLDER_PATH_ERROR, static_cast<int>(result)));
    CleanJumpLists(folder, m_deletePins ? JumpListPins::Delete : JumpListPins::Keep, *this);
}
