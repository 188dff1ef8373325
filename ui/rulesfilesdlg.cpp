#include "ui/rulesfilesdlg.h"

#include "common/paths.h"
#include "common/pathtext.h"
#include "common/resstring.h"
#include "common/handles.h"
#include "common/tracer.h"
#include "rules/systemfolders.h"
#include "runtime/rulesfilecopy.h"
#include "ui/appmessagebox.h"
#include "ui/resource.h"

#include <commdlg.h>

#include <algorithm>

namespace {

struct Column {
    const char* heading;
    int width;
};

const Column kColumns[] = {
    {"File", 140}, {"Folder", 60}, {"Entries", 55}, {"Offered", 55}, {"Not installed", 85}, {"Refused", 60},
    {"Problem", 600},  // a reason is long: the list scrolls to it
};

std::string PlaceText(RulesPlace place)
{
    return LoadResString(place == RulesPlace::Program ? IDS_RULES_PLACE_PROGRAM : IDS_RULES_PLACE_USER);
}

}  // namespace

CRulesFilesDlg::CRulesFilesDlg(HWND parent, const std::vector<RulesSource>& sources, ReloadCatalogue reloadCatalogue)
    : CModalDialog(IDD_RULES_FILES, parent), m_sources(sources), m_reloadCatalogue(std::move(reloadCatalogue))
{
}

bool CRulesFilesDlg::OnInit()
{
    m_list = CListView(Item(IDC_RULES_FILE_LIST));
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    for (int index = 0; index < static_cast<int>(std::size(kColumns)); ++index)
        m_list.InsertColumn(index, kColumns[index].heading, kColumns[index].width);
    ShowFiles();
    return true;
}

void CRulesFilesDlg::ShowFiles()
{
    m_list.DeleteAll();
    for (const RulesSource& source : m_sources) {
        const RulesSourceCounts counts = CountRulesEntries(source);
        const int row = m_list.AddRow(source.fileName);
        const std::string cells[] = {PlaceText(source.place),           std::to_string(counts.entries),
                                     std::to_string(counts.offered),    std::to_string(counts.notInstalled),
                                     std::to_string(counts.refused),    source.refused};
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column)
            m_list.SetSubItem(row, column + 1, cells[column]);
    }
}

bool CRulesFilesDlg::OnCommand(WORD code, WORD itemId, LPARAM lParam)
{
    if (itemId == IDC_ADD_RULES_FILE) {
        AddFile();
        return true;
    }
    return CModalDialog::OnCommand(code, itemId, lParam);
}

std::string CRulesFilesDlg::ChooseFile() const
{
    char path[MAX_PATH] = {};
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = m_hwnd;
    open.lpstrFilter = "Rules files (*.ini)\0*.ini\0";
    open.lpstrFile = path;
    open.nMaxFile = sizeof path;
    open.lpstrTitle = "Add a Rules File";
    open.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                 OFN_DONTADDTORECENT;
    if (!::GetOpenFileNameA(&open)) {
        const DWORD error = ::CommDlgExtendedError();
        if (error != 0) TRACE(40, "The file open dialog failed - %u", static_cast<unsigned>(error));
        return std::string();
    }
    return path;
}

void CRulesFilesDlg::AddFile()
{
    const std::string path = ChooseFile();
    if (path.empty()) return;
    const std::string dataFolder = GetDataFolder();
    // A copied program folder keeps its data beside itself: its rules are read as the program's.
    const RulesPlace place = SamePath(dataFolder, GetModuleFolder()) ? RulesPlace::Program : RulesPlace::User;
    RulesFileCopy copy;
    {
        // Judging thousands of entries, each asked of the system, takes a moment.
        const HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
        const ScopeExit restoreCursor([previous] { ::SetCursor(previous); });
        copy = PrepareRulesFileCopy(path, dataFolder, place, SystemKnownFolders());
    }
    if (!copy.problem.empty()) {
        TRACE(30, "Rules file %s not added - %s", path.c_str(), copy.problem.c_str());
        AppMessageBox(m_hwnd, FormatResString(IDS_RULES_FILE_REFUSED, copy.name.c_str(), copy.problem.c_str()),
                      MB_OK | MB_ICONERROR);
        return;
    }
    if (copy.replaces &&
        AppMessageBox(m_hwnd, FormatResString(IDS_RULES_FILE_REPLACE, copy.name.c_str()), MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
        return;
    const std::string failure = WriteRulesFileCopy(copy);
    if (!failure.empty()) {
        TRACE(40, "Rules file %s not copied - %s", path.c_str(), failure.c_str());
        AppMessageBox(m_hwnd, FormatResString(IDS_RULES_FILE_NOT_COPIED, copy.name.c_str(), failure.c_str()),
                      MB_OK | MB_ICONERROR);
        return;
    }
    TRACE(20, "Rules file %s copied to %s", path.c_str(), copy.target.c_str());
    // Read again whole, in the order every task process reads the files, so
    // that the tree offers (and warns of) what a run will find: a replaced
    // file's old entries go, and which file holds an entry first is decided
    // as it is at start-up.
    if (m_reloadCatalogue) m_reloadCatalogue();
    ShowFiles();
}
