#include "app/cataloguelist.h"

#include "common/guid.h"
#include "common/handles.h"
#include "common/jsontext.h"
#include "common/ownfile.h"
#include "common/tracer.h"
#include "runtime/rulesitems.h"

#include <algorithm>

namespace {

struct ListedItem {
    std::string id;  // with braces; empty for a file refused whole (null)
    std::string name;
    std::string group;  // empty for a top-level item (null)
    std::string source;
    std::string place;  // "program" or "user"; empty for the catalogue's own (null)
    bool detected = true;
    std::string refused;
    std::string warning;
};

std::string BracedGuid(const GUID& guid)
{
    return "{" + GuidToString(guid) + "}";
}

// Appends one object to the array the text opens with "[".
void AppendObject(const ListedItem& item, std::string* json)
{
    *json += *json == "[" ? "\n  {" : ",\n  {";
    *json += "\"id\": " + JsonStringOrNull(item.id);
    *json += ", \"name\": " + JsonString(item.name);
    *json += ", \"group\": " + JsonStringOrNull(item.group);
    *json += ", \"source\": " + JsonString(item.source);
    *json += ", \"place\": " + JsonStringOrNull(item.place);
    *json += std::string(", \"detected\": ") + (item.detected ? "true" : "false");
    *json += ", \"refused\": " + JsonStringOrNull(item.refused);
    *json += ", \"warning\": " + JsonStringOrNull(item.warning);
    *json += "}";
}

std::string ParentName(const CCatalogueItems& items, const CCatalogueItem& item)
{
    if (IsNullGuid(item.parent)) return std::string();
    const CCatalogueItem* parent = items.FindItem(item.parent);
    return parent != nullptr ? parent->name : std::string();
}

// The console and this process both write the whole text in one call.
bool WriteAll(HANDLE output, const std::string& text)
{
    size_t written = 0;
    while (written < text.size()) {
        DWORD chunk = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(text.size() - written, 1 << 20));
        if (!::WriteFile(output, text.data() + written, wanted, &chunk, nullptr) || chunk == 0) return false;
        written += chunk;
    }
    return true;
}

}  // namespace

std::string CatalogueJson(const CCatalogue& catalogue)
{
    const CCatalogueItems& items = catalogue.Items();
    const size_t ownItems = catalogue.OwnItemCount();
    std::string json = "[";
    GuidList ids;
    items.GetAllItems(ids);
    for (size_t index = 0; index < ids.size(); ++index) {
        const CCatalogueItem* item = items.FindItem(ids[index]);
        // The rules' entries are listed from their files below, with those not in the tree.
        if (item == nullptr || (index >= ownItems && SameGuid(item->clsid, kRuleEntryJobClassId))) continue;
        ListedItem listed;
        listed.id = BracedGuid(item->guid);
        listed.name = item->name;
        listed.group = ParentName(items, *item);
        listed.source = index < ownItems ? "catalogue" : "rules";
        AppendObject(listed, &json);
    }
    for (const RulesSource& source : catalogue.RulesSources()) {
        if (!source.refused.empty()) {
            ListedItem file;
            file.name = source.fileName;
            file.source = source.fileName;
            file.place = RulesPlaceName(source.place);
            file.detected = false;
            file.refused = source.refused;
            AppendObject(file, &json);
        }
        for (const CatalogueRule& rule : source.entries) {
            ListedItem listed;
            listed.id = BracedGuid(rule.id);
            listed.name = ShownRuleName(rule.name);
            listed.group = rule.group;
            listed.source = source.fileName;
            listed.place = RulesPlaceName(source.place);
            listed.detected = rule.detected;
            listed.refused = rule.refused;
            listed.warning = rule.warning;
            AppendObject(listed, &json);
        }
    }
    json += json == "[" ? "]\n" : "\n]\n";
    return json;
}

// A program of the windows subsystem gets a standard stream only when its
// starter hands one over (a redirection); else the starter's console.
bool WriteToStandardStream(DWORD stream, const std::string& text)
{
    HANDLE output = ::GetStdHandle(stream);
    UniqueHandle console;
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED) return false;
        console.Reset(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        if (!console) return false;
        output = console.Get();
    }
    return WriteAll(output, text);
}

bool WriteListing(const std::string& text, const std::string& path)
{
    if (!path.empty()) {
        UniqueHandle file = OpenOwnFile(path, GENERIC_WRITE, 0, OwnFileMode::Replace, FILE_ATTRIBUTE_NORMAL);
        if (!file) {
            TRACE(40, "The listing cannot be written to %s - %lu", path.c_str(), ::GetLastError());
            return false;
        }
        return WriteAll(file.Get(), text);
    }
    return WriteToStandardStream(STD_OUTPUT_HANDLE, text);
}

bool WriteListingError(const std::string& text)
{
    return WriteToStandardStream(STD_ERROR_HANDLE, text + "\r\n");
}
