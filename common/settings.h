#pragma once
// The settings store: named values in HKEY_LOCAL_MACHINE\Software\<company>\<product>.
// Every accessor reads the registry afresh, so a changed value takes effect at
// its next use; a missing value or one of the wrong type gives the default.
#include <windows.h>
#include <string>

extern const char kSettingsKeyFormat[];  // "Software\%s\%s"

// Creates the key (non-volatile) when it is missing. No caller looks at the result.
bool OpenSettingsKey(const char* company, const char* product);

// Opens the key for reading only and never creates it (the plug-in reads
// the trace setting this way); false when it is missing.
bool OpenExistingSettingsKey(const char* company, const char* product);

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
std::string GetOnlineHelpUrl();
std::string GetSupportUrl();
bool GetAutoRun();
void SetAutoRun(bool on);
