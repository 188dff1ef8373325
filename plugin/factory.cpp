// The plug-in's one export: creates a job object by class identifier.
#include "common/guid.h"
#include "jobapi/jobapi.h"
#include "plugin/builtinitems.h"
#include "plugin/customcleanupitem.h"
#include "plugin/plugintracer.h"

#include <exception>

namespace {

using JobCreator = IJob* (*)();

template <typename Job>
IJob* Create()
{
    return new Job();
}

struct JobClass {
    const char* classId;  // as text, converted at every search
    JobCreator create;    // null: the job class is not part of this build
};

// Searched in this order; the first row whose identifier matches creates.
const JobClass kJobClasses[] = {
    {"4D6A9D0C-84AA-457e-B3EA-BE99FFFA4FC2", &Create<CNullItem>},
    {"AACEE220-9942-4E90-8CD0-F8A0FBAB496E", &Create<CRecentDocumentsItem>},
    {"B0E19CC3-4046-40DA-A480-7E3A9AF4ECDB", &Create<CTypedURLsItem>},
    {"46F1FFEA-6AAA-49C6-8773-17CCA2867A00", &Create<CCustomCleanupItem>},
    {"20FA0A7E-605A-4bf1-8634-FD1700890FC9", &Create<CIECookiesItem>},
    {"BE32D7AC-BD92-4DF7-ABFC-120BEDAAD0C0", &Create<CTempFolderItem>},
    {"92A35E74-E942-4B24-B82E-BBD19332FF7D", &Create<CIEHistoryItem>},
    {"5443B092-9ED6-47bb-8ADD-46949F8C909A", &Create<CIETempFilesItem>},
};

}  // namespace

extern "C" __declspec(dllexport) int TWCreateJob(const GUID* classId, IJob** job)
{
    if (classId == nullptr || job == nullptr) return kJobFailure;
    try {
        OpenPluginTracer();
        for (const JobClass& row : kJobClasses) {
            if (!SameGuid(StringToGuid(row.classId), *classId)) continue;
            if (row.create == nullptr) return kJobFailure;
            *job = row.create();
            return kJobSuccess;
        }
    } catch (const std::exception&) {
        // Out of memory: nothing may cross into the program's module.
    }
    return kJobFailure;
}
