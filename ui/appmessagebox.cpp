#include "ui/appmessagebox.h"

#include "common/resstring.h"
#include "ui/resource.h"

int AppMessageBox(HWND owner, const std::string& text, UINT type)
{
    const std::string caption = LoadResString(IDS_APP_TITLE);
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}
