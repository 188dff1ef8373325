// The resources of the task dialogs built into Tidewhistle.exe: the
// new-task, settings, task options, cookies and schedule templates with
// every control and its exact text, the schedule's icon, and the job tree's
// two image strips.
#include "program_image.h"

#include "build_paths.h"
#include "support/resource_script.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <utility>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// Predefined window classes of a dialog item given by ordinal.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

struct DialogItem {
    int id = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD classOrdinal = 0;  // 0 when the class is given by name
    std::string className;
    std::string text;
    WORD textOrdinal = 0;   // a resource number in place of the text (icons)
};

struct DialogTemplate {
    DWORD style = 0;
    short cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0;
    std::string typeface;
    std::vector<DialogItem> items;
};

// Reads an extended dialog template (DLGTEMPLATEEX followed by its
// DLGITEMTEMPLATEEX items) as windres writes it.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Read(DialogTemplate& dialog)
    {
        const WORD version = Word();
        const WORD signature = Word();
        if (version != 1 || signature != 0xFFFF) return Fail("not an extended dialog template");
        Dword();  // help id
        Dword();  // extended style
        dialog.style = Dword();
        const WORD count = Word();
        Word();  // x
        Word();  // y
        dialog.cx = static_cast<short>(Word());
        dialog.cy = static_cast<short>(Word());
        WORD ordinal = 0;
        std::string ignored;
        NameOrOrdinal(ignored, ordinal);  // menu
        NameOrOrdinal(ignored, ordinal);  // window class
        dialog.caption = String();
        if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
            dialog.pointSize = Word();
            Word();  // weight
            Byte();  // italic
            Byte();  // character set
            dialog.typeface = String();
        }
        for (WORD i = 0; i < count && m_ok; ++i) {
            Align(4);
            DialogItem item;
            Dword();  // help id
            Dword();  // extended style
            item.style = Dword();
            item.x = static_cast<short>(Word());
            item.y = static_cast<short>(Word());
            item.cx = static_cast<short>(Word());
            item.cy = static_cast<short>(Word());
            item.id = static_cast<int>(Dword());
            NameOrOrdinal(item.className, item.classOrdinal);
            NameOrOrdinal(item.text, item.textOrdinal);
            const WORD extra = Word();
            m_pos += extra;
            dialog.items.push_back(item);
        }
        if (m_pos > m_size) return Fail("template ends early");
        return m_ok;
    }

    const std::string& Problem() const { return m_problem; }

private:
    bool Fail(const char* problem)
    {
        if (m_ok) m_problem = problem;
        m_ok = false;
        return false;
    }
    bool Has(size_t bytes)
    {
        if (m_pos + bytes <= m_size) return true;
        return Fail("template ends early");
    }
    BYTE Byte()
    {
        if (!Has(1)) return 0;
        return m_data[m_pos++];
    }
    WORD Word()
    {
        if (!Has(2)) return 0;
        WORD value;
        std::memcpy(&value, m_data + m_pos, 2);
        m_pos += 2;
        return value;
    }
    DWORD Dword()
    {
        if (!Has(4)) return 0;
        DWORD value;
        std::memcpy(&value, m_data + m_pos, 4);
        m_pos += 4;
        return value;
    }
    void Align(size_t boundary) { m_pos = (m_pos + boundary - 1) / boundary * boundary; }
    std::string String()
    {
        std::wstring wide;
        for (WORD c = Word(); c != 0 && m_ok; c = Word()) wide.push_back(static_cast<wchar_t>(c));
        if (wide.empty()) return std::string();
        const int length =
            ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(length), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr,
                              nullptr);
        return text;
    }
    // A field that is empty (0), an ordinal (0xFFFF and the number) or a text.
    void NameOrOrdinal(std::string& text, WORD& ordinal)
    {
        text.clear();
        ordinal = 0;
        if (!Has(2)) return;
        WORD first;
        std::memcpy(&first, m_data + m_pos, 2);
        if (first == 0) {
            m_pos += 2;
        } else if (first == 0xFFFF) {
            m_pos += 2;
            ordinal = Word();
        } else {
            text = String();
        }
    }

    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
    std::string m_problem;
};

