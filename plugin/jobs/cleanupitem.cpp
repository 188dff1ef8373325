#include "plugin/jobs/cleanupitem.h"

#include "common/buffercopy.h"
#include "common/cookiesites.h"
#include "common/error.h"
#include "common/strformat.h"
#include "jobapi/extkeys.h"
#include "common/pathtext.h"
#include "common/paths.h"

#include <cstring>
#include <set>
#include <exception>

namespace {

const char kUnexpectedFailure[] = "Unexpected failure in the cleanup job.";

// What the preview jobs of this process counted already (one task per process).
std::set<std::string> g_previewCounted;

}  // namespace

std::string SettingsFilePath(const std::string& name)
{
    if (!IsTrustworthyName(name)) throw CError("settings file name refused: " + name);
    return GetModuleFilePath(name.c_str());
}

std::string CCleanupItem::SettingsFile() const
{
    try {
        return SettingsFilePath(m_config);
    } catch (const CError& refused) {
        throw CError(std::string("Job configuration is invalid (") + refused.what() + ")");
    }
}

template <typename Work>
int CCleanupItem::Guarded(Work work)
{
    try {
        work();
        return kJobSuccess;
    } catch (const std::exception& error) {
        m_errorText = error.what();
    } catch (...) {
        m_errorText = kUnexpectedFailure;
    }
    return kJobFailure;
}

int CCleanupItem::GetErrorText(char* buffer, int size)
{
    return CopyToBuffer(m_errorText, buffer, size) ? kJobSuccess : kJobFailure;
}

int CCleanupItem::Init(ITaskInfo* taskInfo, const char* config, IEventSink* events)
{
    m_config = config != nullptr ? config : "";
    m_events = events;
    m_taskInfo = taskInfo;
    return Guarded([this] {
        if (m_support != RunModeSupport::None) {
            // A program without run modes offers no such key: an empty text.
            // A host that cannot answer is taken for one without them: the
            // job then runs as jobs always did, and no preview runs it.
            std::string mode;
            try {
                mode = GetTaskExtendedData(kRunModeKey);
            } catch (const CError&) {
                mode.clear();
            }
            m_programTakesResults = !mode.empty();
            m_preview = mode == kRunModePreview;
            if (m_programTakesResults && !m_preview && mode != kRunModeClean) {
                throw CError("Unknown run mode: " + mode);
            }
            if (m_programTakesResults) LogEvent(mode, kEventRunModeAccepted);
        }
        LoadSettings();
    });
}

int CCleanupItem::Run()
{
    int result = Guarded([this] { DoRun(); });
    // What was left out is told even when the run failed.
    const std::string runError = m_errorText;
    const int summarised = Guarded([this] { ReportLeftOut(); });
    if (result == kJobSuccess) result = summarised;
    else m_errorText = runError;
    // A program without run modes has no word for it: a record says it.
    if (!m_absentPart.empty() && !m_programTakesResults && result == kJobSuccess) {
        result = Guarded([this] { LogInfo(m_absentPart + " is not present on this system."); });
    }
    // What was removed before a failure was removed all the same.
    if (!m_programTakesResults || m_support != RunModeSupport::Counted) return result;
    const std::string errorText = m_errorText;
    const int reported = Guarded([this] { ReportResults(); });
    if (result != kJobSuccess) m_errorText = errorText;
    return result != kJobSuccess ? result : reported;
}

void CCleanupItem::ReportResults()
{
    // Nothing was there to clean: the program says so in place of the
    // counts, which would read "Removed nothing." as if the job had looked.
    if (!m_absentPart.empty() && m_counts == CleanupCounts()) {
        LogEvent(m_absentPart, kEventNotPresent);
        return;
    }
    LogEvent(EncodeCleanupCounts(m_counts), kEventResults);
}

