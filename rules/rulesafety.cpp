#include "rules/rulesafety.h"

#include "common/strparse.h"
#include "rules/browserstores.h"
#include "rules/enginereadings.h"
#include "rules/exclusionsafety.h"
#include "rules/pertable.h"
#include "rules/rulepath.h"
#include "rules/sharedregistry.h"
#include "rules/systemareas.h"
#include "rules/wildcardoverlap.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace {

// Extensions of what people keep: documents, pictures, music, films, archives.
const char* const kDocumentExtensions[] = {
    "doc", "docx", "docm", "dot", "dotx", "odt", "rtf", "txt", "md", "xls", "xlsx", "xlsm", "ods", "csv", "ppt",
    "pptx", "odp", "pdf", "epub", "jpg", "jpeg", "png", "gif", "bmp", "tif", "tiff", "heic", "raw", "psd", "svg",
    "mp3", "wav", "flac", "m4a", "aac", "ogg", "wma", "mp4", "mov", "avi", "mkv", "wmv", "m4v", "zip", "7z", "rar",
    // Mail, password safes, databases, camera raw files, drawings and the like.
    "pst", "ost", "msg", "eml", "kdbx", "accdb", "mdb", "webp", "avif", "heif", "cr2", "nef", "dng", "arw", "xps",
    "oxps", "vsd", "vsdx", "odg", "one", "pages", "numbers", "key", "ai", "indd", "mpg", "mpeg", "3gp", "tar", "gz",
    // Office's other forms (binary, macro-enabled, templates, shows) and the other suites'.
    "dotm", "ott", "wpd", "wps", "xlsb", "xlt", "xltx", "xltm", "ots", "tsv", "pptm", "pps", "ppsx", "ppsm", "pot",
    "potx", "potm", "otp", "vsdm", "pub", "mpp", "odb", "onepkg", "mobi", "azw3", "djvu",
    // Saved web pages and the user's shortcuts and links.
    "html", "htm", "xhtml", "mht", "mhtml", "maff", "webarchive", "lnk", "url",
    // Certificates with their private keys, key files and the other password safes.
    "pfx", "p12", "cer", "crt", "der", "pem", "p7b", "p7c", "csr", "ppk", "gpg", "pgp", "asc", "kbx", "kdb", "psafe3",
    "opvault", "1pif", "agilekeychain", "keychain",
    // Music, films and recordings in the other common forms.
    "opus", "oga", "aif", "aiff", "alac", "ape", "mid", "midi", "amr", "m4b", "webm", "flv", "vob", "mts", "m2ts",
    "ogv", "3g2", "divx", "mpe",
    // Image editors' own files and the other cameras' raw files.
    "xcf", "kra", "ora", "psb", "eps", "cdr", "afphoto", "afdesign", "sketch", "fig", "clip", "sai", "pdn", "jxl",
    "cr3", "orf", "rw2", "raf", "srw", "pef", "ico",
    // Mail boxes and the other archives.
    "mbox", "tgz", "bz2", "xz", "zst", "iso",
};

// The user's own folders, by the name the reason gives and their usual
// name below the profile (used as well, should the table lack the folder;
// the only place of those the table has no member for).
struct ContentFolder {
    std::string KnownFolders::*folder;
    const char* name;
};
const ContentFolder kContentFolders[] = {
    {&KnownFolders::documents, "Documents"}, {&KnownFolders::desktop, "Desktop"},
    {&KnownFolders::downloads, "Downloads"}, {&KnownFolders::pictures, "Pictures"},
    {&KnownFolders::music, "Music"},         {&KnownFolders::videos, "Videos"},
    {&KnownFolders::oneDrive, "OneDrive"},   {nullptr, "Favorites"},
    {nullptr, "Contacts"},                   {nullptr, "Saved Games"},
};

