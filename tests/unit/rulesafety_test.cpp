// The refusal rules of community rules and the folders their variables
// stand for, on a system whose known folders the table below describes.
#include "rules/rulesafety.h"

#include "common/sitedataplaces.h"
#include "rules/wildcardoverlap.h"

#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

namespace {

KnownFolders BobsFolders()
{
    KnownFolders folders;
    folders.userProfile = "C:\\Users\\Bob";
    folders.appData = "C:\\Users\\Bob\\AppData\\Roaming";
    folders.localAppData = "C:\\Users\\Bob\\AppData\\Local";
    folders.localLowAppData = "C:\\Users\\Bob\\AppData\\LocalLow";
    folders.documents = "D:\\Data\\Bob's papers";  // moved off the profile: the table's folder counts
    folders.pictures = "C:\\Users\\Bob\\Pictures";
    folders.publicProfile = "C:\\Users\\Public";
    folders.programData = "C:\\ProgramData";
    folders.programFiles = "C:\\Program Files";
    folders.programFilesX86 = "C:\\Program Files (x86)";
    folders.windows = "C:\\Windows";
    folders.systemDrive = "C:";
    folders.temp = "C:\\Users\\Bob\\AppData\\Local\\Temp";
    return folders;
}

// The refusal of an entry of that one key, as read from text.
std::string RefusalOf(const std::string& key)
{
    const RulesFile file = ParseRulesText("[T *]\n" + key + "\n", "t.ini");
    EXPECT_EQ(file.entries.size(), 1u) << key;
    return file.entries.empty() ? "(no entry)" : RuleEntryRefusal(file.entries[0], BobsFolders());
}

std::string Joined(const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& path : paths) text += (text.empty() ? "" : ";") + path;
    return text;
}

const char kChrome[] = "%LocalAppData%\\Google\\Chrome\\User Data";
const char kFirefox[] = "%AppData%\\Mozilla\\Firefox\\Profiles";

}  // namespace

TEST(RulesSafety, OrdinaryCleaningKeysPass)
{
    for (const std::string& key : std::vector<std::string>{
             "FileKey1=%LocalAppData%\\Temp|*|RECURSE", "FileKey1=%Temp%|*.tmp", "FileKey1=%ProgramFiles%\\App\\Logs|*.log",
             std::string("FileKey1=") + kChrome + "\\*\\Cache|*|RECURSE", std::string("FileKey1=") + kChrome + "\\Default|*.log",
             std::string("FileKey1=") + kChrome + "|*.pma", std::string("FileKey1=") + kFirefox + "\\*|*.tmp",
             "FileKey1=%LocalAppData%\\Packages\\Vendor.App_x\\AC|*|RECURSE", "FileKey1=%Documents%\\App\\Logs|*.log",
             "FileKey1=%UserProfile%\\.app|*.log", "FileKey1=%LocalAppData%\\Vendor\\App*\\Cache|*|REMOVESELF",
             "FileKey1=%WinDir%\\Temp|*|RECURSE", "RegKey1=HKCU\\Software\\Vendor\\App",
             "FileKey1=%WinDir%\\System32\\LogFiles|*.log", "FileKey1=%UserProfile%|*.log",
             "FileKey1=%LocalAppData%\\Microsoft\\Windows\\WER\\ReportArchive|*|RECURSE",
             "FileKey1=%Public%\\Vendor|*.tmp", "FileKey1=%LocalAppData%\\App|*.*",
             "RegKey1=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
             "RegKey1=HKCU\\Software\\Vendor\\App|LastRun", "RegKey1=HKU\\.DEFAULT\\Software\\Vendor\\App",
             "RegKey1=HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\Cache",
             "RegKey1=HKCU\\Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}",
             "RegKey1=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vendor App",
             "RegKey1=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run|Vendor App",
             "FileKey1=%LocalAppData%\\App|*.tmp\nExcludeKey1=PATH|%LocalAppData%\\App\\Keep",
             "FileKey1=%LocalAppData%\\App|*.tmp\nDetectFile=%LocalAppData%\\App\\*.cfg"}) {
        EXPECT_EQ(RefusalOf(key), "") << key;
    }
}

