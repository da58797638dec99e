#include <windows.h>
#include <winspool.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "PrintList.h"
#include "RegistryScratch.h"
#include "RecordingPrintDevice.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basAssocLinks.h"
#include "basErrorHandler.h"
#include "NeighbourServices.h"
#include "basIniFile.h"
#include "basRegistryModel.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "frmPreviewerController.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

const std::wstring Tag = L"--LumoxPreviewerDisableTag";
const std::wstring FileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

// HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE point at scratch keys, the settings
// file lives in a temporary folder, boxes go to a fake and the model starts empty.
class PreviewerControllerTest : public RegistryScratch {
protected:
    void SetUp() override {
        RegistryScratch::SetUp();
        vb::SetProjectName(L"RestorerTests");
        ResetStatusThrottle();
        previousMaker_ = SetPrintDeviceMaker(nullptr);
    }
    void TearDown() override {
        frmPreviewerController::Release();
        vb::DoEvents();
        SetPrintDeviceMaker(previousMaker_);
        RegistryScratch::TearDown();
    }

    static void Put(HKEY root, const std::wstring& path, const wchar_t* name = nullptr, const std::wstring& data = L"",
                    DWORD type = REG_SZ) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (name)
            RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static void PutClass(const std::wstring& path, const wchar_t* name = nullptr, const std::wstring& data = L"",
                         DWORD type = REG_SZ) {
        Put(HKEY_CLASSES_ROOT, path, name, data, type);
    }
    // An association key that opens with a program.
    static void PutAssociation(const std::wstring& name) {
        PutClass(name + L"\\shell\\open\\command", L"", L"C:\\viewer.exe \"%1\"");
    }
    // The data of a value, or "<none>"; type receives its type.
    static std::wstring Value(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type = nullptr) {
        HKEY key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<none>";
        wchar_t buffer[512] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t), t = 0;
        LONG r = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        if (type) *type = t;
        return r == ERROR_SUCCESS ? std::wstring(buffer) : L"<none>";
    }
    static std::wstring ClassValue(const std::wstring& path, const wchar_t* name = L"", DWORD* type = nullptr) {
        return Value(HKEY_CLASSES_ROOT, path, name, type);
    }

    static void Load() {
        LoadRegistryExtensions();
        LoadRegistryAssociations();
        LoadExplorerFileExts();
    }

    frmPreviewerController& Open(const std::wstring& formUse = L"") {
        frmPreviewerController& form = ShowPreviewerController(formUse, nullptr);
        vb::DoEvents();
        return form;
    }
    struct Row {
        std::wstring text, association, key;
        bool checked;
    };
    static std::vector<Row> Rows(frmPreviewerController& form) {
        std::vector<Row> rows;
        for (int i = 0; i < form.lvw.Count(); ++i)
            rows.push_back({form.lvw.ItemText(i, 0), form.lvw.ItemText(i, 1), form.RowKey(i), form.lvw.Checked(i)});
        return rows;
    }
    static int RowOf(frmPreviewerController& form, const std::wstring& text) {
        for (int i = 0; i < form.lvw.Count(); ++i)
            if (form.lvw.ItemText(i, 0) == text) return i;
        return -1;
    }
    // The user's click on one of the window's buttons, with the window in front.
    static void UserClicks(frmPreviewerController& form, win::Button& button) {
        ASSERT_TRUE(userinput::BringToFront(form.Handle()));
        ASSERT_TRUE(userinput::ClickButton(button.Handle()));
    }
    // A check changed in the list view as a click on its box changes it: the list tells the window
    // (the click itself is AClickOnARowsCheckBoxSwitchesIt).
    static void ListReportsCheck(frmPreviewerController& form, int row, bool checked) {
        ASSERT_GE(row, 0);
        ASSERT_NE(form.lvw.Checked(row), checked);
        form.lvw.SetChecked(row, checked);
        vb::DoEvents();
    }
    // Which list's empty message a (wrapped) prompt is.
    static long MessageNumber(const std::wstring& prompt) {
        if (prompt.find(L"List Empty:") != 0) return 0;
        if (prompt.find(L"previewer on this computer") != std::wstring::npos) return 4529;
        if (prompt.find(L"precaught by Explorer") != std::wstring::npos) return 4530;
        return 0;
    }
    // Makes every write below HKEY_CLASSES_ROOT fail: its stand-in key is deleted while the
    // redirect still points at it. Reads of keys opened before go on working from the model.
    void RefuseClassWrites() {
        HKEY gone;
        ASSERT_EQ(RegCreateKeyExW(scratchKey_, L"Gone", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &gone, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, gone), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteKeyW(scratchKey_, L"Gone"), ERROR_SUCCESS);
        refusing_ = gone;
    }
    void AcceptClassWrites() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_);
        if (refusing_) RegCloseKey(refusing_);
        refusing_ = nullptr;
    }

    HKEY refusing_ = nullptr;
    PrintDeviceMaker previousMaker_;
};

