#pragma once
// Where a browser keeps its profiles. The browser and its folders come from
// the item's job settings file (section "Browser"), so one job class serves
// every browser of a family:
//
//   [Browser]
//   Name=Google Chrome                                 shown in the records
//   Process=chrome.exe                                 its processes (the scheduler's, common/knownbrowsers.h)
//   Data=%LOCALAPPDATA%\Google\Chrome\User Data        profiles' databases
//   Cache=%LOCALAPPDATA%\Google\Chrome\User Data       profiles' caches (default: Data)
//   FormHistory=0                                      history: also form entries
//
// Chromium browsers list their profile folders in Data's "Local State"
// (members of "profile" -> "info_cache"); Opera keeps its one profile in
// Data itself. Firefox lists its profiles in Data's "profiles.ini", relative
// to Data (caches then relative to Cache) or stored anywhere (IsRelative=0,
// cache inside the profile).
#include "common/codecs.h"

#include <set>
#include <string>
#include <vector>

struct BrowserSettings {
    std::string name;
    std::string dataRoot;   // expanded, a full path
    std::string cacheRoot;  // expanded, a full path
    bool formHistory = false;
};

struct BrowserProfile {
    std::string name;         // as the session records name it
    std::string dataFolder;   // its databases
    std::string cacheFolder;  // its cache folders
    // The folders it was found in, and its path below them (empty for a
    // browser that keeps its one profile in its data folder itself): no
    // link on the way from those folders is ever followed.
    std::string dataRoot;
    std::string cacheRoot;
    std::string relative;
};

// Raises CError unless the profile's entry (a database, a cache folder) is
// where its path says: no link at it, none between it and the folder the
// profile was found in (the profile folder itself included, at every use).
void RequireProfileEntry(const BrowserProfile& profile, bool cache, const std::string& entry);

struct BrowserProfiles {
    std::vector<BrowserProfile> profiles;  // existing folders only, each once
    StringList refused;                    // listed names no safe path can be made of
    StringList linked;                     // profiles whose folder is a link out of the browser's folder
    StringList unreadable;                 // profiles whose folder could not be looked at, with why
    std::set<std::string> knownFolders;    // the data folders found, in upper case
};

// Reads the settings file beside the program. Raises "Job configuration is
// invalid (...)" when it lacks a name or a folder, or a folder is not a full
// path once its variables are expanded.
BrowserSettings ReadBrowserSettings(const std::string& settingsFile);

// Raise CError when the browser's list of profiles exists but cannot be read.
BrowserProfiles FindChromiumProfiles(const BrowserSettings& settings);
BrowserProfiles FindFirefoxProfiles(const BrowserSettings& settings);

// True when the file exists and another program holds it open, so that it
// cannot be opened for exclusive writing: the browser is running.
bool IsHeldByAnotherProgram(const std::string& file);

// Whether folder\relative is where its path says: no link at it, none
// between it and folder. The browser's own files name these paths, so
// nothing there may lead a cleaning anywhere else.
enum class EntryPlace { Plain, Link, Unreadable };
EntryPlace CheckPlainEntry(const std::string& folder, const std::string& relative, std::string* problem = nullptr);
// Raises CError unless CheckPlainEntry finds it plain.
void RequirePlainEntry(const std::string& folder, const std::string& relative);

bool IsExistingFile(const std::string& path);
bool IsExistingFolder(const std::string& path);
