#include "plugin/jobs/builtinitems.h"

#include "common/error.h"
#include "common/resstring.h"
#include "common/tracer.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/resource.h"

#include <windows.h>
#include <shlobj.h>

void CRecentDocumentsItem::DoRun()
{
    TRACE(20, "CRecentDocumentsItem::Run");
    char folder[MAX_PATH] = {};
    const HRESULT result = ::SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result)) throw CError(FormatResString(IDS_FOLDER_PATH_ERROR, static_cast<int>(result)));

    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
    pattern += "*.*";
    TRACE(20, "deleting files - %s", pattern.c_str());
    DeleteFiles(pattern, false, 0, *this);
    TRACE(20, "CRecentDocumentsItem::Run - done");
}