TEST_F(PreviewerControllerTest, ListsTheImagePreviewersInNameOrderCheckedWhileSwitchedOn) {
    PutClass(L".a7", L"", L"Paint.Picture");
    PutClass(L".a1", L"PerceivedType", L"image");
    PutClass(L".a2", L"PerceivedType", L"Image" + Tag);
    PutClass(L".a3", L"PerceivedType", L"  Image  ");
    PutClass(L".a4", L"", L"paint.picture" + Tag);
    PutClass(L".a5", L"", L"txtfile");        // neither: not listed
    PutClass(L".a6", L"PerceivedType", L"text");
    PutClass(L".a8", L"", L"Paint.Picture.1");  // not exactly the class
    PutAssociation(L"Paint.Picture");
    PutAssociation(L"txtfile");
    Load();

    frmPreviewerController& form = Open();
    EXPECT_EQ(form.Caption(), L"Previewer Controller");
    EXPECT_EQ(form.lvw.ColumnHeader(0), L"Extension");
    EXPECT_EQ(form.lvw.ColumnHeader(1), L"Association");
    struct Expected {
        const wchar_t* ext;
        bool checked;
    } expected[] = {{L".a1", true}, {L".a2", false}, {L".a3", true}, {L".a4", false}, {L".a7", true}};
    std::vector<Row> rows = Rows(form);
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].text, expected[i].ext);
        EXPECT_EQ(rows[i].checked, expected[i].checked) << vb::ToAnsi(rows[i].text);
        EXPECT_EQ(rows[i].key, L"k" + std::to_wstring(IndexOf(ExtKeys(), expected[i].ext)));
    }
    // The association column shows the class without the tag.
    EXPECT_EQ(rows[3].association, L"paint.picture");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(form.cmd[0]->Enabled());
    EXPECT_GT(form.lvw.ColumnWidth(0), 0);
}

