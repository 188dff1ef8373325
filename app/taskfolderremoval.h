#pragma once
// The uninstall's removal of the administrators' task folder, asked for
// with REMOVEUSERDATA=1: the installer runs the program, as the system and
// once the uninstall has succeeded, with "/remove-task-folder <folder>".
// Only the program's own files go, each by its name and through the
// program's own file rules: the task files, the history its runs write
// beside them and what it set aside. A link of any name loses its own name
// only; nothing it leads to is deleted, and no folder in it is entered.
// The folder goes when nothing else is left in it; anything that is not
// the program's (a folder, a file of another name, a link the system
// cannot take apart from its target) stays, and the folder with it.
#include <string>

constexpr char kRemoveTaskFolderSwitch[] = "/remove-task-folder";

// 0 when none of the program's own files is left (the folder gone, or kept
// for what is not the program's); 1 when one of them could not be deleted
// (a file another program holds), or the folder is not a plain folder
// where its name says, which is left untouched.
int RemoveTaskFolder(const std::string& folder);
