#include "plugin/cleanupitem.h"

#include "common/buffercopy.h"
#include "common/error.h"

#include <cstring>
#include <exception>

namespace {

const char kUnexpectedFailure[] = "Unexpected failure in the cleanup job.";

}  // namespace

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
    return Guarded([this] { LoadSettings(); });
}

int CCleanupItem::Run()
{
    return Guarded([this] { DoRun(); });
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

void CCleanupItem::LogError(const std::string& text) { LogEvent(text, kEventError); }
void CCleanupItem::LogWarning(const std::string& text) { LogEvent(text, kEventWarning); }
void CCleanupItem::LogInfo(const std::string& text) { LogEvent(text, kEventInformation); }