TEST_F(PreviewerControllerTest, ListsExplorersPrecatchedExtensionsInTheOrderLoaded) {
    Put(HKEY_CURRENT_USER, FileExts + L".p1", L"ProgID", L"foo.file");
    Put(HKEY_CURRENT_USER, FileExts + L".p2", L"Application", L"app.exe" + Tag);
    Put(HKEY_CURRENT_USER, FileExts + L".p3\\OpenWithList", L"a", L"notepad.exe");  // no override
    Put(HKEY_CURRENT_USER, FileExts + L".p4", L"ProgID", L"   ");                   // blank
    Put(HKEY_CURRENT_USER, FileExts + L".p5", L"Application", L"viewer.exe");
    Put(HKEY_CURRENT_USER, FileExts + L".p5", L"ProgID", L"viewer.file");
    Load();

    frmPreviewerController& form = Open(frmPreviewerController::ExplorerPrecatchUse);
    EXPECT_EQ(form.Caption(), L"Explorer Precatch Controller");
    EXPECT_EQ(form.lvw.ColumnHeader(1), L"");
    std::vector<std::wstring> expected;
    for (size_t i = 1; i < ExplorerExtKeys().size(); ++i) {
        const std::wstring& name = ExplorerExtKeys()[i].KeyName;
        if (name == L".p1" || name == L".p2" || name == L".p5") expected.push_back(name);
    }
    std::vector<Row> rows = Rows(form);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].text, expected[i]);
        EXPECT_EQ(rows[i].checked, rows[i].text != L".p2");
        EXPECT_EQ(rows[i].key, L"k" + std::to_wstring(IndexOf(ExplorerExtKeys(), rows[i].text)));
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreviewerControllerTest, AnEmptyListSaysSoAndLeavesPrintDisabled) {
    struct Case {
        std::wstring formUse;
        long message;  // 0: none
    } cases[] = {{L"", 4529}, {frmPreviewerController::ExplorerPrecatchUse, 4530}, {L"Something Else", 0}};
    PutClass(L".txt", L"", L"txtfile");
    Put(HKEY_CURRENT_USER, FileExts + L".txt\\OpenWithList", L"a", L"notepad.exe");
    Load();
    for (const Case& c : cases) {
        boxes.shown.clear();
        frmPreviewerController& form = Open(c.formUse);
        EXPECT_EQ(form.lvw.Count(), 0);
        if (c.message) {
            ASSERT_EQ(boxes.shown.size(), 1u) << c.message;
            EXPECT_EQ(MessageNumber(boxes.shown[0].prompt), c.message) << vb::ToAnsi(boxes.shown[0].prompt);
            EXPECT_EQ(boxes.shown[0].style, StyleInformation);
        } else {
            EXPECT_TRUE(boxes.shown.empty());
        }
        EXPECT_FALSE(form.cmd[0]->Enabled()) << "Print";
        EXPECT_TRUE(form.cmd[1]->Enabled());
        EXPECT_TRUE(form.cmd[3]->Enabled());
        frmPreviewerController::Release();
    }
}

TEST_F(PreviewerControllerTest, SwitchingPaintPictureOffAndOnTagsItOnceAndMovesTheLinks) {
    PutClass(L".pic", L"", L"Paint.Picture");
    PutClass(L".pic", L"PerceivedType", L"image");
    PutAssociation(L"Paint.Picture");
    Load();
    const long e = IndexOf(ExtKeys(), L".pic");
    const long a = IndexOf(AssocKeys(), L"Paint.Picture");
    ASSERT_EQ(ExtKeys()[e].Link, a);

    frmPreviewerController& form = Open();
    const int row = RowOf(form, L".pic");
    ListReportsCheck(form, row, false);
    EXPECT_EQ(ClassValue(L".pic"), L"Paint.Picture" + Tag);
    EXPECT_EQ(ClassValue(L".pic", L"PerceivedType"), L"image" + Tag);
    EXPECT_EQ(ExtKeys()[e].Link, 0);
    EXPECT_EQ(ExtKeys()[e].TaggedLink, a);
    EXPECT_EQ(AssocKeys()[a].Link, 0);
    EXPECT_EQ(AssocKeys()[a].TaggedLink, e);

    // "Uncheck All" on a row already off writes nothing; off, on and off again ends with one tag.
    UserClicks(form, *form.cmd[1]);
    ListReportsCheck(form, row, true);
    EXPECT_EQ(ClassValue(L".pic"), L"Paint.Picture");
    EXPECT_EQ(ClassValue(L".pic", L"PerceivedType"), L"image");
    ListReportsCheck(form, row, false);
    UserClicks(form, *form.cmd[1]);
    EXPECT_EQ(ClassValue(L".pic"), L"Paint.Picture" + Tag);
    EXPECT_EQ(ClassValue(L".pic", L"PerceivedType"), L"image" + Tag);
    EXPECT_EQ(ExtKeys()[e].TaggedLink, a);
    bool tagged = false;
    EXPECT_EQ(StripPreviewerDisableTag(UnnamedValueText(ExtKeys()[e]), tagged), L"Paint.Picture");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreviewerControllerTest, CheckingATaggedRowWritesTheBareTextsAndMovesTheLinksToTheLiveSlot) {
    PutClass(L".old", L"", L"Paint.Picture" + Tag);
    PutClass(L".old", L"PerceivedType", L"image" + Tag);
    PutAssociation(L"Paint.Picture");
    Load();
    const long e = IndexOf(ExtKeys(), L".old");
    const long a = IndexOf(AssocKeys(), L"Paint.Picture");
    ASSERT_EQ(ExtKeys()[e].TaggedLink, a);

    frmPreviewerController& form = Open();
    const int row = RowOf(form, L".old");
    ASSERT_FALSE(form.lvw.Checked(row));
    ListReportsCheck(form, row, true);
    EXPECT_EQ(ClassValue(L".old"), L"Paint.Picture");
    EXPECT_EQ(ClassValue(L".old", L"PerceivedType"), L"image");
    EXPECT_EQ(ExtKeys()[e].Link, a);
    EXPECT_EQ(ExtKeys()[e].TaggedLink, 0);
    EXPECT_EQ(AssocKeys()[a].Link, e);
    EXPECT_EQ(AssocKeys()[a].TaggedLink, 0);
    EXPECT_EQ(GetExtAssocIndex(ExtKeys()[e], false), a) << "the extension counts as associated again";
}

