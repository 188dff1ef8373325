#include "plugin/jobs/builtinitems.h"

#include "plugin/engines/registry/registrycleanup.h"

#include <exception>

namespace {

const char kTypedAddresses[] = "HKCU\\Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char* const kSearchLists[] = {
    "HKCU\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\FilesNamedMRU",
    "HKCU\\Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\ContainingTextMRU",
};

}  // namespace

void CTypedURLsItem::DoRun()
{
    CleanRegistryKey(kTypedAddresses, *this);  // a failure here ends the job
    for (const char* list : kSearchLists) {
        try {
            CleanRegistryKey(list, *this);
        } catch (const std::exception&) {
            // The search lists are optional: many systems never had them.
        }
    }
}
