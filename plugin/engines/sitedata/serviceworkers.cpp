#include "plugin/engines/sitedata/serviceworkers.h"

#include "common/cookiesites.h"
#include "common/error.h"
#include "common/handles.h"
#include "plugin/engines/browsers/browserprofiles.h"
#include "plugin/engines/files/smallfile.h"
#include "plugin/engines/sitedata/serviceworkerlist.h"

#include <windows.h>

namespace {

// A registrations list is a few kilobytes; a larger file is not one.
const long long kMaxListSize = 64 * 1024 * 1024;

// Writes text to a new file beside path and puts it in path's place; on
// any failure the new file goes and path is as it was.
void ReplaceFile(const std::string& path, const std::string& text)
{
    const std::string fresh = path + ".tw-new";
    {
        // What an interrupted run left goes first (a link itself, never what it leads to).
        ::DeleteFileA(fresh.c_str());
        UniqueHandle file(::CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw CError("its new text could not be written (error " + std::to_string(::GetLastError()) + ")");
        DWORD written = 0;
        const bool ok = (text.empty() || (::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                                      nullptr) && written == text.size())) &&
                        ::FlushFileBuffers(file.Get());
        if (!ok) {
            const DWORD error = ::GetLastError();
            file.Reset();
            ::DeleteFileA(fresh.c_str());
            throw CError("its new text could not be written (error " + std::to_string(error) + ")");
        }
    }
    if (!::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileA(fresh.c_str());
        throw CError("it could not be replaced (error " + std::to_string(error) + ")");
    }
}

ServiceWorkerList ReadList(const std::string& path)
{
    std::string text;
    if (!ReadSmallFile(path, kMaxListSize, text)) throw CError("it is gone");
    ServiceWorkerList list;
    std::string problem;
    if (!ParseServiceWorkerList(text, list, problem)) throw CError(problem);
    return list;
}

}  // namespace

SiteStoreCleanup CleanFirefoxServiceWorkers(const std::string& path, bool preview, const CKeptSites& keptSites,
                                            const SiteFolderRemover&)
{
    SiteStoreCleanup result;
    if (!IsExistingFile(path)) return result;
    try {
        if (!preview && IsHeldByAnotherProgram(path)) throw CError("another program holds it");
        const ServiceWorkerList list = ReadList(path);
        std::string kept = list.header;
        for (const ServiceWorkerRegistration& registration : list.registrations) {
            if (registration.host.empty() || keptSites.Keeps(registration.host)) {
                if (!registration.host.empty()) result.kept.insert(registration.host);
                kept += registration.text;
            } else {
                ++result.gone[registration.host];
            }
        }
        if (!preview && !result.gone.empty()) ReplaceFile(path, kept);
    } catch (const std::exception& failure) {
        throw CError(path + " was left as it was: " + failure.what() + ".");
    }
    return result;
}

StringList ReadFirefoxServiceWorkerHosts(const std::string& path)
{
    StringList hosts;
    if (!IsExistingFile(path)) return hosts;
    try {
        for (const ServiceWorkerRegistration& registration : ReadList(path).registrations) {
            if (!registration.host.empty()) hosts.push_back(registration.host);
        }
    } catch (const std::exception& failure) {
        throw CError(path + " could not be read: " + failure.what() + ".");
    }
    return hosts;
}