TEST_F(PreviewerControllerTest, APerceivedTypeOnlyExtensionGetsOnlyThatTagAndKeepsItsLinks) {
    PutClass(L".jpx", L"", L"jpegfile");
    PutClass(L".jpx", L"PerceivedType", L"image");
    PutAssociation(L"jpegfile");
    Load();
    const long e = IndexOf(ExtKeys(), L".jpx");
    const long a = IndexOf(AssocKeys(), L"jpegfile");
    ASSERT_EQ(ExtKeys()[e].Link, a);

    frmPreviewerController& form = Open();
    const int row = RowOf(form, L".jpx");
    ListReportsCheck(form, row, false);
    EXPECT_EQ(ClassValue(L".jpx"), L"jpegfile");
    EXPECT_EQ(ClassValue(L".jpx", L"PerceivedType"), L"image" + Tag);
    // Still associated: the next snapshot keeps its class, no comparison offers to remove it.
    EXPECT_EQ(ExtKeys()[e].Link, a);
    EXPECT_EQ(ExtKeys()[e].TaggedLink, 0);
    EXPECT_EQ(AssocKeys()[a].Link, e);
    ListReportsCheck(form, row, true);
    EXPECT_EQ(ClassValue(L".jpx", L"PerceivedType"), L"image");
    EXPECT_EQ(ExtKeys()[e].Link, a);
}

TEST_F(PreviewerControllerTest, AClickOnARowsCheckBoxSwitchesIt) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    PutAssociation(L"Paint.Picture");
    Load();
    frmPreviewerController& form = Open();
    ASSERT_EQ(form.lvw.Count(), 1);
    ASSERT_TRUE(form.lvw.Checked(0));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(form.lvw.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)));
    const int imageWidth = GetSystemMetrics(SM_CXSMICON);
    ASSERT_TRUE(userinput::BringToFront(form.Handle()));
    userinput::Click(userinput::OnScreen(
        form.lvw.Handle(), POINT{bounds.left + imageWidth / 2 + 1, (bounds.top + bounds.bottom) / 2}));
    EXPECT_TRUE(userinput::PumpUntil([&] { return !form.lvw.Checked(0); }));
    EXPECT_EQ(ClassValue(L".bmp"), L"Paint.Picture" + Tag);
}