struct Strip {
    LONG width = 0;
    LONG height = 0;
    std::vector<COLORREF> pixels;  // top row first

    COLORREF At(LONG x, LONG y) const { return pixels[static_cast<size_t>(y * width + x)]; }

    // The pixels of picture `index` of a strip of 16x16 pictures.
    std::vector<COLORREF> Picture(int index) const
    {
        std::vector<COLORREF> picture;
        for (LONG y = 0; y < 16; ++y) {
            for (LONG x = 0; x < 16; ++x) picture.push_back(At(index * 16 + x, y));
        }
        return picture;
    }
};

constexpr COLORREF kTransparent = RGB(255, 255, 255);

bool IsBlank(const std::vector<COLORREF>& picture)
{
    for (COLORREF c : picture) {
        if (c != kTransparent) return false;
    }
    return true;
}

void ExpectFrame(const DialogTemplate& dialog)
{
    const DWORD required = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_CENTER;
    EXPECT_EQ(dialog.style & required, required);
    EXPECT_EQ(dialog.style & WS_THICKFRAME, 0u) << "the dialog must not be resizable";
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
}

class TaskDialogResources : public ProgramImage {
protected:
    void LoadTemplate(WORD id, DialogTemplate& dialog) const
    {
        const std::vector<BYTE> data = Resource(id, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
        ASSERT_FALSE(data.empty()) << "no dialog template " << id;
        TemplateReader reader(data.data(), data.size());
        ASSERT_TRUE(reader.Read(dialog)) << "template " << id << ": " << reader.Problem();
    }

    // A modal dialog template of the expected caption, size and number of
    // controls, in the dialog font, without a sizing frame.
    void LoadDialog(WORD id, const std::string& caption, short cx, short cy, size_t controls,
                    DialogTemplate& dialog) const
    {
        ASSERT_NO_FATAL_FAILURE(LoadTemplate(id, dialog));
        EXPECT_EQ(dialog.caption, caption);
        EXPECT_EQ(dialog.cx, cx);
        EXPECT_EQ(dialog.cy, cy);
        ExpectFrame(dialog);
        EXPECT_EQ(dialog.items.size(), controls);
    }

    // Reads a bitmap resource (a BITMAPINFOHEADER and its pixels) whose
    // pixels are 24 bits each.
    void LoadStrip(WORD id, Strip& strip) const
    {
        const std::vector<BYTE> data = Resource(id, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
        ASSERT_GE(data.size(), sizeof(BITMAPINFOHEADER)) << "no bitmap " << id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, data.data(), sizeof header);
        strip.width = header.biWidth;
        strip.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        ASSERT_EQ(header.biBitCount, 24) << "bitmap " << id;
        ASSERT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB)) << "bitmap " << id;
        const size_t stride = (static_cast<size_t>(strip.width) * 3 + 3) & ~static_cast<size_t>(3);
        const size_t bits = header.biSize;
        ASSERT_GE(data.size(), bits + stride * static_cast<size_t>(strip.height)) << "bitmap " << id;
        for (LONG y = 0; y < strip.height; ++y) {
            const LONG row = header.biHeight > 0 ? strip.height - 1 - y : y;  // bottom-up unless negative
            const BYTE* p = data.data() + bits + stride * static_cast<size_t>(row);
            for (LONG x = 0; x < strip.width; ++x, p += 3) strip.pixels.push_back(RGB(p[2], p[1], p[0]));
        }
    }

};

const DialogItem* FindById(const DialogTemplate& dialog, int id)
{
    for (const DialogItem& item : dialog.items) {
        if (item.id == id) return &item;
    }
    return nullptr;
}

const DialogItem* FindByText(const DialogTemplate& dialog, const std::string& text)
{
    for (const DialogItem& item : dialog.items) {
        if (item.text == text) return &item;
    }
    return nullptr;
}


