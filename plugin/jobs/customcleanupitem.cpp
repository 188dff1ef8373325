#include "plugin/jobs/customcleanupitem.h"

#include "common/error.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "plugin/engines/files/filecleanup.h"
#include "plugin/engines/registry/registrycleanup.h"
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

    m_treeEntries = ReadEntries(file, "Tree", ReadCount(file, "TreeCount"),
                                "Job configuration is invalid (One of the Tree entries are missing)");

    m_systemPart = ReadText(file, "SystemPart");
    m_systemPartKey = ReadText(file, "SystemPartKey");
    m_systemPartFolder = ReadText(file, "SystemPartFolder");
    if (m_systemPart.empty() && !(m_systemPartKey.empty() && m_systemPartFolder.empty())) {
        throw CError("Job configuration is invalid (SystemPartKey or SystemPartFolder without SystemPart)");
    }
    if (!m_systemPartKey.empty()) {
        const RegistryPath path = ParseRegistryPath(m_systemPartKey);
        if (path.hasValueName || path.keyPath.empty())
            throw CError("Job configuration is invalid (SystemPartKey names no key: " + m_systemPartKey + ")");
    }
}

// The key must exist (any access will do to tell) and the folder must be a
// folder; a missing name is no condition.
bool CCustomCleanupItem::SystemPartPresent() const
{
    if (!m_systemPartKey.empty()) {
        const RegistryPath path = ParseRegistryPath(m_systemPartKey);
        UniqueRegKey key;
        const LONG opened = ::RegOpenKeyExA(path.root, path.keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive());
        // A key the user may not read is there all the same.
        if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) return false;
    }
    if (!m_systemPartFolder.empty()) {
        const DWORD attributes = ::GetFileAttributesA(ExpandEnvironment(m_systemPartFolder).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    }
    return true;
}

void CCustomCleanupItem::DoRun()
{
    if (!m_systemPart.empty() && !SystemPartPresent()) {
        ReportNotPresent(m_systemPart);
        return;
    }
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
    const auto cleanFiles = [this](const std::string& entry, bool descend) {
        try {
            DeleteFiles(entry, descend, 0, *this);
        } catch (const std::exception& error) {
            CountNotRemoved(NotRemoved::Failed);
            LogWarningOf("file patterns that could not be cleaned", FormatResString(IDS_FILE_CLEANUP_ERROR, entry.c_str(), error.what()));
        }
    };
    for (const std::string& entry : m_fileEntries) cleanFiles(entry, false);
    for (const std::string& entry : m_treeEntries) cleanFiles(entry, true);
}