TEST_F(PreviewerControllerTest, APrecatchKeyWithOnlyApplicationChangesOnlyThat) {
    Put(HKEY_CURRENT_USER, FileExts + L".ap", L"Application", L"viewer.exe");
    Load();
    frmPreviewerController& form = Open(frmPreviewerController::ExplorerPrecatchUse);
    const int row = RowOf(form, L".ap");
    ListReportsCheck(form, row, false);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, FileExts + L".ap", L"Application"), L"viewer.exe" + Tag);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, FileExts + L".ap", L"ProgID"), L"<none>");
    ListReportsCheck(form, row, true);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, FileExts + L".ap", L"Application"), L"viewer.exe");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, FileExts + L".ap", L"ProgID"), L"<none>");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreviewerControllerTest, FillingTheListAndCheckingCheckedRowsWriteNothing) {
    // Only a switched row is written, and an expandable text stays expandable.
    PutClass(L".e1", L"PerceivedType", L"image", REG_EXPAND_SZ);
    PutClass(L".e2", L"", L"Paint.Picture", REG_EXPAND_SZ);
    PutClass(L".e3", L"PerceivedType", L"image" + Tag, REG_EXPAND_SZ);
    PutAssociation(L"Paint.Picture");
    Load();
    frmPreviewerController& form = Open();
    ASSERT_EQ(form.lvw.Count(), 3);
    auto types = [&] {
        DWORD t1 = 0, t2 = 0, t3 = 0;
        ClassValue(L".e1", L"PerceivedType", &t1);
        ClassValue(L".e2", L"", &t2);
        ClassValue(L".e3", L"PerceivedType", &t3);
        return std::vector<DWORD>{t1, t2, t3};
    };
    EXPECT_EQ(types(), (std::vector<DWORD>{REG_EXPAND_SZ, REG_EXPAND_SZ, REG_EXPAND_SZ}));

    // "Check All" touches only the row that was off.
    UserClicks(form, *form.cmd[2]);
    EXPECT_EQ(types(), (std::vector<DWORD>{REG_EXPAND_SZ, REG_EXPAND_SZ, REG_EXPAND_SZ}));
    EXPECT_EQ(ClassValue(L".e3", L"PerceivedType"), L"image");
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(form.lvw.Checked(i));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(form.cmd[2]->Enabled()) << "the controls are back on";

    // "Uncheck All" switches every row off.
    UserClicks(form, *form.cmd[1]);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(form.lvw.Checked(i));
    EXPECT_EQ(ClassValue(L".e1", L"PerceivedType"), L"image" + Tag);
    EXPECT_EQ(ClassValue(L".e2"), L"Paint.Picture" + Tag);
    EXPECT_EQ(types(), (std::vector<DWORD>{REG_EXPAND_SZ, REG_EXPAND_SZ, REG_EXPAND_SZ}));
}

TEST_F(PreviewerControllerTest, ARefusedWritePutsRowAndModelBackAndIsReportedOnce) {
    PutClass(L".r1", L"", L"Paint.Picture");
    PutClass(L".r1", L"PerceivedType", L"image");
    PutClass(L".r2", L"PerceivedType", L"image");
    PutAssociation(L"Paint.Picture");
    Load();
    const long e = IndexOf(ExtKeys(), L".r1");
    const long a = IndexOf(AssocKeys(), L"Paint.Picture");
    frmPreviewerController& form = Open();
    ASSERT_EQ(form.lvw.Count(), 2);

    RefuseClassWrites();
    ListReportsCheck(form, RowOf(form, L".r1"), false);
    EXPECT_TRUE(form.lvw.Checked(RowOf(form, L".r1"))) << "the check goes back";
    EXPECT_EQ(UnnamedValueText(ExtKeys()[e]), L"Paint.Picture");
    EXPECT_EQ(ExtKeys()[e].Link, a);
    EXPECT_EQ(ExtKeys()[e].TaggedLink, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, StyleCritical);
    EXPECT_NE(boxes.shown[0].prompt.find(L"refused"), std::wstring::npos);
    EXPECT_NE(boxes.shown[0].prompt.find(L"ChangePreviewerFlag"), std::wstring::npos);

    // A whole "Uncheck All" stops at the first refusal and says so once.
    boxes.shown.clear();
    UserClicks(form, *form.cmd[1]);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(form.lvw.Checked(0));
    EXPECT_TRUE(form.lvw.Checked(1));
    EXPECT_TRUE(form.cmd[1]->Enabled());
    AcceptClassWrites();

    EXPECT_EQ(ClassValue(L".r1"), L"Paint.Picture");
    EXPECT_EQ(ClassValue(L".r1", L"PerceivedType"), L"image");
    EXPECT_EQ(ClassValue(L".r2", L"PerceivedType"), L"image");
    bool found = false;
    for (const RegValueRecord& v : ExtKeys()[IndexOf(ExtKeys(), L".r2")].KeyValues)
        if (v.ValueName == L"PerceivedType") found = ValueDataText(v.ValueData) == L"image";
    EXPECT_TRUE(found) << "the model keeps the value it had";
}