void ExpectOkAndCancel(const DialogTemplate& dialog)
{
    const DialogItem* ok = FindById(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->classOrdinal, kButtonClass);
    EXPECT_EQ(ok->text, "OK");
    EXPECT_EQ(ok->style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    const DialogItem* cancel = FindById(dialog, IDCANCEL);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->classOrdinal, kButtonClass);
    EXPECT_EQ(cancel->text, "Cancel");
    EXPECT_EQ(cancel->style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
}

// Window class names are compared without regard to case (the resource
// compiler writes them in capitals).
bool SameClass(const DialogItem& item, const char* className)
{
    return ::lstrcmpiA(item.className.c_str(), className) == 0;
}

bool IsGroupBox(const DialogItem& item)
{
    return item.classOrdinal == kButtonClass && (item.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Encloses(const DialogItem& outer, const DialogItem& inner)
{
    return outer.x <= inner.x && outer.y <= inner.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

// Every control lies within the dialog and no two controls cover each other,
// except controls inside a group box and an up-down control that sits on
// the edge of the field it steps.
void ExpectTidyLayout(const DialogTemplate& dialog)
{
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const DialogItem& a = dialog.items[i];
        EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.cx <= dialog.cx && a.y + a.cy <= dialog.cy)
            << "control '" << a.text << "' (" << a.id << ") leaves the dialog";
        EXPECT_TRUE(a.cx > 0 && a.cy > 0) << "control '" << a.text << "' (" << a.id << ") has no size";
        for (size_t j = i + 1; j < dialog.items.size(); ++j) {
            const DialogItem& b = dialog.items[j];
            if ((IsGroupBox(a) && Encloses(a, b)) || (IsGroupBox(b) && Encloses(b, a))) continue;
            if (SameClass(b, UPDOWN_CLASSA) && j == i + 1) continue;
            const bool apart = a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
            EXPECT_TRUE(apart) << "controls '" << a.text << "' and '" << b.text << "' overlap";
        }
    }
}

}  // namespace

TEST_F(TaskDialogResources, NewTaskTemplateHoldsEveryControlWithItsText)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(131, "Create New Cleanup Task", 240, 79, 5, dialog));

    const DialogItem* about = FindByText(
        dialog, "Tidewhistle task defines set of items to be cleared, optional cleanup schedule and miscellaneous "
                "cleanup settings. Each task must have unique name.");
    ASSERT_NE(about, nullptr) << "the label that explains tasks";
    EXPECT_EQ(about->classOrdinal, kStaticClass);
    const DialogItem* label = FindByText(dialog, "&Enter task name:");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->classOrdinal, kStaticClass);

    const DialogItem* edit = FindById(dialog, 1035);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->classOrdinal, kEditClass);
    EXPECT_EQ(edit->text, "");
    EXPECT_NE(edit->style & ES_AUTOHSCROLL, 0u);
    EXPECT_NE(edit->style & WS_TABSTOP, 0u);
    EXPECT_EQ(edit->style & (ES_MULTILINE | ES_READONLY | ES_NUMBER | ES_PASSWORD), 0u);
    // The label's mnemonic reaches the edit: the edit is the next control.
    const size_t labelIndex = static_cast<size_t>(label - dialog.items.data());
    ASSERT_LT(labelIndex + 1, dialog.items.size());
    EXPECT_EQ(dialog.items[labelIndex + 1].id, 1035);

    ExpectOkAndCancel(dialog);
    ExpectTidyLayout(dialog);
}

TEST_F(TaskDialogResources, SettingsTemplateHoldsEveryControlWithItsText)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(134, "Hollowmere Tidewhistle Settings", 210, 121, 4, dialog));

    const DialogItem* box = FindById(dialog, 1033);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->classOrdinal, kButtonClass);
    EXPECT_EQ(box->text, "&Load Tidewhistle at Windows startup (recommended)");
    EXPECT_EQ(box->style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_NE(box->style & WS_TABSTOP, 0u);
    // Empty unless the box cannot be changed: then it says why.
    const DialogItem* reason = FindById(dialog, 1034);
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->classOrdinal, kStaticClass);
    EXPECT_EQ(reason->text, "");

    ExpectOkAndCancel(dialog);
    ExpectTidyLayout(dialog);
}

