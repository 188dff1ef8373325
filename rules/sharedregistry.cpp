#include "rules/sharedregistry.h"

#include "common/strparse.h"

#include <algorithm>
#include <cctype>

namespace {

// Keys below a root (in lower case) that nobody owns alone, refused whole;
// keys inside them are a program's own and pass.
const char* const kSharedKeys[] = {
    "software\\microsoft", "software\\classes", "software\\policies", "software\\wow6432node",
    "software\\wow6432node\\microsoft", "software\\microsoft\\windows", "software\\microsoft\\windows\\currentversion",
    "software\\microsoft\\windows\\currentversion\\explorer", "software\\microsoft\\windows nt",
    "software\\microsoft\\windows nt\\currentversion", "system\\currentcontrolset",
};

// Keys whose every key below belongs to the system or to everyone: what
// starts programs, where the user's folders are, the logon, the security
// authority, the services and drivers, the policies. Refused whole at any
// depth; a value in them may still be named.
const char* const kSharedAtAnyDepth[] = {
    "system\\currentcontrolset\\control",
    "system\\currentcontrolset\\services",
    "system\\currentcontrolset\\enum",
    "system\\currentcontrolset\\hardware profiles",
    "software\\policies",
    "software\\microsoft\\windows\\currentversion\\policies",
    "software\\microsoft\\windows\\currentversion\\run",
    "software\\microsoft\\windows\\currentversion\\runonce",
    "software\\microsoft\\windows\\currentversion\\runonceex",
    "software\\microsoft\\windows\\currentversion\\runservices",
    "software\\microsoft\\windows\\currentversion\\runservicesonce",
    "software\\microsoft\\windows\\currentversion\\explorer\\user shell folders",
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders",
    "software\\microsoft\\windows\\currentversion\\explorer\\shellexecutehooks",
    "software\\microsoft\\windows\\currentversion\\explorer\\browser helper objects",
    "software\\microsoft\\windows\\currentversion\\shell extensions",
    "software\\microsoft\\windows\\currentversion\\group policy",
    "software\\microsoft\\windows nt\\currentversion\\winlogon",
    "software\\microsoft\\windows nt\\currentversion\\windows",
    "software\\microsoft\\windows nt\\currentversion\\image file execution options",
    "software\\microsoft\\windows nt\\currentversion\\profilelist",
    "software\\microsoft\\windows nt\\currentversion\\fonts",
    "software\\microsoft\\windows nt\\currentversion\\svchost",
    "software\\microsoft\\cryptography",
    "software\\microsoft\\systemcertificates",
    "software\\microsoft\\active setup\\installed components",
};

// Hubs holding one key per program or component: the hub is refused whole,
// a key below it passes when its first part is a program's own.
struct Hub {
    const char* key;
    bool guidsOnly;  // its programs' keys are named by a GUID ("{...}")
};
const Hub kHubs[] = {
    {"software\\classes\\clsid", true},
    {"software\\classes\\interface", true},
    {"software\\classes\\typelib", true},
    {"software\\classes\\appid", false},
    {"software\\microsoft\\windows\\currentversion\\uninstall", false},
    {"software\\microsoft\\windows\\currentversion\\app paths", false},
    {"software\\microsoft\\windows\\currentversion\\installer", false},
};

// Below Software\Classes: the keys of file types and of the shell's own
// kinds of object, which every program's associations and menus share.
// Refused whole at any depth, as every file name extension (".exe",
// ".lnk"...) is: emptying one takes its association from everybody.
const char* const kSharedClasses[] = {
    "*", "allfilesystemobjects", "directory", "folder", "drive", "unknown", "systemfileassociations",
    "exefile", "lnkfile", "batfile", "cmdfile", "comfile", "piffile", "scrfile", "regfile", "dllfile",
    "inffile", "txtfile", "htmlfile", "jsfile", "vbsfile", "wsffile", "msi.package", "http", "https",
    "ftp", "mailto", "file", "internetshortcut", "network", "printers", "desktopbackground", "librarylocation",
    "launcher.immersiveshell",
};

bool IsSharedClassesKey(const PathParts& below)
{
    if (below.size() < 3 || below[0] != "software" || below[1] != "classes") return false;
    const std::string& first = below[2];
    if (!first.empty() && first[0] == '.') return true;
    for (const char* shared : kSharedClasses)
        if (first == shared) return true;
    return false;
}

bool IsBracedGuid(const std::string& name)
{
    if (name.size() != 38 || name.front() != '{' || name.back() != '}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? name[i] != '-' : !std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

bool StartsWith(const PathParts& parts, const PathParts& prefix)
{
    return parts.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), parts.begin());
}

// The key's parts below its root in lower case, as HKLM or HKCU would
// name it: HKCR and a user's "<SID>_Classes" are Software\Classes, a
// user's hive below HKU is that user's HKCU.
PathParts BelowRoot(const PathParts& key)
{
    PathParts lower;
    for (const std::string& part : key) lower.push_back(ToLowerAscii(part));
    const std::string& root = lower[0];
    PathParts below;
    size_t first = 1;
    if (root == "hku" || root == "hkey_users") {
        first = 2;
        const std::string& hive = lower.size() > 1 ? lower[1] : std::string();
        const std::string suffix = "_classes";
        if (hive.size() > suffix.size() && hive.compare(hive.size() - suffix.size(), suffix.size(), suffix) == 0)
            below = {"software", "classes"};
    } else if (root == "hkcr" || root == "hkey_classes_root") {
        below = {"software", "classes"};
    }
    below.insert(below.end(), lower.begin() + std::min(first, lower.size()), lower.end());
    return below;
}

// The spellings of the same key the lists name: a numbered control set is
// what CurrentControlSet points to, and a "WOW6432Node" below Software or
// Software\Classes holds the 32-bit view of the same keys.
std::vector<PathParts> Spellings(const PathParts& below)
{
    std::vector<PathParts> spellings = {below};
    const bool numberedControlSet = below.size() >= 2 && below[0] == "system" && below[1].size() > 10 &&
                                    below[1].compare(0, 10, "controlset") == 0 &&
                                    below[1].find_first_not_of("0123456789", 10) == std::string::npos;
    if (numberedControlSet) {
        PathParts current = below;
        current[1] = "currentcontrolset";
        spellings.push_back(current);
    }
    for (size_t at : {size_t(1), size_t(2)}) {
        if (below.size() > at + 1 && below[0] == "software" && below[at] == "wow6432node" &&
            (at == 1 || below[1] == "classes")) {
            PathParts native = below;
            native.erase(native.begin() + at);
            spellings.push_back(native);
        }
    }
    return spellings;
}

// The lists split into parts once, not once per key judged: a rules file
// judges thousands of keys.
struct SplitHub {
    PathParts parts;
    const Hub* hub;
};
struct SplitLists {
    std::vector<PathParts> atAnyDepth;
    std::vector<SplitHub> hubs;
};

const SplitLists& Lists()
{
    static const SplitLists lists = [] {
        SplitLists made;
        for (const char* key : kSharedAtAnyDepth) made.atAnyDepth.push_back(SplitPathParts(key));
        for (const Hub& hub : kHubs) made.hubs.push_back({SplitPathParts(hub.key), &hub});
        return made;
    }();
    return lists;
}

}  // namespace

std::string SharedRegistryKeyRefusal(const PathParts& key, const std::string& text)
{
    if (key.empty()) return {};
    const std::string refusal = "it would delete the shared registry key " + text;
    const SplitLists& lists = Lists();
    for (const PathParts& spelling : Spellings(BelowRoot(key))) {
        const std::string joined = JoinPathParts(spelling);
        for (const char* shared : kSharedKeys)
            if (joined == shared) return refusal;
        for (const PathParts& shared : lists.atAnyDepth)
            if (StartsWith(spelling, shared)) return refusal;
        if (IsSharedClassesKey(spelling)) return refusal;
        for (const SplitHub& hub : lists.hubs) {
            if (!StartsWith(spelling, hub.parts)) continue;
            if (spelling.size() == hub.parts.size()) return refusal;
            if (hub.hub->guidsOnly && !IsBracedGuid(spelling[hub.parts.size()]))
                return std::string("it names a key of the shared registry key ") + hub.hub->key +
                       " that is no program's own GUID (" + text + ")";
        }
    }
    return {};
}
