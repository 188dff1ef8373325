#pragma once
// The catalogue's items: everything a task can clear, read from
// "task_inventory.ini", then the community rules' entries. The catalogue
// (runtime/catalogue.h) owns them and replaces them whole.
#include <windows.h>

#include <string>
#include <vector>

using GuidList = std::vector<GUID>;

struct CCatalogueItem {
    GUID guid = {};
    GUID parent = {};          // all zero for a top-level item
    std::string name;
    int icon = -1;             // index in the job tree's image list
    std::string moduleName;    // plug-in module file name
    GUID clsid = {};           // class identifier passed to the module's factory
    std::string config;        // configuration text handed to the job
    bool defaultState = true;  // ticked in a new task
    // Only an administrator can clean it: a standard user's console shows it
    // disabled, and a run without the rights does not start its job.
    bool needsAdministrator = false;
    // What the item's author warns of before it is ticked (a community
    // rules entry's Warning=); never read from task_inventory.ini.
    std::string warning;

    bool IsComplete() const;
};

constexpr char kCatalogueFileName[] = "task_inventory.ini";  // the catalogue's own items

class CCatalogueItems {
public:
    // Reads the items file (empty: "task_inventory.ini" in the program
    // folder). Raises CError with string table entry 5 when the file cannot
    // be read, or the GUID parser's error for a malformed GUID text.
    void Read(const std::string& path = std::string());

    // Adds an item after those read (the community rules' entries); the
    // caller keeps identifiers unique.
    void Append(const CCatalogueItem& item);

    void GetAllItems(GuidList& guids) const;
    const CCatalogueItem* FindItem(const GUID& guid) const;
    void GetChildren(const GUID& parent, GuidList& guids) const;
    // One trace line per field at the given level, then one with the Config text.
    void TraceItem(const CCatalogueItem& item, int level) const;

    size_t Size() const { return m_items.size(); }

private:
    std::vector<CCatalogueItem> m_items;  // in file order
};
