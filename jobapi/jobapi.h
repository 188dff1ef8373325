#pragma once
// The job interface between the program and a cleanup plug-in module. The
// slot order of each interface is a binary contract: this is the one
// declaration both modules are built from.
//
// Only interface pointers, plain character strings, 16-byte GUIDs and 32-bit
// results cross the boundary. Each module frees what it allocated, and no
// exception crosses it.
#include <windows.h>

// Results of every operation: 0 success, 0x80000000 failure.
constexpr int kJobSuccess = 0;
constexpr int kJobFailure = static_cast<int>(0x80000000u);

// Event types, as in the session data file.
constexpr int kEventError = 0;
constexpr int kEventWarning = 1;
constexpr int kEventInformation = 2;
// Sent by a job only when the task offers a run mode (jobapi/extkeys.h), and
// never written to the session data file as they are: the counts of what the
// job removed (or would remove), as EncodeCleanupCounts text, once after its
// run; in a preview, one entry it would remove ("<bytes>\t<what>"); and, in
// Init, the run mode the job will honour (a job that does not send it is not
// run in a preview).
constexpr int kEventResults = 3;
constexpr int kEventPreviewEntry = 4;
constexpr int kEventRunModeAccepted = 5;
// After its run, in place of its results: what the job cleans is not on this
// system (the text names it), so the job did not clean rather than finish.
constexpr int kEventNotPresent = 6;

// Offered by the program: the running task's extended data.
class ITaskInfo {
public:
    virtual int GetErrorText(char* buffer, int size) = 0;
    // Hands out a copy of the task's text for key, allocated by the program;
    // the job returns it through FreeBuffer.
    virtual int GetExtendedData(const GUID* key, char** buffer, int* size) = 0;
    virtual int FreeBuffer(char* buffer) = 0;
    virtual ~ITaskInfo() = default;
};

// Offered by the program: the session data file of the running task.
class IEventSink {
public:
    virtual int GetErrorText(char* buffer, int size) = 0;
    virtual int LogEvent(const char* text, int type) = 0;
    virtual ~IEventSink() = default;
};

// A cleanup job, created by the plug-in's factory and destroyed by Release.
class IJob {
public:
    virtual int GetErrorText(char* buffer, int size) = 0;
    virtual int Init(ITaskInfo* taskInfo, const char* config, IEventSink* events) = 0;
    virtual int Run() = 0;
    virtual int Stop() = 0;
    virtual void Release() = 0;

protected:
    ~IJob() = default;  // only Release destroys a job
};

// The plug-in's job factory, found by name with GetProcAddress.
extern "C" typedef int (*TWCreateJobFunction)(const GUID* classId, IJob** job);
constexpr char kCreateJobExportName[] = "TWCreateJob";

// Offered by the program to the plug-in's cookie-host listing: receives the
// host of every cookie a browser keeps, for the console's keep-list dialog.
// The system URL cache's cookies are kept by their entry names, as they are:
// those come through AddCookieName, and the reason they could not be listed
// through CookieNamesUnlisted. The last two slots came later: a plug-in
// built before them never calls them.
class ICookieHostSink {
public:
    virtual int AddHost(const char* host) = 0;
    virtual ~ICookieHostSink() = default;
    virtual int AddCookieName(const char* name) = 0;
    virtual int CookieNamesUnlisted(const char* reason) = 0;
};

// The plug-in's second export: hands sink the cookie hosts of the browser
// that the item with this class identifier and configuration text cleans.
// Succeeds without a host for a class that cleans no browser's cookies. On
// failure the reason is copied into errorText (NUL-terminated within
// errorSize).
extern "C" typedef int (*TWListCookieHostsFunction)(const GUID* classId, const char* config, ICookieHostSink* sink,
                                                    char* errorText, int errorSize);
constexpr char kListCookieHostsExportName[] = "TWListCookieHosts";
