#include "runtime/jobhost.h"

#include "common/buffercopy.h"
#include "common/error.h"
#include "jobapi/extkeys.h"
#include "common/guid.h"
#include "common/tracer.h"
#include "runtime/previewreport.h"
#include "runtime/sessionlog.h"
#include "tasks/taskconfig.h"

#include <cstring>
#include <exception>
#include <new>

int CJobTaskInfo::GetErrorText(char*, int)
{
    return kJobFailure;  // not supported
}

int CJobTaskInfo::GetExtendedData(const GUID* key, char** buffer, int* size)
{
    if (key == nullptr || buffer == nullptr || size == nullptr) return kJobFailure;
    const std::string text = SameGuid(*key, kRunModeKey) ? (m_preview ? kRunModePreview : kRunModeClean)
                                                         : m_task.GetExtendedData(*key);
    char* copy = new (std::nothrow) char[text.size() + 1];
    if (copy == nullptr) return kJobFailure;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    *buffer = copy;
    *size = static_cast<int>(text.size() + 1);
    return kJobSuccess;
}

int CJobTaskInfo::FreeBuffer(char* buffer)
{
    if (buffer == nullptr) return kJobFailure;
    delete[] buffer;
    return kJobSuccess;
}

int CJobEventSink::GetErrorText(char* buffer, int size)
{
    return CopyToBuffer(m_errorText, buffer, size) ? kJobSuccess : kJobFailure;
}

int CJobEventSink::LogEvent(const char* text, int type)
{
    m_errorText.clear();
    try {
        const std::string message = text != nullptr ? text : "";
        switch (type) {
        case kEventRunModeAccepted:
            m_modeAccepted = message == (m_preview ? kRunModePreview : kRunModeClean);
            return kJobSuccess;
        case kEventResults: {
            // One result per job: a second would count the same work twice.
            CleanupCounts counts;
            if (m_resultsTaken || !DecodeCleanupCounts(message, &counts))
                throw CError("The job's results cannot be read: " + message);
            m_log.Write(DescribeCleanupCounts(counts, m_preview), kEventInformation);
            m_totals += counts;
            m_jobFailures = counts.failed;
            m_resultsTaken = true;
            return kJobSuccess;
        }
        case kEventNotPresent:
            m_absentPart = message.empty() ? "what it cleans" : message;
            return kJobSuccess;
        case kEventPreviewEntry:
            if (m_preview && m_report != nullptr) m_report->Add(message);
            return kJobSuccess;
        default:
            m_log.Write(message, (type == kEventError || type == kEventWarning) ? type : kEventInformation);
            return kJobSuccess;
        }
    } catch (const std::exception& error) {
        TRACE(40, "Log event failed! %s", error.what());
        m_errorText = error.what();
        return kJobFailure;
    }
}

