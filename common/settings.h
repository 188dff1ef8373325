#pragma once
// The settings store: named values in HKEY_LOCAL_MACHINE\Software\<company>\<product>.
// Every accessor reads the registry afresh, so a changed value takes effect at
// its next use; a missing value or one of the wrong type gives the default.
// A value of the right type under HKEY_LOCAL_MACHINE\Software\Policies\<company>\<product>
// (an administrator's policy) wins over the setting of the same name.
#include <windows.h>
#include <string>

extern const char kSettingsKeyFormat[];  // "Software\%s\%s"
extern const char kPolicyKeyFormat[];    // "Software\Policies\%s\%s"

// Creates the key (non-volatile) when it is missing. A user who may not
// write the key (a standard user) gets it for reading only. No caller looks
// at the result.
bool OpenSettingsKey(const char* company, const char* product);

// Opens the key for reading only and never creates it (the plug-in reads
// the trace setting this way); false when it is missing.
bool OpenExistingSettingsKey(const char* company, const char* product);

// False when the key is open for reading only or not at all: a setting the
// user changes would not be kept.
bool CanWriteSettings();
// True when a policy decides the number setting of that name: the policy
// key holds it as REG_DWORD.
bool IsSetByPolicy(const char* name);

int ReadDword(const char* name, int defaultValue);
std::string ReadString(const char* name, const std::string& defaultValue);
LONG WriteDword(const char* name, int value);
LONG WriteString(const char* name, const std::string& value);

// The time settings are held to a range (traced once when the registry holds
// another value): time-outs 0 s to 1 hour, a negative value giving the
// default; periods 1 s to 1 day. The addresses are used only when they are
// http:// or https:// addresses of at most 2,083 characters; otherwise the
// default address.
int GetDebugLogLevel();
int GetTaskStopTimeout();
int GetTaskStartTimeout();
int GetTaskScheduleUpdatePeriod();
int GetTaskScheduleExecutePeriod();
// "BrowserCloseRunInterval": the least time, in seconds, between two starts
// of a task that runs when a browser closes (default 120, 1 s to 1 day); a
// close within it runs the task once, when it is over.
int GetBrowserCloseRunInterval();
// True for a web address the shell may be given: http:// or https://, no
// blanks or control characters, of a length every browser takes.
bool IsUsableWebAddress(const std::string& address);
std::string GetOnlineHelpUrl();
std::string GetSupportUrl();
bool GetAutoRun();
void SetAutoRun(bool on);
// "LockTasks": nonzero on locked-down desktops, where the console neither
// creates nor deletes tasks. Meant to be set by policy.
bool GetTasksLocked();
// "DataFolder", as installation laid it down in the settings key (never
// from policy), with the user's environment variables expanded (installed,
// it names the user's own folder, "%LOCALAPPDATA%\Hollowmere\Tidewhistle");
// empty when missing.
std::string GetDataFolderSetting();
// "MachineTaskFolder": where administrators put the tasks every user runs
// (installed, a folder only administrators and the system may write);
// empty when missing.
std::string GetMachineTaskFolderSetting();
