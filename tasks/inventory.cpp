#include "tasks/inventory.h"

#include "common/error.h"
#include "common/guid.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/resstring.h"
#include "common/stringids.h"
#include "common/strparse.h"
#include "common/tracer.h"

#include <cerrno>
#include <cstdio>
#include <memory>

CItemInventory g_inventory;

namespace {

const char kInventoryFileName[] = "task_inventory.ini";
const char kSectionLine[] = "[ITEM]";
const size_t kLineBufferSize = 1024;  // lines are read up to 1023 characters

[[noreturn]] void RaiseReadError(int error)
{
    throw CError(FormatResString(IDS_INVENTORY_READ_ERROR, error));
}

// Stores one known key's value; false for an unknown key.
bool StoreParameter(CInventoryItem& item, const std::string& key, const std::string& value)
{
    if (key == "GUID") item.guid = StringToGuid(value);
    else if (key == "Name") item.name = value;
    else if (key == "Icon") item.icon = ParseDecimalPrefix(value);
    else if (key == "Parent") item.parent = StringToGuid(value);
    else if (key == "Config") item.config = value;
    else if (key == "CLSID") item.clsid = StringToGuid(value);
    else if (key == "ModuleName") item.moduleName = value;
    else if (key == "DefaultState") item.defaultState = ParseDecimalPrefix(value) != 0;
    else return false;
    return true;
}

}  // namespace

bool CInventoryItem::IsComplete() const
{
    return !name.empty() && !IsNullGuid(guid) && !moduleName.empty() && !IsNullGuid(clsid) && icon != -1;
}

void CItemInventory::Initialize()
{
    Initialize(GetModuleFilePath(kInventoryFileName));
}

void CItemInventory::Initialize(const std::string& path)
{
    TRACE(20, "CItemInventory::Initialize");
    m_items.clear();

    UniqueFile file(std::fopen(path.c_str(), "r"));
    if (!file) RaiseReadError(errno);

    CInventoryItem item;
    bool beforeFirstSection = true;
    char buffer[kLineBufferSize];
    errno = 0;
    while (std::fgets(buffer, sizeof buffer, file.get()) != nullptr) {
        const std::string line = TrimCharacters(buffer, "\n\r\t ");
        if (line == kSectionLine) {
            if (!beforeFirstSection) {
                if (item.IsComplete()) {
                    m_items.push_back(item);
                } else {
                    TRACE(30, "Invalid item - one or more fields are missing, ignoring");
                }
            }
            beforeFirstSection = false;
            item = CInventoryItem();
            continue;
        }
        if (line.empty() || line[0] == '#') continue;

        const size_t equals = line.find('=');
        if (line[0] == ':' || equals == std::string::npos) {
            TRACE(30, "Invalid line - %s", line.c_str());
            continue;
        }
        const std::string key = line.substr(0, equals);
        if (!StoreParameter(item, key, line.substr(equals + 1))) TRACE(30, "Unknown parameter: %s", key.c_str());
    }
    // The item being collected at the end is dropped: only a following
    // "[ITEM]" line commits an item.
    if (std::ferror(file.get())) RaiseReadError(errno != 0 ? errno : EIO);

    TRACE(20, "CItemInventory::Initialize - done");
}

void CItemInventory::GetAllItems(GuidList& guids) const
{
    guids.clear();
    for (const CInventoryItem& item : m_items) guids.push_back(item.guid);
}

const CInventoryItem* CItemInventory::FindItem(const GUID& guid) const
{
    for (const CInventoryItem& item : m_items)
        if (SameGuid(item.guid, guid)) return &item;
    return nullptr;
}

void CItemInventory::GetChildren(const GUID& parent, GuidList& guids) const
{
    guids.clear();
    for (const CInventoryItem& item : m_items)
        if (SameGuid(item.parent, parent)) guids.push_back(item.guid);
}

void CItemInventory::TraceItem(const CInventoryItem& item, int level) const
{
    TRACE(level, "GUID: %s", GuidToString(item.guid).c_str());
    TRACE(level, "ParentID: %s", GuidToString(item.parent).c_str());
    TRACE(level, "Name: %s", item.name.c_str());
    TRACE(level, "ModuleName: %s", item.moduleName.c_str());
    TRACE(level, "CLSID: %s", GuidToString(item.clsid).c_str());
    TRACE(level, "Config: %s", item.config.c_str());
}