const char* const kRegistryRoots[] = {
    "hkcu", "hkey_current_user", "hklm", "hkey_local_machine", "hkcr", "hkey_classes_root",
    "hku", "hkey_users", "hkcc", "hkey_current_config",
};

bool IsBroadMask(const std::string& mask)
{
    return mask.find('*') != std::string::npos && mask.find_first_not_of("*?.") == std::string::npos;
}

// True when some name the mask matches could end in a document's extension.
bool CouldMatchDocument(const std::string& mask)
{
    static const std::unordered_set<std::string> extensions(std::begin(kDocumentExtensions),
                                                            std::end(kDocumentExtensions));
    // A mask with no wildcard after its last dot gives every name it
    // matches that same extension ("~*.doc": doc), which no other
    // extension's "*.<extension>" matches: one look in the table.
    const size_t dot = mask.rfind('.');
    const size_t wildcard = mask.find_last_of("*?");
    if (dot != std::string::npos && (wildcard == std::string::npos || wildcard < dot)) {
        return extensions.count(ToLowerAscii(mask.substr(dot + 1))) != 0;
    }
    static const std::vector<std::string> patterns = [] {
        std::vector<std::string> made;
        for (const char* extension : kDocumentExtensions) made.push_back(std::string("*.") + extension);
        return made;
    }();
    for (const std::string& pattern : patterns) {
        if (WildcardsOverlap(mask, pattern)) return true;
    }
    return false;
}

// The first mask that could match what people keep, or empty.
std::string DocumentMask(const std::vector<std::string>& masks)
{
    for (const std::string& mask : masks) {
        if (IsBroadMask(mask) || CouldMatchDocument(mask)) return mask;
    }
    return {};
}

// A known folder as the reasons give it and as parts to compare.
struct NamedFolder {
    std::string text;
    PathParts parts;
};

// What of the known folders the rules compare, split into parts.
struct SafetyFolders {
    PathParts profile;                             // empty when not known
    std::vector<std::vector<PathParts>> contents;  // the places of each of kContentFolders
    std::vector<NamedFolder> notRemoved;           // refused with REMOVESELF
    std::vector<NamedFolder> notWhole;             // refused cleaned whole
};

PathParts Below(const std::string& base, const char* name)
{
    PathParts parts = SplitPathParts(base);
    parts.push_back(name);
    return parts;
}

std::vector<NamedFolder> Named(std::initializer_list<const std::string*> known)
{
    std::vector<NamedFolder> named;
    for (const std::string* folder : known) {
        if (!folder->empty()) named.push_back({*folder, SplitPathParts(*folder)});
    }
    return named;
}

SafetyFolders MakeSafetyFolders(const KnownFolders& folders)
{
    SafetyFolders made;
    if (!folders.userProfile.empty()) made.profile = SplitPathParts(folders.userProfile);
    for (const ContentFolder& content : kContentFolders) {
        std::vector<PathParts> places;
        if (content.folder != nullptr && !(folders.*content.folder).empty())
            places.push_back(SplitPathParts(folders.*content.folder));
        for (const std::string* profile : {&folders.userProfile, &folders.publicProfile}) {
            if (profile->empty()) continue;
            places.push_back(Below(*profile, content.name));
            // OneDrive's folders are "OneDrive - <organisation>" as well.
            if (content.folder == &KnownFolders::oneDrive) places.push_back(Below(*profile, "OneDrive*"));
        }
        made.contents.push_back(std::move(places));
    }
    made.notRemoved = Named({&folders.temp, &folders.documents, &folders.desktop, &folders.downloads, &folders.pictures,
                             &folders.music, &folders.videos, &folders.oneDrive});
    // The same folders where the profiles usually keep them: the table's
    // folder may have been moved, the one below the profile still be there.
    for (const std::vector<PathParts>& places : made.contents)
        for (const PathParts& place : places) made.notRemoved.push_back({JoinPathParts(place), place});
    made.notWhole = Named({&folders.userProfile, &folders.appData, &folders.localAppData, &folders.localLowAppData,
                           &folders.publicProfile, &folders.programData, &folders.programFiles,
                           &folders.programFilesX86, &folders.commonProgramFiles, &folders.commonProgramFilesX86,
                           &folders.windows});
    return made;
}

