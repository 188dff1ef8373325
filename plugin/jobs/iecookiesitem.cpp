#include "plugin/jobs/builtinitems.h"

#include "common/error.h"
#include "common/handles.h"
#include "jobapi/extkeys.h"
#include "common/strformat.h"
#include "common/tracer.h"
#include "plugin/engines/urlcache.h"
#include "plugin/engines/keeplist.h"

#include <cstdio>

namespace {

// The system's description of the failure and its code.
std::string FailureText(HRESULT result)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    UniqueLocal description;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(result), 0,
                                          reinterpret_cast<char*>(description.Receive()), 0, nullptr);
    std::string text;
    if (length > 0 && description) {
        text = static_cast<const char*>(description.Get());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
            text.pop_back();
    }
    return text.empty() ? std::string(code) : text + " (" + code + ")";
}

}  // namespace

void CIECookiesItem::DoRun()
{
    TRACE(20, "CIECookiesItem::Run");
    // A task without a keep list keeps no cookie; a damaged one stops the item.
    const StringList keepList = ReadCookieKeepList(GetTaskExtendedData(kCookieKeepListKey));
    int notDeleted = 0;
    const HRESULT result = DeleteCookies(0, &keepList, &notDeleted, this);
    CountNotRemoved(NotRemoved::Failed, notDeleted);
    if (FAILED(result)) throw CError(StrFormat("Cookie cleanup failed. Error: %d", static_cast<int>(result)));
    if (notDeleted > 0) LogWarning(StrFormat("Cookies that could not be deleted: %d.", notDeleted));
    TRACE(20, "CIECookiesItem::Run - done");
}

void ListUrlCacheCookies(ICookieHostSink& sink)
{
    StringList names;
    const HRESULT result = ListCookies(0, &names);
    if (FAILED(result)) {
        if (sink.CookieNamesUnlisted(FailureText(result).c_str()) != kJobSuccess) {
            throw CError("the program refused a cookie listing failure");
        }
        return;
    }
    for (const std::string& name : names) {
        if (sink.AddCookieName(name.c_str()) != kJobSuccess) throw CError("the program refused a cookie name");
    }
}
