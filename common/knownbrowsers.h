#pragma once
// The browsers the program knows: one job settings file
// "tw_browser_<key>.ini" beside the program for each. Besides where the
// browser keeps its profiles (read by the plug-in), a file names the
// browser and the image names of its processes:
//
//   [Browser]
//   Name=Google Chrome
//   Process=chrome.exe             several names separated by ","
//
// A task names a browser by its key ("chrome"), which the schedule dialog
// offers and the scheduler watches.
#include <string>
#include <vector>

struct KnownBrowser {
    std::string key;                     // the file name's part after "tw_browser_", lower case
    std::string name;                    // as shown to the user
    std::vector<std::string> processes;  // image file names, lower case
};

// A key is a short name of letters, digits, "_" and "-" only: a task file's
// value never becomes a path part or a pattern.
bool IsBrowserKey(const std::string& key);

// The browser of one settings file's text; false when it names no browser.
// Names in the Process list are trimmed and lowered; empty ones left out.
bool BrowserOfSettingsText(const std::string& key, const std::string& text, KnownBrowser* browser);

// Every browser whose settings file lies beside the program, by key.
// A file that cannot be read or names no browser is left out (traced).
std::vector<KnownBrowser> ListKnownBrowsers();

// The browser of that key, when its settings file is there and names one.
bool FindKnownBrowser(const std::string& key, KnownBrowser* browser);