// Made once per table of known folders, not once per path judged: a rules
// file judges thousands of paths with one table.
const SafetyFolders& SafetyFoldersOf(const KnownFolders& folders)
{
    return MadeForTable<SafetyFolders, MakeSafetyFolders>(folders);
}

bool IsFolder(const PathParts& folder, const PathParts& known)
{
    return folder.size() == known.size() && LeadingPartsOverlap(folder, known, known.size());
}

std::string ContentFolderRefusal(const PathParts& folder, bool recurse, const std::vector<std::string>& masks,
                                 const SafetyFolders& known)
{
    const std::string mask = DocumentMask(masks);
    if (mask.empty()) return {};
    if (!known.profile.empty() && IsFolder(folder, known.profile)) {
        return "it would delete documents in the profile folder (" + mask + ")";
    }
    for (size_t i = 0; i < std::size(kContentFolders); ++i) {
        for (const PathParts& place : known.contents[i]) {
            if (CouldReachFolder(folder, recurse, place)) {
                return std::string("it would delete documents in the ") + kContentFolders[i].name + " folder (" + mask + ")";
            }
        }
    }
    return {};
}

// A known folder cleaned whole: every file in it, or everything below it;
// or, with REMOVESELF, removed itself once emptied (%Temp% included).
std::string WholeFolderRefusal(const PathParts& folder, const RuleFileKey& fileKey, const SafetyFolders& known)
{
    if (fileKey.removeSelf) {
        for (const NamedFolder& named : known.notRemoved) {
            if (IsFolder(folder, named.parts)) return "it would remove the folder " + named.text + " itself";
        }
    }
    const bool everyFile = std::any_of(fileKey.masks.begin(), fileKey.masks.end(), IsBroadMask);
    if (!fileKey.recurse && !everyFile) return {};
    for (const NamedFolder& named : known.notWhole) {
        if (IsFolder(folder, named.parts)) return "it would clean the whole folder " + named.text;
    }
    return {};
}

std::string ExpandedPathRefusal(const std::string& path, const RuleFileKey& fileKey, const KnownFolders& folders)
{
    if (IsNetworkPath(path)) return "it names a network path (" + path + ")";
    // "C:" alone is taken as the drive's root.
    if (!IsFullLocalPath(path)) return "it names a path that is not a full path (" + path + ")";
    const PathParts parts = SplitPathParts(path);
    for (const std::string& part : parts) {
        if (part == ".." || part == ".") return "it climbs out of its folder with \"" + part + "\" (" + path + ")";
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        if (IsAliasPart(parts[i])) return "it names a folder by a form Windows reads as another name (" + parts[i] + ")";
    }
    if (parts.size() < 3) return "it would clean a drive root or a folder just below it (" + path + ")";
    // The folder walk refuses it too: a wildcard there could be any folder of the drive.
    if (HasWildcardCharacter(parts[1])) return "it holds a wildcard right below the drive (" + path + ")";
    for (const std::string& mask : fileKey.masks) {
        if (mask.find_first_of("\\/") != std::string::npos || mask == ".." || mask == ".") {
            return "its mask names a folder (" + mask + ")";
        }
    }
    const SafetyFolders& known = SafetyFoldersOf(folders);
    std::string reason = ContentFolderRefusal(parts, fileKey.recurse, fileKey.masks, known);
    if (reason.empty()) reason = WholeFolderRefusal(parts, fileKey, known);
    if (reason.empty()) reason = BrowserStoreRefusal(parts, fileKey.recurse, fileKey.masks, folders);
    if (reason.empty()) reason = SystemAreaRefusal(parts, fileKey, folders);
    return reason;
}

}  // namespace

