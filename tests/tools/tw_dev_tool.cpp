// A helper for development and tests, run from a program folder:
//   make-default-task          writes default.tsk as the console would: every item enabled
//   print-session TASK         prints the task's session records as the console shows them
//   write-session TASK N MS    starts a session and writes N records, MS milliseconds apart
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/timeutil.h"
#include "runtime/sessionlog.h"
#include "tasks/inventory.h"
#include "tasks/taskconfig.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

std::string TypeName(int type)
{
    switch (type) {
    case 0: return LoadResString(IDS_EVENT_ERROR);
    case 1: return LoadResString(IDS_EVENT_WARNING);
    case 2: return LoadResString(IDS_EVENT_INFORMATION);
    default: return LoadResString(IDS_EVENT_UNKNOWN);
    }
}

int MakeDefaultTask()
{
    g_inventory.Initialize();
    CTaskConfig task;
    task.InitDefaults("default", g_inventory);
    task.Save();
    std::printf("%s\n", task.GetFilePath().c_str());
    return 0;
}

int PrintSession(const std::string& taskName)
{
    CSessionLogRead reader;
    reader.Attach(taskName);
    std::string message;
    int type = 0;
    time32 time = 0;
    bool restarted = false;
    std::printf("%-22s| %-60s| %s\n", "Time", "Item", "Status");
    while (reader.Read(&message, &type, &time, &restarted)) {
        std::printf("%-22s| %-60s| %s\n", FormatDateTime(time).c_str(), message.c_str(), TypeName(type).c_str());
    }
    return 0;
}

int WriteSession(const std::string& taskName, int count, int pauseMs)
{
    CSessionLogWrite writer;
    writer.Create(taskName);
    for (int i = 1; i <= count; ++i) {
        ::Sleep(static_cast<DWORD>(pauseMs));
        writer.Write("record " + std::to_string(i), 2);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        if (argc == 2 && std::strcmp(argv[1], "make-default-task") == 0) return MakeDefaultTask();
        if (argc == 3 && std::strcmp(argv[1], "print-session") == 0) return PrintSession(argv[2]);
        if (argc == 5 && std::strcmp(argv[1], "write-session") == 0)
            return WriteSession(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: tw_dev_tool make-default-task | print-session TASK | write-session TASK N MS\n");
    return 2;
}