TEST_F(TaskDialogResources, CheckStateStripHoldsBlankUncheckedCheckedMixedAndDisabled)
{
    Strip strip;
    ASSERT_NO_FATAL_FAILURE(LoadStrip(138, strip));
    ASSERT_EQ(strip.width, 80);
    ASSERT_EQ(strip.height, 16);
    // State 0 shows nothing; the four boxes are pictures, each different.
    EXPECT_TRUE(IsBlank(strip.Picture(0)));
    std::set<std::vector<COLORREF>> seen;
    for (int state = 1; state < 5; ++state) {
        EXPECT_FALSE(IsBlank(strip.Picture(state))) << "state " << state;
        EXPECT_TRUE(seen.insert(strip.Picture(state)).second) << "state " << state << " repeats another";
    }
    // A ticked box differs from the empty one only inside the box, so the box
    // itself is drawn alike; the mixed box's ground is neither white nor the
    // empty box's ground.
    const std::vector<COLORREF> empty = strip.Picture(1), ticked = strip.Picture(2), mixed = strip.Picture(3);
    const COLORREF emptyGround = empty[8 * 16 + 3];
    const COLORREF mixedGround = mixed[8 * 16 + 3];
    EXPECT_NE(mixedGround, emptyGround);
    EXPECT_NE(mixedGround, kTransparent);
    const BYTE r = GetRValue(mixedGround), g = GetGValue(mixedGround), b = GetBValue(mixedGround);
    EXPECT_TRUE(r == g && g == b && r < 240) << "the mixed ground is grey";
    int changed = 0;
    for (size_t i = 0; i < empty.size(); ++i) changed += empty[i] != ticked[i];
    EXPECT_GT(changed, 4) << "the tick is visible";
    // A box the user cannot tick is drawn grey, edge and ground.
    const std::vector<COLORREF> disabled = strip.Picture(4);
    for (const COLORREF colour : {disabled[8 * 16 + 3], disabled[2 * 16 + 8]})
        EXPECT_TRUE(GetRValue(colour) == GetGValue(colour) && GetGValue(colour) == GetBValue(colour)) << colour;
}

TEST_F(TaskDialogResources, JobIconStripHoldsThirteenDistinctPictures)
{
    Strip strip;
    ASSERT_NO_FATAL_FAILURE(LoadStrip(139, strip));
    ASSERT_EQ(strip.width, 13 * 16);
    ASSERT_EQ(strip.height, 16);
    std::set<std::vector<COLORREF>> seen;
    for (int icon = 0; icon < 13; ++icon) {
        const std::vector<COLORREF> picture = strip.Picture(icon);
        EXPECT_FALSE(IsBlank(picture)) << "icon " << icon;
        EXPECT_TRUE(seen.insert(picture).second) << "icon " << icon << " repeats another";
        // Every picture leaves some of its square transparent, so that it
        // sits on the tree's background rather than on a white tile.
        int transparent = 0;
        for (COLORREF c : picture) transparent += c == kTransparent;
        EXPECT_GT(transparent, 0) << "icon " << icon;
    }
}

