#include "tasks/taskconfig.h"

#include "common/error.h"
#include "jobapi/extkeys.h"
#include "common/fileenum.h"
#include "common/ownfile.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "tasks/configfile.h"
#include "tasks/catalogueitems.h"
#include "tasks/taskfiles.h"

#include <windows.h>

const char kTaskFileEndMarker[] = "5D793A96-4BF6-495E-A8AF-299E203194B6";

namespace {

// Replacing the task file is tried this many times, this far apart.
const int kSaveAttempts = 20;
const DWORD kSaveRetryPauseMs = 50;

bool ReadFlag(CConfigFile& file, const char* key)
{
    return file.ReadString(key) != "0";  // only "0" is false; an empty value is true
}

int ReadInt(CConfigFile& file, const char* key)
{
    return ParseDecimalPrefix(file.ReadString(key));
}

// The administrators' task of that name: the default task is always the user's own.
std::string MachineTaskFilePath(const CTaskName& name)
{
    return SamePath(name.Text(), kDefaultTaskName) ? std::string()
                                                   : TaskFiles(name.Text(), GetMachineTaskFolder()).Path(TaskFiles::Task);
}

}  // namespace

std::string GetTaskFilePath(const CTaskName& name)
{
    const std::string user = UserTaskFilePath(name);
    const std::string machine = MachineTaskFilePath(name);
    return !machine.empty() && ::GetFileAttributesA(machine.c_str()) != INVALID_FILE_ATTRIBUTES ? machine : user;
}

std::string UserTaskFilePath(const CTaskName& name)
{
    return TaskFiles(name.Text()).Path(TaskFiles::Task);
}

std::string TaskNameOfFile(const std::string& fileName)
{
    const size_t extension = sizeof kTaskFileExtension - 1;
    if (fileName.size() <= extension || !SamePath(fileName.substr(fileName.size() - extension), kTaskFileExtension))
        return std::string();
    return fileName.substr(0, fileName.size() - extension);
}

std::vector<ListedTaskFile> ListTaskFiles()
{
    std::vector<ListedTaskFile> files;
    const auto list = [&files](const std::string& folder, bool machine) {
        if (folder.empty()) return;
        CFileEnumerator search(folder + "\\*" + kTaskFileExtension);
        WIN32_FIND_DATAA found;
        while (search.Next(found)) {
            const std::string taskName = TaskNameOfFile(found.cFileName);
            // Matched through its short name only ("work.tsk~"): not a task file.
            if (taskName.empty() || (machine && SamePath(taskName, kDefaultTaskName))) continue;
            files.push_back(ListedTaskFile{found.cFileName, taskName, found.ftLastWriteTime, machine, false});
        }
    };
    list(GetMachineTaskFolder(), true);
    const size_t machineTasks = files.size();
    list(GetDataFolder(), false);
    for (size_t user = machineTasks; user < files.size(); ++user) {
        for (size_t machine = 0; machine < machineTasks; ++machine) {
            if (SamePath(files[user].taskName, files[machine].taskName)) files[user].shadowed = true;
        }
    }
    return files;
}