TEST(RulesSafety, HostileFileKeysAreRefusedWithTheirReason)
{
    struct Case { std::string key; std::string reason; };
    const std::string at = "FileKey on line 2: ";
    const Case cases[] = {
        // The user's documents, whatever the mask's stem, with or without RECURSE.
        {"FileKey1=%Documents%|*.doc", "it would delete documents in the Documents folder (*.doc)"},
        {"FileKey1=%Documents%|~*.doc", "it would delete documents in the Documents folder (~*.doc)"},
        {"FileKey1=%Documents%\\Old|*.*", "it would delete documents in the Documents folder (*.*)"},
        {"FileKey1=%Documents%|*.log;*.XLS*", "it would delete documents in the Documents folder (*.XLS*)"},
        {"FileKey1=%UserProfile%\\Desktop|*.pdf|RECURSE", "it would delete documents in the Desktop folder (*.pdf)"},
        {"FileKey1=%UserProfile%\\OneDrive - Work|*.jpg", "it would delete documents in the OneDrive folder (*.jpg)"},
        {"FileKey1=%Public%\\Music|*.mp3", "it would delete documents in the Music folder (*.mp3)"},
        {"FileKey1=%Pictures%|*", "it would delete documents in the Pictures folder (*)"},
        {"FileKey1=%SystemDrive%\\Users\\*|*.txt|RECURSE", "it would delete documents in the profile folder (*.txt)"},
        {"FileKey1=%SystemDrive%\\Users|*.txt|RECURSE", "it would clean a drive root or a folder just below it (C:\\Users)"},
        {"FileKey1=%SystemDrive%\\Users\\*\\*|*.txt", "it would delete documents in the Documents folder (*.txt)"},
        {"FileKey1=%UserProfile%|*.*", "it would delete documents in the profile folder (*.*)"},
        // Roots, climbs, whole known folders.
        {"FileKey1=%SystemDrive%|*.log", "it would clean a drive root or a folder just below it (C:)"},
        {"FileKey1=%SystemDrive%\\Temp|*", "it would clean a drive root or a folder just below it (C:\\Temp)"},
        {"FileKey1=%WinDir%\\..\\Users\\x|*", "it climbs out of its folder with \"..\" (C:\\Windows\\..\\Users\\x)"},
        {"FileKey1=%AppData%\\App|..\\*", "its mask names a folder (..\\*)"},
        {"FileKey1=%LocalAppData%|*|RECURSE", "it would clean the whole folder C:\\Users\\Bob\\AppData\\Local"},
        {"FileKey1=%Temp%|*.tmp|REMOVESELF", "it would remove the folder C:\\Users\\Bob\\AppData\\Local\\Temp itself"},
        {"FileKey1=%LocalLowAppData%|*.*", "it would clean the whole folder C:\\Users\\Bob\\AppData\\LocalLow"},
        {"FileKey1=%ProgramFiles%|*.log", "it would clean a drive root or a folder just below it (C:\\Program Files)"},
        {"FileKey1=%ProgramFiles%\\..\\..|*", "it climbs out of its folder with \"..\" (C:\\Program Files\\..\\..)"},
        // Other spellings of a folder than the rules compare.
        {"FileKey1=%UserProfile%\\DOCUME~1|*.doc", "it names a folder by a form Windows reads as another name (DOCUME~1)"},
        {"FileKey1=%UserProfile%\\Documents.|*.doc", "it names a folder by a form Windows reads as another name (Documents.)"},
        {"FileKey1=%UserProfile%\\Documents \\Old|*.doc", "it names a folder by a form Windows reads as another name (Documents )"},
        {"FileKey1=%AppData%\\App\\x:stream|*", "it names a folder by a form Windows reads as another name (x:stream)"},
        // A browser's stores, by name anywhere, by mask in a profile, by recursion from above.
        {"FileKey1=%AppData%\\Microsoft\\Windows\\Cookies|*", "it would reach a browser's cookies or site data (Cookies)"},
        {"FileKey1=%AppData%\\Some App|logins.json", "it would reach a browser's saved passwords (logins.json)"},
        {std::string("FileKey1=") + kChrome + "\\Default|*", "it would reach a browser's cookies or site data (Cookies)"},
        {std::string("FileKey1=") + kChrome + "\\Default\\Network|*", "it would reach a browser's cookies or site data (Network)"},
        {std::string("FileKey1=") + kChrome + "\\Profile 1|Login*", "it would reach a browser's saved passwords (Login Data)"},
        {std::string("FileKey1=") + kChrome + "\\*|Book*", "it would reach a browser's bookmarks (Bookmarks)"},
        {std::string("FileKey1=") + kChrome + "|*", "it would reach a browser's keys and settings (Local State)"},
        {std::string("FileKey1=") + kChrome + "\\Default|*.tmp|RECURSE", "it would reach a browser's cookies or site data (Cookies)"},
        {"FileKey1=%LocalAppData%\\Microsoft\\Edge\\User Data\\Default\\*\\leveldb|*.log", "it would reach a browser's cookies or site data (Cookies)"},
        {"FileKey1=%LocalAppData%\\Chrom*\\User Data\\Default|Secure*", "it would reach a browser's keys and settings (Secure Preferences)"},
        {"FileKey1=%LocalAppData%\\Google|*.log|RECURSE", "it would reach a browser's profiles (Google\\Chrome*\\User Data)"},
        {std::string("FileKey1=") + kFirefox + "\\*|*.sqlite", "it would reach a browser's cookies or site data (cookies.sqlite)"},
        {std::string("FileKey1=") + kFirefox + "\\abcd.default|key?.db", "it would reach a browser's saved passwords (key3.db)"},
        {std::string("FileKey1=") + kFirefox + "\\*\\storage\\default|*|RECURSE", "it would reach a browser's cookies or site data (storage)"},
        {"FileKey1=%AppData%\\Thunderbird\\Profiles\\*|prefs.js", "it would reach a browser's keys and settings (prefs.js)"},
        {"FileKey1=%AppData%\\Opera Software\\Opera Stable|*", "it would reach a browser's cookies or site data (Cookies)"},
        // A final dot before wildcards only, which the system's matching also reads without it.
        {std::string("FileKey1=") + kChrome + "\\Default|Login Data.;Bookmarks.", "it would reach a browser's saved passwords (Login Data)"},
        {std::string("FileKey1=") + kChrome + "|Local State.?", "it would reach a browser's keys and settings (Local State)"},
        {"FileKey1=%Documents%|*.log;*.docx.", "it would delete documents in the Documents folder (*.docx)"},
        {"FileKey1=%UserProfile%\\Documents.?|*.*|RECURSE", "it names a folder by a form Windows reads as another name (Documents.?)"},
        {"FileKey1=%LocalAppData%\\Temp.**|*|REMOVESELF", "it names a folder by a form Windows reads as another name (Temp.**)"},
        {"FileKey1=%Documents%|*.t\xC4\xB1" "f", "it holds \xC4\xB1, which Windows reads as an ASCII letter (*.t\xC4\xB1" "f)"},
        // Other users' profiles, keys, the registry's and the system's own files.
        {"FileKey1=C:\\Users\\alice\\Documents|*.*|RECURSE", "it would reach another user's profile (C:\\Users\\alice\\Documents)"},
        {"FileKey1=C:\\Users\\*\\AppData\\Local\\Temp|*|RECURSE", "it would reach another user's profile (C:\\Users\\*\\AppData\\Local\\Temp)"},
        {"FileKey1=C:\\Users\\Default\\AppData\\Local\\Temp|*.tmp", "it would reach another user's profile (C:\\Users\\Default\\AppData\\Local\\Temp)"},
        {"FileKey1=%AppData%\\Microsoft\\Protect|*|RECURSE", "it would reach the keys that protect saved passwords and certificates (C:\\Users\\Bob\\AppData\\Roaming\\Microsoft\\Protect)"},
        {"FileKey1=%AppData%\\Microsoft|*.tmp|RECURSE", "it would reach the keys that protect saved passwords and certificates (C:\\Users\\Bob\\AppData\\Roaming\\Microsoft\\Protect)"},
        {"FileKey1=%LocalAppData%\\Microsoft\\Windows|*.tmp|RECURSE", "it would reach a browser's cookies or site data (C:\\Users\\Bob\\AppData\\Local\\Microsoft\\Windows\\INetCookies)"},
        {"FileKey1=%LocalAppData%\\Microsoft\\Windows|*.dat", "it would delete the registry's own files (C:\\Users\\Bob\\AppData\\Local\\Microsoft\\Windows\\UsrClass.dat)"},
        {"FileKey1=%UserProfile%|*.dat", "it would delete the registry's own files (C:\\Users\\Bob\\NTUSER.DAT)"},
        {"FileKey1=%WinDir%\\System32\\config|*.log", "it would delete the system's own files (C:\\Windows\\System32\\config)"},
        {"FileKey1=%WinDir%\\Installer|*.msp", "it would delete the system's own files (C:\\Windows\\Installer)"},
        {"FileKey1=%WinDir%\\System32|*.log|RECURSE", "it would delete the system's own files (C:\\Windows\\System32\\config)"},
        {"FileKey1=%SystemDrive%\\*\\Temp|*.tmp", "it holds a wildcard right below the drive (C:\\*\\Temp)"},
        // Mail and password safes among the documents; folders of the user's beyond the known ones.
        {"FileKey1=%Documents%\\Outlook Files|*.pst", "it would delete documents in the Documents folder (*.pst)"},
        {"FileKey1=%Documents%|*.kdbx", "it would delete documents in the Documents folder (*.kdbx)"},
        {"FileKey1=%UserProfile%\\Favorites|*|RECURSE", "it would delete documents in the Favorites folder (*)"},
        {"FileKey1=%UserProfile%\\Saved Games\\App|*.*", "it would delete documents in the Saved Games folder (*.*)"},
        {"FileKey1=%UserProfile%\\Documents|*.tmp|REMOVESELF", "it would remove the folder C:\\Users\\Bob\\Documents itself"},
    };
    for (const Case& c : cases) EXPECT_EQ(RefusalOf(c.key), at + c.reason) << c.key;
}