namespace {

// A control as a template must hold it: the class by ordinal or by name, the
// text, and style bits that must be set.
struct ExpectedControl {
    int id;
    WORD classOrdinal;
    const char* className;
    const char* text;
    DWORD styleBits;
};

// A control by its id, or by its text when it has none (id -1).
const DialogItem* FindControl(const DialogTemplate& dialog, int id, const std::string& text)
{
    return id != -1 ? FindById(dialog, id) : FindByText(dialog, text);
}

void ExpectControls(const DialogTemplate& dialog, const std::vector<ExpectedControl>& controls)
{
    for (const ExpectedControl& expected : controls) {
        const DialogItem* item = FindControl(dialog, expected.id, expected.text);
        ASSERT_NE(item, nullptr) << expected.id << " '" << expected.text << "'";
        EXPECT_EQ(item->classOrdinal, expected.classOrdinal) << expected.id << " '" << expected.text << "'";
        if (expected.className != nullptr) {
            EXPECT_TRUE(SameClass(*item, expected.className)) << expected.id << " " << item->className;
        }
        EXPECT_EQ(item->text, expected.text) << expected.id;
        EXPECT_EQ(item->style & expected.styleBits, expected.styleBits) << expected.id << " '" << expected.text << "'";
    }
}

DWORD ButtonType(const DialogTemplate& dialog, int id)
{
    const DialogItem* item = FindById(dialog, id);
    return item != nullptr ? item->style & BS_TYPEMASK : 0xFFFFFFFF;
}

// A control with its text.
struct Labelled {
    int id;
    const char* text;
};

// Every control of the template is the resource script's control of the
// dialog scriptName, in the script's order, with its id, text and place in
// dialog units; and each labelled control has its text.
void ExpectScriptPlaces(const DialogTemplate& dialog, const std::string& scriptName,
                        const std::vector<Labelled>& labels)
{
    std::vector<ScriptControl> script;
    std::string problem;
    ASSERT_TRUE(ReadScriptDialog(std::string(kResourceScriptFolder) + "\\Tidewhistle.rc", scriptName, &script,
                                 &problem))
        << problem;
    ASSERT_EQ(dialog.items.size(), script.size()) << scriptName;
    for (size_t i = 0; i < script.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        const ScriptControl& control = script[i];
        EXPECT_EQ(item.id, control.id) << scriptName << " control " << i << " '" << control.text << "'";
        EXPECT_EQ(item.text, control.text) << control.id;
        EXPECT_EQ(item.textOrdinal, control.textResource) << control.id << " '" << control.text << "'";
        EXPECT_EQ((std::vector<short>{item.x, item.y, item.cx, item.cy}),
                  (std::vector<short>{control.x, control.y, control.cx, control.cy}))
            << control.id << " '" << control.text << "'";
    }
    for (const Labelled& label : labels) {
        const DialogItem* item = FindControl(dialog, label.id, label.text);
        ASSERT_NE(item, nullptr) << label.id << " '" << label.text << "'";
        EXPECT_EQ(item->text, label.text) << label.id;
    }
}

constexpr DWORD kUpDownStyle = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS;
constexpr DWORD kDatePickerStyle = DTS_SHORTDATEFORMAT | DTS_RIGHTALIGN;

}  // namespace

TEST_F(TaskDialogResources, TaskOptionsTemplateHoldsEveryControlWithItsText)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(135, "Tidewhistle Task Settings", 271, 117, 13, dialog));
    ExpectControls(
        dialog,
        {{-1, kButtonClass, nullptr, "Internet Explorer", BS_GROUPBOX},
         {-1, kStaticClass, nullptr,
          "Select which Internet Explorer cookies are safe and which are not. By default, all cookies are considered "
          "unsafe.",
          0},
         {1002, kButtonClass, nullptr, "&Cookies...", WS_TABSTOP},
         {1058, kButtonClass, nullptr, "Do not delete temporary files modified within last:", WS_TABSTOP},
         {1050, kEditClass, nullptr, "", ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP},
         {1051, 0, "msctls_updown32", "", kUpDownStyle},
         {-1, kStaticClass, nullptr, "hour(s)", 0},
         {1043, kButtonClass, nullptr, "Keep in the Recycle Bin what was deleted within last:", WS_TABSTOP},
         {1044, kEditClass, nullptr, "", ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP},
         {1045, 0, "msctls_updown32", "", kUpDownStyle},
         {-1, kStaticClass, nullptr, "day(s)", 0}});
    EXPECT_EQ(ButtonType(dialog, 1058), static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_EQ(ButtonType(dialog, 1043), static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_EQ(ButtonType(dialog, 1002), static_cast<DWORD>(BS_PUSHBUTTON));
    // The up-down control takes the control before it as its buddy.
    for (const auto& [spinId, buddyId] : {std::pair<int, int>{1051, 1050}, {1045, 1044}}) {
        const DialogItem* spin = FindById(dialog, spinId);
        ASSERT_NE(spin, nullptr);
        EXPECT_NE(spin->style & UDS_AUTOBUDDY, 0u);
        EXPECT_EQ((spin - 1)->id, buddyId);
    }
    ExpectOkAndCancel(dialog);
    ExpectTidyLayout(dialog);
}

TEST_F(TaskDialogResources, RulesFilesTemplateHoldsOneListOfFilesAndItsAddAndCloseButtons)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(143, "Community Rules Files", 430, 190, 4, dialog));
    ExpectControls(dialog, {{1075, 0, "SysListView32", "", LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_BORDER},
                            {1076, kButtonClass, nullptr, "&Add...", WS_TABSTOP},
                            {IDCANCEL, kButtonClass, nullptr, "Close", WS_TABSTOP | BS_DEFPUSHBUTTON}});
}

