#include "plugin/jobs/customcleanupitem.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "plugin/engines/filecleanup.h"
#include "plugin/engines/registrycleanup.h"
#include "plugin/resource.h"

#include <windows.h>

#include <exception>

namespace {

const char kSection[] = "Settings";

std::string ReadText(const std::string& file, const std::string& key)
{
    char buffer[1024] = {};
    ::GetPrivateProfileStringA(kSection, key.c_str(), "", buffer, sizeof buffer, file.c_str());
    return buffer;
}

// A count that is not a number reads as 0; a missing one as -1.
int ReadCount(const std::string& file, const char* key)
{
    return static_cast<int>(::GetPrivateProfileIntA(kSection, key, -1, file.c_str()));
}

std::vector<std::string> ReadEntries(const std::string& file, const char* keyPrefix, int count, const char* missing)
{
    std::vector<std::string> entries;
    for (int i = 1; i <= count; ++i) {
        std::string entry = ReadText(file, keyPrefix + std::to_string(i));
        if (entry.empty()) throw CError(missing);
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

void CCustomCleanupItem::LoadSettings()
{
    const std::string file = SettingsFile();

    m_jobName = ReadText(file, "Name");
    if (m_jobName.empty()) throw CError("Job configuration is invalid (Missing job name)");

    m_registryEntryCount = ReadCount(file, "RegKeyCount");
    if (m_registryEntryCount == -1) throw CError("Job configuration is invalid (Missing or invalid RegKeyCount)");
    m_registryEntries = ReadEntries(file, "RegKey", m_registryEntryCount,
                                    "Job configuration is invalid (One of the RegKey entries are missing)");

    // Optional, so that the files written before it keep their meaning: a
    // missing count is no entry.
    const int valuesOnlyCount = ReadCount(file, "RegValuesCount");
    m_valuesOnlyEntries = ReadEntries(file, "RegValues", valuesOnlyCount,
                                      "Job configuration is invalid (One of the RegValues entries are missing)");

    m_fileEntryCount = ReadCount(file, "FileCount");
    if (m_fileEntryCount == -1) throw CError("Job configuration is invalid (Missing or invalid FileCount)");
    m_fileEntries = ReadEntries(file, "File", m_fileEntryCount,
                                "Job configuration is invalid (One of the File entries are missing)");
}

void CCustomCleanupItem::DoRun()
{
    // A failing entry is a warning; the job goes on with the next one.
    const auto cleanRegistry = [this](const std::string& entry, void (*clean)(const std::string&, ICleanupReport&)) {
        try {
            clean(entry, *this);
        } catch (const std::exception& error) {
            CountNotRemoved(NotRemoved::Failed);
            LogWarningOf("registry entries that could not be cleaned", FormatResString(IDS_REGISTRY_CLEANUP_ERROR, entry.c_str(), error.what()));
        }
    };
    for (const std::string& entry : m_registryEntries) cleanRegistry(entry, &CleanRegistryKey);
    for (const std::string& entry : m_valuesOnlyEntries) cleanRegistry(entry, &CleanRegistryValues);
    for (const std::string& entry : m_fileEntries) {
        try {
            DeleteFiles(entry, false, 0, *this);
        } catch (const std::exception& error) {
            CountNotRemoved(NotRemoved::Failed);
            LogWarningOf("file patterns that could not be cleaned", FormatResString(IDS_FILE_CLEANUP_ERROR, entry.c_str(), error.what()));
        }
    }
}