// What people keep in every common form, the places the program cleans
// site by site itself, the other stores of a browser's profile, and the
// system's own folders: none may be reached by a rule.
TEST(RulesSafety, KeptFormsBrowserStoresAndSystemFoldersAreRefused)
{
    struct Case { std::string key; std::string reason; };
    const std::string documents = "it would delete documents in the ";
    const std::string siteData = "it would reach a browser's cookies or site data (";
    const Case cases[] = {
        {"FileKey1=%Documents%|*.xlsb", documents + "Documents folder (*.xlsb)"},
        {"FileKey1=%Documents%|*.pptm", documents + "Documents folder (*.pptm)"},
        {"FileKey1=%Documents%|*.webm", documents + "Documents folder (*.webm)"},
        {"FileKey1=%Documents%|*.html", documents + "Documents folder (*.html)"},
        {"FileKey1=%Documents%|*.pfx", documents + "Documents folder (*.pfx)"},
        {"FileKey1=%Documents%|*.kdb", documents + "Documents folder (*.kdb)"},
        {"FileKey1=%UserProfile%\\Desktop|*.lnk;*.url", documents + "Desktop folder (*.lnk)"},
        {"FileKey1=%Pictures%|*.xcf", documents + "Pictures folder (*.xcf)"},
        {"FileKey1=%UserProfile%\\Music|*.opus", documents + "Music folder (*.opus)"},
        {std::string("FileKey1=") + kChrome + "\\Default\\WebStorage|*|RECURSE", siteData + "WebStorage)"},
        {std::string("FileKey1=") + kChrome + "\\Default\\Shared Dictionary|*", siteData + "Shared Dictionary)"},
        {std::string("FileKey1=") + kChrome + "\\Default|Fav*", siteData + "Favicons)"},
        {std::string("FileKey1=") + kChrome + "\\Default|*-journal", siteData + "Cookies-journal)"},
        {std::string("FileKey1=") + kChrome + "\\Default|Extension Cookies", siteData + "Extension Cookies)"},
        {std::string("FileKey1=") + kChrome + "\\Default|Account Web Data",
         "it would reach a browser's saved addresses and cards (Account Web Data)"},
        {std::string("FileKey1=") + kFirefox + "\\*|*.txt", siteData + "serviceworker.txt)"},
        {std::string("FileKey1=") + kFirefox + "\\x.default|favicons.sqlite", siteData + "favicons.sqlite)"},
        {std::string("FileKey1=") + kFirefox + "\\x.default|autofill-*.json",
         "it would reach a browser's saved addresses and cards (autofill-profiles.json)"},
        {std::string("FileKey1=") + kFirefox + "\\x.default|storage-sync-v2.sqlite",
         "it would reach a browser's extensions and their data (storage-sync-v2.sqlite)"},
        {"FileKey1=%WinDir%\\System32\\Microsoft\\Protect|*|RECURSE",
         "it would reach the keys that protect saved passwords and certificates (C:\\Windows\\System32\\Microsoft\\Protect)"},
        {"FileKey1=%WinDir%\\Fonts|*.ttf", "it would delete the system's own files (C:\\Windows\\Fonts)"},
        {"FileKey1=%WinDir%\\System32\\Tasks|*|RECURSE", "it would delete the system's own files (C:\\Windows\\System32\\Tasks)"},
    };
    for (const Case& c : cases) EXPECT_EQ(RefusalOf(c.key), "FileKey on line 2: " + c.reason) << c.key;

    // Every place where the program cleans sites' data itself is refused
    // inside a profile of its family, as the families' table names it.
    for (const std::string& place : ChromiumSiteDataPlaces()) {
        const std::string key = std::string("FileKey1=") + kChrome + "\\Default\\" + place + "|*";
        EXPECT_NE(RefusalOf(key).find("it would reach a browser's cookies or site data"), std::string::npos) << key;
    }
    for (const std::string& place : FirefoxSiteDataPlaces()) {
        const std::string key = std::string("FileKey1=") + kFirefox + "\\x.default\\" + place + "|*";
        EXPECT_NE(RefusalOf(key).find("it would reach a browser's cookies or site data"), std::string::npos) << key;
    }
}

