#include "common/knownbrowsers.h"

#include "common/fileenum.h"
#include "common/handles.h"
#include "common/initext.h"
#include "common/paths.h"
#include "common/strparse.h"
#include "common/tracer.h"

#include <windows.h>

#include <algorithm>

namespace {

const char kFilePrefix[] = "tw_browser_";
const char kFileSuffix[] = ".ini";
const size_t kLongestKey = 32;
// A settings file is a few lines: anything bigger is no settings file.
const LONGLONG kLongestSettingsFile = 64 * 1024;

bool ReadSettingsFile(const std::string& path, std::string* text)
{
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kLongestSettingsFile) return false;
    text->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!text->empty() && !::ReadFile(file.Get(), &(*text)[0], static_cast<DWORD>(text->size()), &got, nullptr)) {
        return false;
    }
    text->resize(got);
    return true;
}

}  // namespace

bool IsBrowserKey(const std::string& key)
{
    if (key.empty() || key.size() > kLongestKey) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

bool BrowserOfSettingsText(const std::string& key, const std::string& text, KnownBrowser* browser)
{
    const CIniText ini(text);
    const IniSection* section = ini.Find("Browser");
    if (section == nullptr || section->Value("Name").empty()) return false;
    browser->key = ToLowerAscii(key);
    browser->name = section->Value("Name");
    browser->processes.clear();
    const std::string list = section->Value("Process");
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string image = ToLowerAscii(TrimCharacters(list.substr(start, comma - start), " \t"));
        if (!image.empty()) browser->processes.push_back(image);
        start = comma + 1;
    }
    return true;
}

bool FindKnownBrowser(const std::string& key, KnownBrowser* browser)
{
    if (!IsBrowserKey(key)) return false;
    const std::string fileName = kFilePrefix + ToLowerAscii(key) + kFileSuffix;
    std::string text;
    if (!ReadSettingsFile(GetModuleFilePath(fileName.c_str()), &text)) {
        TRACE(30, "Browser settings file %s cannot be read", fileName.c_str());
        return false;
    }
    if (!BrowserOfSettingsText(key, text, browser)) {
        TRACE(30, "Browser settings file %s names no browser", fileName.c_str());
        return false;
    }
    return true;
}

std::vector<KnownBrowser> ListKnownBrowsers()
{
    std::vector<KnownBrowser> browsers;
    CFileEnumerator search(GetModuleFilePath((std::string(kFilePrefix) + "*" + kFileSuffix).c_str()));
    WIN32_FIND_DATAA found;
    const size_t prefix = sizeof kFilePrefix - 1;
    const size_t suffix = sizeof kFileSuffix - 1;
    while (search.Next(found)) {
        const std::string fileName = found.cFileName;
        // Long names only: "*.ini" also matches "x.ini~" through its short name.
        if (fileName.size() <= prefix + suffix || !EndsWithAsciiNoCase(fileName, kFileSuffix)) continue;
        KnownBrowser browser;
        if (FindKnownBrowser(fileName.substr(prefix, fileName.size() - prefix - suffix), &browser)) {
            browsers.push_back(std::move(browser));
        }
    }
    std::sort(browsers.begin(), browsers.end(),
              [](const KnownBrowser& a, const KnownBrowser& b) { return a.key < b.key; });
    return browsers;
}
