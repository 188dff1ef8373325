#pragma once
// The community rules files the program read, one row each with what became
// of its entries, and the way to add a file of the user's own: it is read
// and judged, then copied into the Rules folder of the user's data folder.
#include "rules/rulescatalogue.h"
#include "ui/controls/listview.h"
#include "ui/controls/modaldialog.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CRulesFilesDlg : public CModalDialog {
public:
    // Called once a file is copied: the console reads the catalogue and
    // every rules file again (into sources) and rebuilds the tree.
    using ReloadCatalogue = std::function<void()>;
    CRulesFilesDlg(HWND parent, const std::vector<RulesSource>& sources, ReloadCatalogue reloadCatalogue);

private:
    bool OnInit() override;
    bool OnCommand(WORD code, WORD itemId, LPARAM lParam) override;
    void ShowFiles();
    void AddFile();
    // The file the user picks in the system's open dialog; empty when none.
    std::string ChooseFile() const;

    const std::vector<RulesSource>& m_sources;
    ReloadCatalogue m_reloadCatalogue;
    CListView m_list;
};