TEST_F(PreviewerControllerTest, AResizeBelowTheSmallestSizeIsUndoneOnTheFourthTick) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    Load();
    frmPreviewerController& form = Open();
    form.Move(form.Left(), form.Top(), 3000, 2000);
    ASSERT_LT(form.Width(), 4700);
    for (int tick = 1; tick <= 3; ++tick) {
        form.TimerEvent();
        EXPECT_LT(form.Width(), 4700) << tick;
    }
    form.TimerEvent();
    EXPECT_GE(form.Width(), 4700);
    EXPECT_LT(form.Width(), 4700 + vb::TwipsPerPixelX());
    EXPECT_GE(form.Height(), 4300);
    EXPECT_LT(form.Height(), 4300 + vb::TwipsPerPixelY());
    // The controls follow: the list stays above the buttons, which keep their size.
    EXPECT_LT(form.lvw.Top() + form.lvw.Height(), form.fra[0]->Top());
    EXPECT_EQ(form.NormalWidth().value_or(0), form.Width());
    form.TimerEvent();
    EXPECT_GE(form.Width(), 4700);

    // Maximized, the window is only laid out again: the list takes the new width.
    const int listWidth = form.lvw.Width();
    form.SetWindowState(2);
    vb::DoEvents();
    if (form.WindowState() != 2) GTEST_SKIP() << "no maximizing on this display";
    for (int tick = 1; tick <= 4; ++tick) form.TimerEvent();
    EXPECT_EQ(form.WindowState(), 2);
    EXPECT_GT(form.lvw.Width(), listWidth);
}

TEST_F(PreviewerControllerTest, PrintSendsTheListToTheDevice) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    PutClass(L".gif", L"PerceivedType", L"image" + Tag);
    PutAssociation(L"Paint.Picture");
    Load();
    auto log = std::make_shared<PrintLog>();
    SetPrintDeviceMaker([log] { return std::make_unique<RecordingPrintDevice>(log); });
    frmPreviewerController& form = Open();
    UserClicks(form, *form.cmd[0]);
    ASSERT_FALSE(log->empty());
    bool bmpEmphasised = false, gifPlain = false;
    for (const PrintOp& op : *log) {
        if (op.text == L".bmp") bmpEmphasised = op.font.Bold && op.font.Italic;
        if (op.text == L".gif") gifPlain = !op.font.Bold && !op.font.Italic;
    }
    EXPECT_TRUE(bmpEmphasised);
    EXPECT_TRUE(gifPlain);
    EXPECT_EQ(log->back().kind, PrintOp::EndDoc);
    EXPECT_TRUE(boxes.shown.empty());
}

// A printer that fails after a few lines of text, as one running out of paper might.
class FailingPrintDevice : public RecordingPrintDevice {
public:
    using RecordingPrintDevice::RecordingPrintDevice;

protected:
    void DrawTextAt(double x, double y, const std::wstring& text) override {
        if (Log().size() >= 4) vb::Raise(482, std::nullopt, L"Printer error");
        RecordingPrintDevice::DrawTextAt(x, y, text);
    }
};

TEST_F(PreviewerControllerTest, APrinterFailureStopsThePrintAndIsReportedOnce) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    PutClass(L".gif", L"PerceivedType", L"image");
    Load();
    auto log = std::make_shared<PrintLog>();
    SetPrintDeviceMaker([log] { return std::make_unique<FailingPrintDevice>(log); });
    frmPreviewerController& form = Open();
    UserClicks(form, *form.cmd[0]);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, StyleCritical);
    EXPECT_NE(boxes.shown[0].prompt.find(L"PrintList"), std::wstring::npos);
    ASSERT_FALSE(log->empty());
    EXPECT_NE(log->back().kind, PrintOp::EndDoc) << "the document is not finished as if it had printed";
    EXPECT_TRUE(form.cmd[0]->Enabled());
}