void CCleanupItem::CountRemoved(Removed what, const std::string& name, long long bytes, long long count,
                                const std::string& identity)
{
    // In a preview nothing goes, so two patterns or two jobs that select the
    // same thing would count it twice where a clean removes it once: each
    // thing counts once per task process. Things are told apart exactly, as
    // their identities say: "Case.tmp" and "CASE.TMP" may be two files.
    const std::string thing = std::to_string(static_cast<int>(what)) + ":" + (identity.empty() ? name : identity);
    if (m_preview && !g_previewCounted.insert(thing).second) return;
    switch (what) {
    case Removed::File: m_counts.files += count; m_counts.bytes += bytes; break;
    case Removed::Folder: m_counts.folders += count; break;
    case Removed::RegistryValue: m_counts.registryValues += count; break;
    case Removed::RegistryKey: m_counts.registryKeys += count; break;
    case Removed::CacheEntry: m_counts.cacheEntries += count; break;
    case Removed::Cookie: m_counts.cookies += count; break;
    case Removed::Row: m_counts.rows += count; break;
    case Removed::Operation: m_counts.operations += count; break;
    case Removed::Store: m_counts.stores += count; break;
    }
    if (m_preview && m_programTakesResults) LogEvent(std::to_string(bytes) + "\t" + name, kEventPreviewEntry);
}

void CCleanupItem::CountNotRemoved(NotRemoved why, long long count)
{
    switch (why) {
    case NotRemoved::LeftForRestart: m_counts.leftForRestart += count; break;
    case NotRemoved::Skipped: m_counts.skipped += count; break;
    case NotRemoved::Failed: m_counts.failed += count; break;
    }
}

int CCleanupItem::Stop()
{
    m_stopRequested = true;
    return kJobSuccess;
}

void CCleanupItem::Release()
{
    delete this;  // in the plug-in's own heap
}

StringList CCleanupItem::TaskCookieKeepList()
{
    const std::optional<StringList> keepList = ReadKeepList(GetTaskExtendedData(kCookieKeepListKey));
    if (!keepList) {
        throw CError("The list of cookies to keep cannot be read (the task's setting is damaged); no cookie was "
                     "deleted. Open the task's options and choose the cookies to keep again.");
    }
    return *keepList;
}

std::string CCleanupItem::GetTaskExtendedData(const GUID& key)
{
    char* buffer = nullptr;
    int size = 0;
    if (m_taskInfo == nullptr || m_taskInfo->GetExtendedData(&key, &buffer, &size) != kJobSuccess) {
        throw CError("Task configuration error. Please contact technical support.");
    }
    std::string text;
    if (buffer != nullptr) {
        text.assign(buffer, strnlen(buffer, size > 0 ? static_cast<size_t>(size) : 0));
        m_taskInfo->FreeBuffer(buffer);
    }
    return text;
}

void CCleanupItem::LogEvent(const std::string& text, int type)
{
    if (m_events != nullptr && m_events->LogEvent(text.c_str(), type) == kJobSuccess) return;

    char message[1024] = {};
    if (m_events == nullptr || m_events->GetErrorText(message, sizeof message) != kJobSuccess) {
        throw CError("unknown session error");
    }
    throw CError(message);
}

void CCleanupItem::LogOf(const char* kind, const std::string& text, int type)
{
    KindTally& tally = m_kinds[kind];
    tally.type = type;
    if (tally.written >= kReportedOfAKind) {
        ++tally.leftOut;
        return;
    }
    ++tally.written;
    LogEvent(text, type);
}

void CCleanupItem::ReportLeftOut()
{
    for (const auto& [kind, tally] : m_kinds) {
        if (tally.leftOut == 0) continue;
        LogEvent(StrFormat("Left out %s more records of this kind: %s.", GroupedNumber(tally.leftOut).c_str(),
                           kind.c_str()),
                 tally.type);
    }
    m_kinds.clear();
}

void CCleanupItem::LogWarningOf(const char* kind, const std::string& text) { LogOf(kind, text, kEventWarning); }
void CCleanupItem::LogInfoOf(const char* kind, const std::string& text) { LogOf(kind, text, kEventInformation); }
void CCleanupItem::LogError(const std::string& text) { LogEvent(text, kEventError); }
void CCleanupItem::LogWarning(const std::string& text) { LogEvent(text, kEventWarning); }
void CCleanupItem::LogInfo(const std::string& text) { LogEvent(text, kEventInformation); }
