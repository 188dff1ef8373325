#pragma once
// An older installation kept every user's tasks and history in one shared
// folder that every user could write. The installer makes that folder the
// administrators' task folder, and runs the program as the system, with
// "/take-over-shared-folder <folder>", to make what is in it safe:
//  - the history the runs of every user left there (session records,
//    previews, last-run and status files, the trace, files set aside) is
//    deleted: it cannot be told whose it is, and every user could read it;
//  - every task file a user made is written anew by the system, so that
//    its owner is no longer that user, who could otherwise give themselves
//    the right to change it again, and a task every user runs with it;
//  - a link or a hard link a user put there, under any name, loses its own
//    name only: nothing it leads to is ever deleted or written, and nothing
//    removing the folder later can reach it through the link;
//  - a folder under a task's name ("block.tsk") is no task: it is set aside
//    as "<name>.refused-<ticks>", with all it holds, and the rest goes on.
// Nothing outside the folder is touched; other folders in it are left as
// they are (the program reads none of them).
#include <string>

constexpr char kTakeOverSwitch[] = "/take-over-shared-folder";

// 0 when every task file in the folder is the system's own and no name a
// user put there leads elsewhere; 1 when one could not be made so (the
// installation then fails, and the older one stays as it was). History
// that cannot be deleted (a file another program holds) is left.
int TakeOverSharedFolder(const std::string& folder);