TEST(RulesSafety, RegistryKeysNeedThreePartsBelowTheirRootAndNeverASharedKeyWhole)
{
    struct Case { const char* key; const char* reason; };
    const char* const shallow = "it names a registry key of fewer than three parts below its root (";
    const Case cases[] = {
        {"RegKey1=HKCU", shallow},
        {"RegKey1=HKCU\\Software", shallow},
        {"RegKey1=HKCU\\Software\\Vendor", shallow},
        {"RegKey1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", shallow},
        {"RegKey1=HKU\\S-1-5-21-1\\Software\\Vendor", shallow},
        {"RegKey1=HKLM\\SYSTEM\\Select", shallow},
        {"RegKey1=HKLM\\SYSTEM\\ControlSet001", shallow},
        {"RegKey1=HKCU\\Software\\Microsoft\\Windows", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\System\\CurrentControlSet\\Services", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SYSTEM\\ControlSet002\\Control", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion", "it would delete the shared registry key "},
        {"RegKey1=HKCU\\Software\\Vendor\\..\\..", "it climbs out of its key with \"..\" ("},
        {"RegKey1=HKCR\\*\\shellex", "registry keys take no wildcards ("},
        {"RegKey1=HKXX\\Software\\Vendor\\App", "it names an unknown registry root ("},
        {"RegKey1=HKCU\\Software\\M\xC4\xB1" "crosoft\\Windows", "it holds \xC4\xB1, which Windows reads as an ASCII letter ("},
        {"RegKey1=HKCU/Software/Vendor/App", "it holds \"/\", which the registry reads as part of a key's name ("},
        {"RegKey1=HKEY_USERS\\S-1-5-21-1\\Software\\Vendor", shallow},
        // The hubs of many programs whole, and what the system alone owns at any depth.
        {"RegKey1=HKCU\\Software\\Classes\\CLSID", "it would delete the shared registry key "},
        {"RegKey1=HKCU\\Software\\Classes\\CLSID\\InprocServer32", "it names a key of the shared registry key software\\classes\\clsid that is no program's own GUID ("},
        {"RegKey1=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SYSTEM\\ControlSet001\\Control\\Lsa\\Kerberos", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "it would delete the shared registry key "},
        {"RegKey1=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "it would delete the shared registry key "},
        {"RegKey1=HKU\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "it would delete the shared registry key "},
        {"RegKey1=HKEY_USERS\\S-1-5-21-1_Classes\\CLSID\\Vendor\\Cache", "it names a key of the shared registry key software\\classes\\clsid that is no program's own GUID ("},
        {"RegKey1=HKLM\\Software\\Classes\\Wow6432Node\\CLSID", "it would delete the shared registry key "},
        // File types and the shell's own kinds of object, at any depth.
        {"RegKey1=HKLM\\SOFTWARE\\Classes\\.exe", "it would delete the shared registry key "},
        {"RegKey1=HKCR\\exefile\\shell\\open", "it would delete the shared registry key "},
        {"RegKey1=HKCR\\AllFilesystemObjects\\shellex\\ContextMenuHandlers", "it would delete the shared registry key "},
        {"RegKey1=HKCU\\Software\\Classes\\lnkfile", "it would delete the shared registry key "},
        {"RegKey1=HKEY_USERS\\S-1-5-21-1_Classes\\Directory\\Background\\shell", "it would delete the shared registry key "},
        {"RegKey1=HKLM\\Software\\Classes\\Wow6432Node\\.lnk\\ShellNew", "it would delete the shared registry key "},
    };
    for (const Case& c : cases) {
        const std::string key = std::string(c.key).substr(std::string("RegKey1=").size());
        const bool inParentheses = c.reason[std::strlen(c.reason) - 1] == '(';
        EXPECT_EQ(RefusalOf(c.key), std::string("RegKey on line 2: ") + c.reason + key + (inParentheses ? ")" : ""))
            << c.key;
    }
}

// What an entry's exclusions and detection paths may not be: an exclusion
// that could keep nothing, a detection that would reach across the network.
TEST(RulesSafety, ExclusionsThatCouldKeepNothingAndNetworkDetectionsRefuseTheEntry)
{
    struct Case { std::string lines; std::string reason; };
    const std::string key = "FileKey1=%LocalAppData%\\App|*.tmp\n";
    const Case cases[] = {
        {key + "ExcludeKey1=PATH|%LocalAppData%\\App\\..\\App\\Keep",
         "ExcludeKey on line 3: it climbs with \"..\", so it would keep nothing (C:\\Users\\Bob\\AppData\\Local\\App\\..\\App\\Keep)"},
        {key + "ExcludeKey1=FILE|C:\\PROGRA~1\\App|*.cfg",
         "ExcludeKey on line 3: it names a folder by a form Windows reads as another name, so it would keep nothing (PROGRA~1)"},
        {key + "ExcludeKey1=PATH|%Music%\\App",
         "ExcludeKey on line 3: it names a folder this system does not have, so it would keep nothing (%Music%\\App)"},
        {key + "ExcludeKey1=PATH|\\\\server\\share",
         "ExcludeKey on line 3: it names no full local path, so it would keep nothing (\\\\server\\share)"},
        {"RegKey1=HKCU\\Software\\Classes\\Foo\\Bar\nExcludeKey1=REG|HKCR\\Foo\\Bar\\Keep",
         "ExcludeKey on line 3: it names a key under a root the rules do not clean, so it would keep nothing (HKCR\\Foo\\Bar\\Keep)"},
        {"RegKey1=HKCU\\Software\\Vendor\\App\nExcludeKey1=REG|HKCU/Software/Vendor/App/Keep",
         "ExcludeKey on line 3: it holds \"/\", which the registry reads as part of a key's name, so it would keep nothing (HKCU/Software/Vendor/App/Keep)"},
        {key + "DetectFile=\\\\attacker\\s\\x", "DetectFile \\\\attacker\\s\\x: it names a network path (\\\\attacker\\s\\x)"},
        {key + "DetectFile1=App\\x.cfg", "DetectFile App\\x.cfg: it names a path that is not a full path (App\\x.cfg)"},
    };
    for (const Case& c : cases) EXPECT_EQ(RefusalOf(c.lines), c.reason) << c.lines;
}

TEST(RulesVariables, VariablesComeFromTheTableAndProgramFilesMeansBoth)
{
    struct Case { const char* text; const char* paths; };
    const Case cases[] = {
        {"%ProgramFiles%\\App", "C:\\Program Files\\App;C:\\Program Files (x86)\\App"},
        {"%CommonAppData%\\App", "C:\\ProgramData\\App"},
        {"%localappdata%\\A|%LocalLowAppData%", "C:\\Users\\Bob\\AppData\\Local\\A|C:\\Users\\Bob\\AppData\\LocalLow"},
        {"%SystemDrive%\\x", "C:\\x"},
        {"%Documents%\\x", "D:\\Data\\Bob's papers\\x"},
        {"%Music%\\x", ""},  // not known on this system: no path at all
        {"%Nowhere%\\x", ""},
        {"C:\\Plain\\Path", "C:\\Plain\\Path"},
    };
    for (const Case& c : cases) EXPECT_EQ(Joined(ExpandRuleVariables(c.text, BobsFolders())), c.paths) << c.text;
    KnownFolders oneProgramFiles = BobsFolders();
    oneProgramFiles.programFilesX86 = oneProgramFiles.programFiles;  // a 32-bit system
    EXPECT_EQ(Joined(ExpandRuleVariables("%ProgramFiles%\\A", oneProgramFiles)), "C:\\Program Files\\A");
    EXPECT_EQ(RuleVariableProblem("%A%%B%"), "unknown variable %A%");
    std::string nine;
    for (int i = 0; i < 9; ++i) nine += "%Temp%";
    EXPECT_EQ(RuleVariableProblem(nine), "more than 8 variables in " + nine);
}

TEST(RulesVariables, TheProcessEnvironmentNeverSteersAnExpansion)
{
    ASSERT_TRUE(SetEnvironmentVariableA("AppData", "C:\\"));
    ASSERT_TRUE(SetEnvironmentVariableA("MyFolder", "C:\\Users\\Bob\\Documents"));
    EXPECT_EQ(Joined(ExpandRuleVariables("%AppData%\\A", BobsFolders())), "C:\\Users\\Bob\\AppData\\Roaming\\A");
    EXPECT_EQ(RuleVariableProblem("%MyFolder%\\A"), "unknown variable %MyFolder%");
}

TEST(RulesWildcards, TwoWildcardsOverlapWhenSomeNameMatchesBoth)
{
    struct Case { const char* a; const char* b; bool overlap; };
    const Case cases[] = {
        {"*.log", "*.LOG", true},  {"~*.doc", "*.doc", true},     {"*.doc*", "*.docx", true},
        {"*.*", "Cookies", true},  {"Cookie?", "Cookies", true},  {"Cookies?", "Cookies", true},
        {"x.*", "x", true},        {"a*b*c", "*bc", true},        {"Login*", "Login Data", true},
        {"*.log", "*.tmp", false}, {"*.tmp", "Cookies", false},   {"Cache", "Cookies", false},
        {"App*", "User Data", false}, {"a?c", "abd", false},      {"", "*", true}, {"", "?", true}, {"", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardsOverlap(c.a, c.b), c.overlap) << c.a << " / " << c.b;
        EXPECT_EQ(WildcardsOverlap(c.b, c.a), c.overlap) << c.b << " / " << c.a;
    }
}
