// The resources of the new-task and settings dialogs built into
// Tidewhistle.exe: both templates with every control and its exact text,
// and the job tree's two image strips.
#include "support/scratch_folder.h"

#include <windows.h>
#include <gtest/gtest.h>

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
    std::string text;
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
            NameOrOrdinal(ignored, item.classOrdinal);
            WORD textOrdinal = 0;
            NameOrOrdinal(item.text, textOrdinal);
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
    WORD bitCount = 0;
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

class TaskDialogResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = ::LoadLibraryExA(folder.Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << ::GetLastError();
    }
    void TearDown() override
    {
        if (module) ::FreeLibrary(module);
    }

    std::vector<BYTE> Resource(WORD id, LPCSTR type) const
    {
        HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (resource == nullptr) return {};
        const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, resource)));
        if (data == nullptr) return {};
        return std::vector<BYTE>(data, data + ::SizeofResource(module, resource));
    }

    void LoadTemplate(WORD id, DialogTemplate& dialog) const
    {
        const std::vector<BYTE> data = Resource(id, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
        ASSERT_FALSE(data.empty()) << "no dialog template " << id;
        TemplateReader reader(data.data(), data.size());
        ASSERT_TRUE(reader.Read(dialog)) << "template " << id << ": " << reader.Problem();
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
        strip.bitCount = header.biBitCount;
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

    ProgramFolder folder;
    HMODULE module = nullptr;
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

void ExpectFrame(const DialogTemplate& dialog)
{
    const DWORD required = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_CENTER;
    EXPECT_EQ(dialog.style & required, required);
    EXPECT_EQ(dialog.style & WS_THICKFRAME, 0u) << "the dialog must not be resizable";
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
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

// Every control lies within the dialog and no two controls cover each other.
void ExpectTidyLayout(const DialogTemplate& dialog)
{
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const DialogItem& a = dialog.items[i];
        EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.cx <= dialog.cx && a.y + a.cy <= dialog.cy)
            << "control '" << a.text << "' (" << a.id << ") leaves the dialog";
        EXPECT_TRUE(a.cx > 0 && a.cy > 0) << "control '" << a.text << "' (" << a.id << ") has no size";
        for (size_t j = i + 1; j < dialog.items.size(); ++j) {
            const DialogItem& b = dialog.items[j];
            const bool apart = a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
            EXPECT_TRUE(apart) << "controls '" << a.text << "' and '" << b.text << "' overlap";
        }
    }
}

}  // namespace

TEST_F(TaskDialogResources, NewTaskTemplateHoldsEveryControlWithItsText)
{
    DialogTemplate dialog;
    ASSERT_NO_FATAL_FAILURE(LoadTemplate(131, dialog));
    EXPECT_EQ(dialog.caption, "Create New Cleanup Task");
    EXPECT_EQ(dialog.cx, 240);
    EXPECT_EQ(dialog.cy, 79);
    ExpectFrame(dialog);
    EXPECT_EQ(dialog.items.size(), 5u);

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
    ASSERT_NO_FATAL_FAILURE(LoadTemplate(134, dialog));
    EXPECT_EQ(dialog.caption, "Hollowmere Tidewhistle Settings");
    EXPECT_EQ(dialog.cx, 210);
    EXPECT_EQ(dialog.cy, 121);
    ExpectFrame(dialog);
    EXPECT_EQ(dialog.items.size(), 3u);

    const DialogItem* box = FindById(dialog, 1033);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->classOrdinal, kButtonClass);
    EXPECT_EQ(box->text, "&Load Tidewhistle at Windows startup (recommended)");
    EXPECT_EQ(box->style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_NE(box->style & WS_TABSTOP, 0u);

    ExpectOkAndCancel(dialog);
    ExpectTidyLayout(dialog);
}

TEST_F(TaskDialogResources, CheckStateStripHoldsBlankUncheckedCheckedAndMixed)
{
    Strip strip;
    ASSERT_NO_FATAL_FAILURE(LoadStrip(138, strip));
    EXPECT_EQ(strip.width, 64);
    EXPECT_EQ(strip.height, 16);
    ASSERT_EQ(strip.width, 64);
    ASSERT_EQ(strip.height, 16);
    // State 0 shows nothing; the three boxes are pictures, each different.
    EXPECT_TRUE(IsBlank(strip.Picture(0)));
    std::set<std::vector<COLORREF>> seen;
    for (int state = 1; state < 4; ++state) {
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
}

TEST_F(TaskDialogResources, JobIconStripHoldsThirteenDistinctPictures)
{
    Strip strip;
    ASSERT_NO_FATAL_FAILURE(LoadStrip(139, strip));
    EXPECT_EQ(strip.width, 208);
    EXPECT_EQ(strip.height, 16);
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