std::string FileKeyRefusal(const RuleFileKey& fileKey, const KnownFolders& folders)
{
    const std::string problem = RuleVariableProblem(fileKey.path);
    if (!problem.empty()) return problem;
    const std::string pathLetter = FoldsToAscii(fileKey.path);
    if (!pathLetter.empty())
        return "it holds " + pathLetter + ", which Windows reads as an ASCII letter (" + fileKey.path + ")";
    // Judged as the file engine reads the masks: "x.?" also matches "x".
    RuleFileKey asRead = fileKey;
    asRead.masks.clear();
    for (const std::string& mask : fileKey.masks) {
        const std::string letter = FoldsToAscii(mask);
        if (!letter.empty()) return "it holds " + letter + ", which Windows reads as an ASCII letter (" + mask + ")";
        for (const std::string& reading : MaskReadings(mask)) asRead.masks.push_back(reading);
    }
    // A folder this system lacks gives no path, and nothing is deleted there.
    for (const std::string& path : ExpandRuleVariables(fileKey.path, folders)) {
        const std::string reason = ExpandedPathRefusal(path, asRead, folders);
        if (!reason.empty()) return reason;
    }
    return {};
}

std::string RegKeyRefusal(const RuleRegKey& regKey)
{
    const PathParts parts = SplitPathParts(regKey.key);
    const std::string root = parts.empty() ? std::string() : ToLowerAscii(parts[0]);
    bool knownRoot = false;
    for (const char* known : kRegistryRoots) knownRoot = knownRoot || root == known;
    if (!knownRoot) return "it names an unknown registry root (" + regKey.key + ")";
    // The registry takes "/" as a letter of a key's name, where the rules would see a separator.
    if (regKey.key.find('/') != std::string::npos)
        return "it holds \"/\", which the registry reads as part of a key's name (" + regKey.key + ")";
    const std::string letter = FoldsToAscii(regKey.key + "|" + regKey.valueName);
    if (!letter.empty()) return "it holds " + letter + ", which Windows reads as an ASCII letter (" + regKey.key + ")";
    if (HasWildcardCharacter(regKey.key)) return "registry keys take no wildcards (" + regKey.key + ")";
    for (const std::string& part : parts) {
        if (part == ".." || part == ".") return "it climbs out of its key with \"" + part + "\" (" + regKey.key + ")";
    }
    // Below HKEY_USERS the first part is a user's own root.
    const size_t rootParts = root == "hku" || root == "hkey_users" ? 2 : 1;
    if (parts.size() < rootParts + 3)
        return "it names a registry key of fewer than three parts below its root (" + regKey.key + ")";
    if (regKey.hasValueName) return {};
    return SharedRegistryKeyRefusal(parts, regKey.key);
}

std::string RuleEntryRefusal(const RuleEntry& entry, const KnownFolders& folders)
{
    if (!entry.refused.empty()) return entry.refused;
    for (const RuleFileKey& fileKey : entry.fileKeys) {
        const std::string reason = FileKeyRefusal(fileKey, folders);
        if (!reason.empty()) return "FileKey on line " + std::to_string(fileKey.line) + ": " + reason;
    }
    for (const RuleRegKey& regKey : entry.regKeys) {
        const std::string reason = RegKeyRefusal(regKey);
        if (!reason.empty()) return "RegKey on line " + std::to_string(regKey.line) + ": " + reason;
    }
    for (const RuleExclude& exclude : entry.excludes) {
        const std::string reason = ExcludeKeyRefusal(exclude, folders);
        if (!reason.empty()) return "ExcludeKey on line " + std::to_string(exclude.line) + ": " + reason;
    }
    for (const std::string& detect : entry.detectFiles) {
        const std::string reason = DetectFileRefusal(detect, folders);
        if (!reason.empty()) return "DetectFile " + detect + ": " + reason;
    }
    return {};
}