TEST_F(TaskDialogResources, CookiesTemplateHoldsTwoMultipleChoiceListsOfTheDialogsNamesAndTheMoveButtons)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(142, "Internet Explorer Cookies", 322, 233, 11, dialog));
    // The dialog holds the names, sorted; the lists only show them.
    const DWORD listStyle = LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | LVS_NOSORTHEADER | WS_BORDER;
    ExpectControls(
        dialog,
        {{-1, kStaticClass, nullptr,
          "Cookies hold personal information maintained by web sites you visit. Most cookies should be deleted since "
          "they can be used to idenify your activity, but you can wish to keep some of them to preserve settings such "
          "as personalized web portals.",
          0},
         {-1, kStaticClass, nullptr, "Cookies to clean:", 0},
         {1052, 0, "SysListView32", "", listStyle},
         {1054, kButtonClass, nullptr, ">", WS_TABSTOP},
         {1055, kButtonClass, nullptr, ">>", WS_TABSTOP},
         {1056, kButtonClass, nullptr, "<", WS_TABSTOP},
         {1057, kButtonClass, nullptr, "<<", WS_TABSTOP},
         {-1, kStaticClass, nullptr, "Cookies to keep:", 0},
         {1053, 0, "SysListView32", "", listStyle}});
    for (int id : {1052, 1053}) {
        const DialogItem* list = FindById(dialog, id);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->style & LVS_SINGLESEL, 0u) << "several cookies can be chosen at once";
    }
    EXPECT_LT(FindById(dialog, 1052)->x, FindById(dialog, 1053)->x) << "the clean list is on the left";
    ExpectOkAndCancel(dialog);
    ExpectTidyLayout(dialog);
}

TEST_F(TaskDialogResources, ScheduleTemplateHoldsEveryControlInItsPlace)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(136, "Task Schedule", 283, 206, 24, dialog));

    ASSERT_NO_FATAL_FAILURE(ExpectScriptPlaces(dialog, "IDD_SCHEDULE", {
        {-1, "Each Tidewhistle task has an optional schedule. Use schedule for fully automatic, unattended cleanup."},
        {-1, "Schedule"}, {1022, "&Schedule enabled"}, {1024, "Run &every:"}, {1040, "Starting &from:"},
        {1025, "Run &once:"}, {1020, "Run at computer s&tartup"}, {1021, "Run at computer s&hutdown"},
        {1041, "Run when the &browser closes"}, {-1, "Last Run:"}, {-1, "Next Run:"}, {IDOK, "OK"}, {IDCANCEL, "Cancel"},
    }));

    ExpectControls(dialog, {{-1, kButtonClass, nullptr, "Schedule", BS_GROUPBOX},
                            {1014, kEditClass, nullptr, "", WS_TABSTOP},
                            {1019, 0, "msctls_updown32", "", kUpDownStyle | UDS_AUTOBUDDY},
                            {1010, 0x0085 /* combo box */, nullptr, "", CBS_DROPDOWNLIST},
                            {1042, 0x0085 /* combo box */, nullptr, "", CBS_DROPDOWNLIST | WS_VSCROLL},
                            {1038, 0, "SysDateTimePick32", "", kDatePickerStyle},
                            {1039, 0, "SysDateTimePick32", "", DTS_TIMEFORMAT},
                            {1026, 0, "SysDateTimePick32", "", kDatePickerStyle},
                            {1028, 0, "SysDateTimePick32", "", DTS_TIMEFORMAT},
                            {1040, kStaticClass, nullptr, "Starting &from:", 0},
                            {1036, kStaticClass, nullptr, "", 0},
                            {1037, kStaticClass, nullptr, "", 0}});
    EXPECT_EQ(FindById(dialog, 1010)->style & CBS_SORT, 0u) << "the units keep their order";
    EXPECT_EQ((FindById(dialog, 1019) - 1)->id, 1014) << "the up-down control steps the number";
    EXPECT_EQ(FindById(dialog, 1042)->style & CBS_SORT, 0u) << "the browsers keep their settings files' order";
    for (int id : {1022, 1020, 1021, 1041}) EXPECT_EQ(ButtonType(dialog, id), static_cast<DWORD>(BS_AUTOCHECKBOX)) << id;
    for (int id : {1024, 1025}) EXPECT_EQ(ButtonType(dialog, id), static_cast<DWORD>(BS_AUTORADIOBUTTON)) << id;
    EXPECT_NE(FindById(dialog, 1024)->style & WS_GROUP, 0u) << "the first radio button starts its group";
    EXPECT_EQ(FindById(dialog, 1025)->style & WS_GROUP, 0u) << "both radio buttons are in one group";

    // The clock picture: a static icon control showing icon resource 140.
    const DialogItem& icon = dialog.items.front();
    EXPECT_EQ(icon.classOrdinal, kStaticClass);
    EXPECT_EQ(icon.style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
    EXPECT_EQ(icon.textOrdinal, 140);
    EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(140), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */), nullptr);
    ExpectOkAndCancel(dialog);
}

