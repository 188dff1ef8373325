#include "tasks/tasklist.h"

#include "common/error.h"
#include "common/ownfile.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/strformat.h"
#include "common/stringids.h"
#include "common/taskfilenames.h"
#include "common/tracer.h"

#include <windows.h>

#include <algorithm>

std::vector<TaskListNotice> CTaskList::LoadDefaultTask(const CCatalogueItems& catalogue)
{
    std::vector<TaskListNotice> notices;
    m_tasks.push_back(std::make_unique<CTaskConfig>());
    CTaskConfig& defaultTask = DefaultTask();
    try {
        defaultTask.LoadNamed(CTaskName::Default());
    } catch (const std::exception& error) {
        TRACE(30, "Can't load default task configuration (error - %s), resetting defaults", error.what());
        defaultTask.InitDefaults(kDefaultTaskName, catalogue);
        // A user's first default task follows the administrators' model of
        // one, when they laid one down (an upgrade keeps the shared default there).
        const bool missing = ::GetFileAttributesA(defaultTask.GetFilePath().c_str()) == INVALID_FILE_ATTRIBUTES;
        try {
            if (missing && LoadDefaultTaskModel(&defaultTask)) TRACE(20, "default task made from the administrators' model");
        } catch (const std::exception& modelError) {
            TRACE(30, "The administrators' model of the default task cannot be read - %s", modelError.what());
            defaultTask.InitDefaults(kDefaultTaskName, catalogue);
        }
        if (KeepUnreadableDefaultTask(error.what(), notices)) {
            try {
                defaultTask.Save();
            } catch (const std::exception& saveError) {
                // Shown from memory; it stays modified and is saved when it can be.
                notices.push_back(TaskListNotice{true, saveError.what()});
            }
        }
    }
    return notices;
}

bool CTaskList::KeepUnreadableDefaultTask(const std::string& failure, std::vector<TaskListNotice>& notices)
{
    const std::string path = DefaultTask().GetFilePath();
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;  // missing: nothing to keep

    SYSTEMTIME now;
    ::GetLocalTime(&now);
    // An extension that "*.tsk" cannot match, not even through a short name.
    const std::string kept = GetDataFilePath(StrFormat("%s%s%04d%02d%02d-%02d%02d%02d", kDefaultTaskName, kUnreadableInfix, now.wYear,
                                                       now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond));
    if (!MoveOwnFile(path, kept, MOVEFILE_WRITE_THROUGH)) {
        const int error = static_cast<int>(::GetLastError());
        TRACE(40, "Cannot keep the unreadable default task - %d", error);
        m_keepDefaultFile = true;  // shown from memory, never saved over the file
        notices.push_back(TaskListNotice{true, FormatResString(IDS_DEFAULT_TASK_NOT_KEPT, failure.c_str(), error)});
        return false;
    }
    notices.push_back(TaskListNotice{false, FormatResString(IDS_DEFAULT_TASK_KEPT, failure.c_str(), kept.c_str())});
    return true;
}

std::string CTaskList::LoadOtherTasks()
{
    TRACE(20, "processing user tasks");
    std::string failures;
    for (const ListedTaskFile& file : ListTaskFiles()) {
        if (SamePath(file.taskName, kDefaultTaskName)) continue;
        if (file.shadowed) {
            failures += FormatResString(IDS_TASK_LOAD_FAILURE_LINE, file.fileName.c_str(),
                                        LoadResString(IDS_TASK_SHADOWED).c_str());
            continue;
        }
        TRACE(20, "Processing user task: %s", file.fileName.c_str());
        auto task = std::make_unique<CTaskConfig>();
        try {
            task->LoadNamed(CTaskName::Checked(file.taskName));
        } catch (const std::exception& error) {
            TRACE(30, "Failed to load task configuration from file %s, error %s", file.fileName.c_str(), error.what());
            failures += FormatResString(IDS_TASK_LOAD_FAILURE_LINE, file.fileName.c_str(), error.what());
            continue;
        }
        m_tasks.push_back(std::move(task));
    }
    TRACE(20, "processing user tasks - done");
    return failures;
}

std::vector<std::string> CTaskList::Names() const
{
    std::vector<std::string> names;
    for (const auto& task : m_tasks) names.push_back(task->Name);
    return names;
}

bool CTaskList::MaySave(const CTaskConfig& task) const
{
    return !task.IsMachineTask() && (&task != &DefaultTask() || !m_keepDefaultFile);
}

void CTaskList::SwitchTo(CTaskConfig* task, const std::function<void(const std::string&)>& reportSaveFailure)
{
    try {
        SaveCurrentIfModified();
    } catch (const std::exception& error) {
        reportSaveFailure(error.what());
    }
    m_current = task;
}

void CTaskList::SaveCurrentIfModified()
{
    if (m_current != nullptr && m_current->IsModified() && MaySave(*m_current)) m_current->Save();
}

CTaskConfig& CTaskList::Add(const CTaskName& name, const CCatalogueItems& catalogue)
{
    auto task = std::make_unique<CTaskConfig>();
    task->InitDefaults(name.Text(), catalogue);
    const std::string path = UserTaskFilePath(name);
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        throw CError(FormatResString(IDS_TASK_FILE_EXISTS, path.c_str()));
    }
    task->Save();
    m_tasks.push_back(std::move(task));
    return *m_tasks.back();
}

void CTaskList::Delete(CTaskConfig& task)
{
    if (&task == &DefaultTask()) throw CError(LoadResString(IDS_DEFAULT_TASK_UNDELETABLE));
    if (task.IsMachineTask()) throw CError(FormatResString(IDS_MACHINE_TASK_READ_ONLY, task.Name.c_str()));
    const auto owned = std::find_if(m_tasks.begin(), m_tasks.end(), [&task](const auto& t) { return t.get() == &task; });
    if (owned == m_tasks.end()) return;
    if (m_current == &task) m_current = &DefaultTask();  // a task being deleted is not saved
    const std::unique_ptr<CTaskConfig> leaving = std::move(*owned);
    m_tasks.erase(owned);
    leaving->Delete();
}

void CTaskList::Clear()
{
    m_current = nullptr;
    m_tasks.clear();
}
