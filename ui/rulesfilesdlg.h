#pragma once
// The community rules files the program read, one row each with what became
// of its entries, and the way to add a file of the user's own: it is read
// and judged, then copied into the Rules folder of the user's data folder.
#include "rules/rulescatalogue.h"
#include "ui/listview.h"
#include "ui/modaldialog.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CRulesFilesDlg : public CModalDialog {
public:
    // Called once a new file is copied and appended to the sources, with
    // its index: the console puts its entries in the catalogue and the tree.
    using AddToCatalogue = std::function<void(size_t added)>;
    CRulesFilesDlg(HWND parent, std::vector<RulesSource>& sources, AddToCatalogue addToCatalogue);

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    void ShowFiles();
    void AddFile();
    // The file the user picks in the system's open dialog; empty when none.
    std::string ChooseFile() const;
    bool WasRead(const RulesSource& source) const;

    std::vector<RulesSource>& m_sources;
    AddToCatalogue m_addToCatalogue;
    CListView m_list;
};