bool LoadDefaultTaskModel(CTaskConfig* task)
{
    const std::string path = TaskFiles(kDefaultTaskName, GetMachineTaskFolder()).Path(TaskFiles::Task);
    if (path.empty() || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    task->Load(path);
    task->Name = kDefaultTaskName;
    task->SetModified(true);
    return true;
}

bool MakeDefaultTaskFromModel()
{
    if (::GetFileAttributesA(UserTaskFilePath(CTaskName::Default()).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    CTaskConfig task;
    if (!LoadDefaultTaskModel(&task)) return false;
    task.Save();
    return true;
}

std::string CTaskConfig::GetFilePath() const
{
    const CTaskName name = CTaskName::Checked(Name);
    return m_machine ? MachineTaskFilePath(name) : UserTaskFilePath(name);
}

void CTaskConfig::LoadNamed(const CTaskName& name)
{
    const std::string path = GetTaskFilePath(name);
    Load(path);
    m_machine = path != UserTaskFilePath(name);
    if (!SamePath(Name, name.Text())) throw CError(FormatResString(IDS_TASK_NAME_MISMATCH, path.c_str(), Name.c_str()));
}

void CTaskConfig::Load(const std::string& path)
{
    CConfigFile file;
    file.Open(path, CConfigFile::Mode::Read);

    m_extendedData.clear();
    m_enabledItems.clear();

    Name = file.ReadString("TaskName");
    m_modified = true;
    Schedule.enabled = ReadFlag(file, "ScheduleEnabled");
    Schedule.base = file.ReadTime("BaseScheduleTime");
    Schedule.runOnce = file.ReadTime("RunOnceTime");
    Schedule.atStartup = ReadFlag(file, "RunAtStartup");
    Schedule.atShutdown = ReadFlag(file, "RunAtShutdown");
    Schedule.type = ReadInt(file, "ScheduleType");
    Schedule.number = ReadInt(file, "RunEveryNumber");
    Schedule.unit = ReadInt(file, "RunEveryUnit");
    Schedule.atBrowserClose.clear();

    const int extendedDataCount = ReadInt(file, "ExtendedDataCount");
    for (int i = 0; i < extendedDataCount; ++i) {
        const GUID key = StringToGuid(file.ReadString("ExtendedData_GUID"));
        SetExtendedData(key, file.ReadString("ExtendedData_Value"));
    }
    // Part of the schedule, not of an item: held there alone, so that the
    // dialog and the scheduler read one value.
    const auto browserClose = m_extendedData.find(kRunAtBrowserCloseKey);
    if (browserClose != m_extendedData.end()) {
        Schedule.atBrowserClose = browserClose->second;
        m_extendedData.erase(browserClose);
    }

    for (;;) {
        const std::string value = file.ReadString("EnabledTask");
        if (value == kTaskFileEndMarker) break;
        EnableItem(StringToGuid(value), true);
    }

    m_modified = false;
    file.Close();
}

void CTaskConfig::Save()
{
    if (m_machine) throw CError(FormatResString(IDS_MACHINE_TASK_READ_ONLY, Name.c_str()));
    const std::string path = UserTaskFilePath(CTaskName::Checked(Name));
    const std::string temporaryPath = TaskFiles(Name).Path(TaskFiles::Saving);

    try {
        CConfigFile file;
        file.Open(temporaryPath, CConfigFile::Mode::Write, path);
        file.WriteString("TaskName", Name);
        file.WriteString("ScheduleEnabled", Schedule.enabled ? "1" : "0");
        file.WriteTime("BaseScheduleTime", Schedule.base);
        file.WriteTime("RunOnceTime", Schedule.runOnce);
        file.WriteString("RunAtStartup", Schedule.atStartup ? "1" : "0");
        file.WriteString("RunAtShutdown", Schedule.atShutdown ? "1" : "0");
        file.WriteInt("ScheduleType", Schedule.type);
        file.WriteInt("RunEveryNumber", Schedule.number);
        file.WriteInt("RunEveryUnit", Schedule.unit);
        // Written among the items' data, in key order like them.
        std::map<GUID, std::string, GuidLess> extendedData = m_extendedData;
        if (!Schedule.atBrowserClose.empty()) extendedData[kRunAtBrowserCloseKey] = Schedule.atBrowserClose;
        file.WriteInt("ExtendedDataCount", static_cast<int>(extendedData.size()));
        for (const auto& [key, value] : extendedData) {
            file.WriteString("ExtendedData_GUID", GuidToString(key));
            file.WriteString("ExtendedData_Value", value);
        }
        for (const GUID& item : m_enabledItems) file.WriteString("EnabledTask", GuidToString(item));
        file.WriteString("EnabledTask", kTaskFileEndMarker);
        file.CommitAndClose();
    } catch (...) {
        DeleteOwnFile(temporaryPath);
        throw;
    }

    // Readers (the scheduler, a task process) see the old file or the new
    // one, never a half-written one. A program that holds the file open
    // without delete sharing (an indexer, a virus scanner) usually lets go
    // within moments: the move is tried again for about a second.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kSaveAttempts; ++attempt) {
        if (attempt > 0) ::Sleep(kSaveRetryPauseMs);
        if (::MoveFileExA(temporaryPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
    }
    if (error != ERROR_SUCCESS) {
        DeleteOwnFile(temporaryPath);
        throw CError(FormatResString(IDS_CANT_WRITE_FILE, path.c_str(), ErrnoText(ErrnoFromSystemError(error)).c_str()));
    }
    m_modified = false;
}

void CTaskConfig::Delete()
{
    if (m_machine) throw CError(FormatResString(IDS_MACHINE_TASK_READ_ONLY, Name.c_str()));
    CTaskName::Checked(Name);  // raises for a name that is no task's, before anything is deleted
    if (!TaskFiles(Name).DeleteAll()) {
        throw CError(FormatResString(IDS_CANNOT_DELETE_TASK, Name.c_str(), static_cast<int>(::GetLastError())));
    }
    m_modified = true;
}

void CTaskConfig::InitDefaults(const std::string& name, const CCatalogueItems& catalogue, bool administrator)
{
    m_machine = false;
    m_extendedData.clear();
    m_enabledItems.clear();
    Name = name;
    Schedule = ScheduleFields();
    Schedule.base = GetLocalNow();
    Schedule.runOnce = Schedule.base;

    GuidList items;
    catalogue.GetAllItems(items);
    // An item that starts unticked is one a user must choose (a browser's
    // cookies before the keep list is made, the machine's prefetch files);
    // one that needs rights the user lacks would only warn at every run.
    for (const GUID& item : items) {
        const CCatalogueItem& entry = *catalogue.FindItem(item);
        if (entry.defaultState && (administrator || !entry.needsAdministrator)) m_enabledItems.insert(item);
    }
    m_modified = true;
}

std::string CTaskConfig::GetExtendedData(const GUID& key) const
{
    const auto found = m_extendedData.find(key);
    return found == m_extendedData.end() ? std::string() : found->second;
}

void CTaskConfig::SetExtendedData(const GUID& key, const std::string& value)
{
    m_extendedData[key] = value;
    m_modified = true;
}

bool CTaskConfig::IsItemEnabled(const GUID& item) const
{
    return m_enabledItems.count(item) != 0;
}

void CTaskConfig::EnableItem(const GUID& item, bool on)
{
    if (on) m_enabledItems.insert(item);
    else m_enabledItems.erase(item);
    m_modified = true;  // also when nothing changed
}