TEST_F(PreviewerControllerTest, WithoutADefaultPrinterPrintReportsTheErrorAndStaysEnabled) {
    DWORD size = 0;
    if (GetDefaultPrinterW(nullptr, &size) || size > 0) GTEST_SKIP() << "this machine has a default printer";
    PutClass(L".bmp", L"", L"Paint.Picture");
    Load();
    frmPreviewerController& form = Open();
    UserClicks(form, *form.cmd[0]);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, StyleCritical);
    EXPECT_NE(boxes.shown[0].prompt.find(L"PrintList"), std::wstring::npos);
    EXPECT_TRUE(form.cmd[0]->Enabled());
}

TEST_F(PreviewerControllerTest, OpeningTheOtherListClosesTheOpenOne) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    Put(HKEY_CURRENT_USER, FileExts + L".ap", L"Application", L"viewer.exe");
    Load();
    frmPreviewerController& previewers = Open();
    ASSERT_EQ(RowOf(previewers, L".bmp"), 0);
    EXPECT_EQ(&Open(), &previewers) << "the same list is only brought forward";

    frmPreviewerController& precatch = Open(frmPreviewerController::ExplorerPrecatchUse);
    EXPECT_EQ(frmPreviewerController::Existing(), &precatch);
    EXPECT_EQ(precatch.Caption(), L"Explorer Precatch Controller");
    ASSERT_EQ(precatch.lvw.Count(), 1);
    // Its rows switch Explorer's keys, never the extension keys of the other list.
    ListReportsCheck(precatch, 0, false);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, FileExts + L".ap", L"Application"), L"viewer.exe" + Tag);
    EXPECT_EQ(ClassValue(L".bmp"), L"Paint.Picture");
}

TEST_F(PreviewerControllerTest, TheOptionsWindowWaitsWhileTheControllerIsOpen) {
    TestForm options(L"frmTesselOptions");
    win::Button& sample = options.Put<win::Button>(nullptr, L"cmdSample", -1, L"Sample", win::Rect{10, 10, 80, 24});
    SetOptionsWindowAccessor([&]() -> win::Window* { return &options; });
    struct Restore {
        ~Restore() { SetOptionsWindowAccessor(nullptr); }
    } restore;
    PutClass(L".bmp", L"", L"Paint.Picture");
    Load();

    frmPreviewerController& form = Open();
    EXPECT_FALSE(sample.Enabled());
    UserClicks(form, *form.cmd[3]);
    vb::DoEvents();
    EXPECT_TRUE(sample.Enabled());

    // Unloaded by code, it gives the options window back all the same, once.
    Open();
    EXPECT_FALSE(sample.Enabled());
    frmPreviewerController::Release();
    EXPECT_TRUE(sample.Enabled());
    SetControlsEnabled(options, false);
    EXPECT_FALSE(sample.Enabled()) << "the options window's own switching still nests as before";
    SetControlsEnabled(options, true);
    EXPECT_TRUE(sample.Enabled());
}

TEST_F(PreviewerControllerTest, DoneClosesTheWindowAndKeepsItsPlacement) {
    PutClass(L".bmp", L"", L"Paint.Picture");
    Load();
    frmPreviewerController& form = Open(frmPreviewerController::ExplorerPrecatchUse);
    boxes.shown.clear();
    // The placement in the normal state is taken at each resize.
    form.Move(1500, 1200, form.Width() + 300, form.Height());
    UserClicks(form, *form.cmd[3]);
    vb::DoEvents();
    EXPECT_EQ(frmPreviewerController::Existing(), nullptr);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, std::wstring(SuiteRegistryKey) + L"\\1\\Preview Controller", L"Left"),
              L"1500");
    // The next opening starts with the image previewers.
    frmPreviewerController& next = frmPreviewerController::Default();
    EXPECT_EQ(next.FormUse(), L"");
    EXPECT_EQ(next.Caption(), L"Previewer Controller");
}

}  // namespace
