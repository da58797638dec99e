// The restorer over the real options window inside a small MDI frame of the tests' own, in the
// test prefix's own HKEY_CLASSES_ROOT: its reload is the options window's rebuild of its lists,
// which lets messages through. The keys the tests write carry names of their own and go again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsWindowSupport.h"
#include "RestorerTestSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "frmAssociationRestorer.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace windowtest;

namespace {

const wchar_t kNotSaved[] = L"No new snapshot was saved: ";

bool KeyThere(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void PutExtension(const std::wstring& name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t type[] = L"text/x-lumox";
    RegSetValueExW(key, L"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type), sizeof(type));
    RegCloseKey(key);
}

long IndexOf(const RegKeyRecords& records, const std::wstring& name) {
    for (size_t i = 1; i < records.size(); ++i)
        if (vb::TextEquals(records[i].KeyName, name)) return static_cast<long>(i);
    return -1;
}

std::string FileBytes(const std::wstring& path) {
    std::ifstream in(vb::ToAnsi(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class RestorerOverOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        RemoveOwnKeys();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        SetFirstRun(L"False");
        IniFile(IniWrite, L"Log Snapshot", vb::Variant(0L));
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        StartAssociationRestorer();
        frame = std::make_unique<TestFrame>();
        FillTheScreen(*frame);
        frmTesselOptions* w = nullptr;
        ASSERT_TRUE(OpenOptionsWindow(w));
        options = w;
        ASSERT_TRUE(options->Loaded());
    }
    void TearDown() override {
        if (frmAssociationRestorer* form = frmAssociationRestorer::Existing()) form->UnloadForm();
        CloseOptionsWindow();
        frame.reset();
        frmAssociationRestorer::Release();
        SetProgramScan(nullptr);
        SetAssociationRestorerOpener(nullptr);
        Pump(50);
        DeleteFileW(GetSnapshotFilePath().c_str());
        RemoveDirectoryW((GetSnapshotFilePath() + L".new").c_str());
        RemoveOwnKeys();
        vb::Err().Clear();
        CoUninitialize();
    }
    void RemoveOwnKeys() {
        for (const wchar_t* name : {L".lumoxow1", L".lumoxow2", L".lumoxow3"})
            if (KeyThere(name)) testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
    }

    // The snapshot of the registry as it is now; keys written after it look newer (its time is
    // set back with SetFileTime).
    void SnapshotNowThenAdd(const std::vector<std::wstring>& added) {
        LoadRegistryExtensions();
        LoadRegistryAssociations();
        WriteAssocSnapshot(GetSnapshotFilePath(), ExtKeys(), AssocKeys(), ExtByName());
        for (const std::wstring& name : added) PutExtension(name);
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
        t.QuadPart -= 3600ULL * 10000000ULL;
        FILETIME back{t.LowPart, t.HighPart};
        HANDLE file = CreateFileW(GetSnapshotFilePath().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFileTime(file, nullptr, nullptr, &back);
        CloseHandle(file);
    }

    // The restorer opened over the options window as its menu opens it, its activation run.
    frmAssociationRestorer* OpenRestorer() {
        boxes.shown.clear();
        frmAssociationRestorer& form = frmAssociationRestorer::Open(frame->Handle());
        const bool warned = PumpUntil([&] {
            if (!form.Loaded()) return true;
            for (const ShownBox& b : boxes.shown)
                if (vb::StartsWith(b.prompt, L"WARNING:")) return true;
            return false;
        });
        if (!warned || !form.Loaded()) return nullptr;
        userinput::OntoTheScreen(form.Handle());
        userinput::BringToFront(form.Handle());
        Pump(100);
        return &form;
    }
    static std::vector<std::wstring> RowsShown(frmAssociationRestorer& form) {
        std::vector<std::wstring> rows;
        for (int r = 0; r < form.lvw->Count(); ++r) rows.push_back(form.lvw->ItemText(r, 0) + L"|" + form.lvw->ItemText(r, 1));
        return rows;
    }
    bool Told(const std::wstring& beginning) const {
        for (const ShownBox& b : boxes.shown)
            if (vb::StartsWith(b.prompt, beginning)) return true;
        return false;
    }
    void Click(win::Button* button) {
        ASSERT_TRUE(IsWindowEnabled(button->Handle())) << vb::ToAnsi(button->Text()) << " can be clicked";
        userinput::BringToFront(GetAncestor(button->Handle(), GA_ROOT));
        EXPECT_TRUE(userinput::ClickButton(button->Handle())) << vb::ToAnsi(button->Text()) << " took the click";
        Pump(50);
    }
    void Tick(frmAssociationRestorer& form, const std::wstring& row) {
        int found = -1;
        ASSERT_NO_FATAL_FAILURE(ClickRestorerRowByUser(form, row, found));
        Click(form.cmd[4]);
        EXPECT_TRUE(form.lvw->Checked(found));
    }

    std::wstring root;
    std::unique_ptr<TestFrame> frame;
    frmTesselOptions* options = nullptr;
    FakePresenter boxes;
    DialogWatchdog watchdog;
};

// "Save" reloads through the options window's rebuild, then fails to write (a folder in the way):
// the user is told, the list compares the last snapshot with the registry as it now is, and a
// restore of one marked row changes only that key.
TEST_F(RestorerOverOptionsTest, ASaveThatFailsAfterTheRebuildThenRestoringOneRowChangesOnlyThatKey) {
    SnapshotNowThenAdd({L".lumoxow1", L".lumoxow2"});
    frmAssociationRestorer* form = OpenRestorer();
    ASSERT_TRUE(form);
    ASSERT_EQ(RowsShown(*form), (std::vector<std::wstring>{L"Remove Ext.|.lumoxow1", L"Remove Ext.|.lumoxow2"}));
    PutExtension(L".lumoxow3");
    const std::string before = FileBytes(GetSnapshotFilePath());
    const std::wstring fresh = GetSnapshotFilePath() + L".new";
    ASSERT_TRUE(CreateDirectoryW(fresh.c_str(), nullptr));
    boxes.shown.clear();
    Click(form->cmd[0]);
    RemoveDirectoryW(fresh.c_str());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_TRUE(vb::StartsWith(boxes.shown[0].prompt, kNotSaved)) << vb::ToAnsi(boxes.shown[0].prompt);
    EXPECT_EQ(FileBytes(GetSnapshotFilePath()), before);
    EXPECT_EQ(RowsShown(*form), (std::vector<std::wstring>{L"Remove Ext.|.lumoxow1", L"Remove Ext.|.lumoxow2",
                                                            L"Remove Ext.|.lumoxow3"}));
    Tick(*form, L"Remove Ext.|.lumoxow2");
    boxes.answers = {AnswerYes};
    Click(form->cmd[1]);
    EXPECT_TRUE(boxes.answers.empty()) << "the question was asked";
    EXPECT_FALSE(KeyThere(L".lumoxow2")) << "the marked key went";
    EXPECT_TRUE(KeyThere(L".lumoxow1"));
    EXPECT_TRUE(KeyThere(L".lumoxow3"));
    EXPECT_TRUE(options->Loaded());
}

// Ctrl+F4 pressed as "Save" starts, so that it comes in while the options window rebuilds its
// lists for the restorer: the options window (and the restorer with it) closes only once the
// Save has ended, whole.
TEST_F(RestorerOverOptionsTest, CtrlF4DuringTheRestorersReloadWaitsForTheSaveToEnd) {
    SnapshotNowThenAdd({L".lumoxow1"});
    frmAssociationRestorer* form = OpenRestorer();
    ASSERT_TRUE(form);
    ASSERT_EQ(RowsShown(*form), std::vector<std::wstring>{L"Remove Ext.|.lumoxow1"});
    boxes.shown.clear();
    HWND save = form->cmd[0]->Handle();
    ASSERT_TRUE(IsWindowEnabled(save));
    userinput::BringToFront(GetAncestor(save, GA_ROOT));
    // The button goes down; the keys come behind its release in the queue, so they are read
    // while the Save runs.
    userinput::MoveTo(userinput::CentreOf(save));
    userinput::SettlePointer();
    userinput::ButtonDown(userinput::Button::Left);
    ASSERT_TRUE(userinput::PumpUntilHandled(save, WM_LBUTTONDOWN)) << "the button went down";
    userinput::ButtonUp(userinput::Button::Left);
    userinput::Chord({VK_CONTROL, VK_F4});
    PumpUntil([&] { return frmTesselOptions::Existing() == nullptr || !frmTesselOptions::Existing()->Loaded(); },
              15000);
    EXPECT_FALSE(Told(kNotSaved));
    // The options window packs its working files away as it closes; what the Save read back
    // stays in memory.
    EXPECT_TRUE(SnapshotRead());
    EXPECT_NE(IndexOf(SnapshotExtKeys(), L".lumoxow1"), -1) << "the Save wrote its file and read it back";
    EXPECT_EQ(IniFile(IniRead, L"Scanning Progress", {}, vb::Variant(L"?")).ToString(), L"SS: After Unload FDS");
    EXPECT_TRUE(frmTesselOptions::Existing() == nullptr || !frmTesselOptions::Existing()->Loaded())
        << "the options window closed after the Save";
    EXPECT_TRUE(frmAssociationRestorer::Existing() == nullptr || !frmAssociationRestorer::Existing()->Loaded())
        << "and took the restorer along";
    EXPECT_TRUE(KeyThere(L".lumoxow1"));
}

}  // namespace
