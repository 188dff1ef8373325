#pragma once
// Scratch folders for tests, inside the Wine prefix's temporary folder,
// removed with everything in them when the test ends.
#include <string>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// A scratch copy of the built program folder: the program (and whatever the
// build lays beside it), run from there as a user would.
class ProgramFolder : public ScratchFolder {
public:
    ProgramFolder();
    std::string Program() const { return File("Tidewhistle.exe"); }
};

// Removes a folder tree; true when nothing is left.
bool RemoveTree(const std::string& path);
// The topmost folder of path that is not there yet, so that a test removes
// exactly what it made; empty when path exists.
std::string TopMissingFolder(const std::string& path);