TEST_F(TaskDialogResources, ConsoleTemplateHoldsEveryControlInItsPlace)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadDialog(102, "Hollowmere Tidewhistle", 540, 366, 25, dialog));
    EXPECT_NE(dialog.style & WS_MINIMIZEBOX, 0u);
    EXPECT_NE(dialog.style & WS_MAXIMIZEBOX, 0u);
    ASSERT_NO_FATAL_FAILURE(ExpectScriptPlaces(dialog, "IDD_TIDEWHISTLE_DIALOG", {
        {-1, "&Task:"}, {1004, "&New Task..."}, {1005, "&Settings..."}, {1074, "R&ules Files..."}, {1008, "&Help"},
        {1009, ">"},
        {-1, "Cleanup &Jobs:"}, {1030, "St&art"}, {1031, "Sto&p"}, {-1, "Status:"}, {1013, "Task &Options..."},
        {1011, "S&chedule..."}, {1012, "&Delete Task"}, {-1, "Add/Edit custom cleanup steps:"},
        {1006, "Custo&m Cleanup..."}, {-1, "&Progress:"}, {1070, "Pre&view"}, {1071, "Preview &Report"},
    }));
    ExpectControls(dialog, {{1029, 0x0085 /* combo box */, nullptr, "", CBS_DROPDOWNLIST | WS_VSCROLL},
                            {1000, 0, "SysTreeView32", "",
                             TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_DISABLEDRAGDROP | WS_BORDER},
                            {1001, 0, "SysListView32", "", LVS_REPORT | LVS_NOSORTHEADER | WS_BORDER}});
    const DialogItem& frame = dialog.items[7];
    EXPECT_TRUE(IsGroupBox(frame));
    // Below the frame: the preview, the last clean's totals and, under them,
    // the last preview's.
    for (int id : {1070, 1071, 1072, 1073}) {
        const DialogItem* below = FindById(dialog, id);
        ASSERT_NE(below, nullptr) << id;
        EXPECT_GE(below->y, frame.y + frame.cy) << id;
    }
    EXPECT_LT(FindById(dialog, 1072)->y, FindById(dialog, 1073)->y);
    EXPECT_EQ(FindById(dialog, 1029)->style & (CBS_SORT | CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE), 0u);
    EXPECT_EQ(FindById(dialog, 1001)->style & WS_VISIBLE, 0u) << "the progress list template is never shown";
    EXPECT_NE(FindById(dialog, 1006)->style & WS_DISABLED, 0u);
    EXPECT_NE(FindByText(dialog, "Add/Edit custom cleanup steps:")->style & WS_DISABLED, 0u);
}
