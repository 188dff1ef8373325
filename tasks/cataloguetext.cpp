#include "tasks/cataloguetext.h"

#include "common/guid.h"
#include "common/strparse.h"

namespace {

const char kSectionLine[] = "[ITEM]";
const size_t kLongestLinePart = 1023;  // the line reader's buffer of 1,024, less its NUL

// Stores one known key's value; false for an unknown key.
bool StoreParameter(CCatalogueItem& item, const std::string& key, const std::string& value)
{
    if (key == "GUID") item.guid = StringToGuid(value);
    else if (key == "Name") item.name = value;
    else if (key == "Icon") item.icon = ParseDecimalPrefix(value);
    else if (key == "Parent") item.parent = StringToGuid(value);
    else if (key == "Config") item.config = value;
    else if (key == "CLSID") item.clsid = StringToGuid(value);
    else if (key == "ModuleName") item.moduleName = value;
    else if (key == "DefaultState") item.defaultState = ParseDecimalPrefix(value) != 0;
    else if (key == "NeedsAdministrator") item.needsAdministrator = ParseDecimalPrefix(value) != 0;
    else return false;
    return true;
}

}  // namespace

bool CCatalogueItem::IsComplete() const
{
    return !name.empty() && !IsNullGuid(guid) && !moduleName.empty() && !IsNullGuid(clsid) && icon != -1;
}

void ParseCatalogueText(const std::string& text, std::vector<CCatalogueItem>* items, std::vector<std::string>* notes)
{
    CCatalogueItem item;
    bool beforeFirstSection = true;
    size_t position = 0;
    while (position < text.size()) {
        // A line up to its LF, or its first 1,023 characters when longer.
        const size_t newline = text.find('\n', position);
        size_t end = newline == std::string::npos ? text.size() : newline + 1;
        if (end - position > kLongestLinePart) end = position + kLongestLinePart;
        // Like the C string the reader fills: nothing after a NUL.
        std::string part = text.substr(position, end - position);
        part = part.substr(0, part.find('\0'));
        position = end;

        const std::string line = TrimCharacters(part, "\n\r\t ");
        if (line == kSectionLine) {
            if (!beforeFirstSection) {
                if (item.IsComplete()) items->push_back(item);
                else notes->push_back("Invalid item - one or more fields are missing, ignoring");
            }
            beforeFirstSection = false;
            item = CCatalogueItem();
            continue;
        }
        if (line.empty() || line[0] == '#') continue;

        const size_t equals = line.find('=');
        if (line[0] == ':' || equals == std::string::npos) {
            notes->push_back("Invalid line - " + line);
            continue;
        }
        const std::string key = line.substr(0, equals);
        if (!StoreParameter(item, key, line.substr(equals + 1))) notes->push_back("Unknown parameter: " + key);
    }
    // The item being collected at the end is dropped: only a following
    // "[ITEM]" line commits an item.
}
