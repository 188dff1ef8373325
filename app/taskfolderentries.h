#pragma once
// What the installer's two roles over the administrators' task folder (the
// take-over of an older shared folder, and the removal of the folder at an
// uninstall) need to tell apart in it: the program's own files by their
// names, links of any name, and plain folders. Every deletion goes through
// the program's own file rules (common/ownfile.h): a link loses its own
// name, never what it leads to.
#include <string>
#include <vector>

// A task file: "<name>.tsk".
bool IsTaskFolderTaskName(const std::string& name);
// The files the program's runs write beside the tasks, and what it sets aside.
bool IsTaskFolderHistoryName(const std::string& name);

// The names the folder lists ("." and ".." left out); false when it cannot
// be listed.
bool ListFolderNames(const std::string& folder, std::vector<std::string>* names);

// When the entry is a link whose own name can go (a hard link, or a link
// Windows shows as a reparse point, to a file or a folder): its name goes,
// nothing it leads to. True when it was such a link and its name went.
bool DropLinkName(const std::string& path);

// True when the entry is a folder where its name says: not a link, not
// reached through one (under Wine a Unix link is opened as its target).
bool IsPlainFolderAt(const std::string& path);

// Removes the folder when it is empty and where its name says, through the
// handle that checked it. False, with the system's error, otherwise.
bool RemoveEmptyFolder(const std::string& path);
