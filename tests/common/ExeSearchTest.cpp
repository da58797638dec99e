#include <windows.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "CheckpointSink.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "basExeSearch.h"
#include "basIniFile.h"
#include "frmDoingStuff.h"
#include "vb/VbText.h"
#include "TestSupport.h"

namespace {

class ScanLevel : public ScanCheckpointSink {
public:
    void Detail2Ini(const std::wstring&, bool) override {}
    int SearchingLevel() const override { return 1; }
};

void MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << vb::ToAnsi(path);
    CloseHandle(h);
}

// A progress window that keeps every text its info line is given.
class InfoRecordingProgress : public frmDoingStuff {
public:
    std::vector<std::wstring> infoTexts;

protected:
    void OnTextChanged(win::Control& control) override {
        if (&control == &lblInfo) infoTexts.push_back(lblInfo.Text());
        frmDoingStuff::OnTextChanged(control);
    }
};

class ExeSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        root_ = testsupport::FreshTempFolder(L"LumoxSearch");
    }
    void TearDown() override {
        if (frmDoingStuff* f = frmDoingStuff::Existing()) {
            f->SetClosedByCode(true);
            f->Close();
        }
        win::DefaultInstance<frmDoingStuff>::Release();
        testsupport::RemoveTree(root_);
        ErrorHandler(ehClearAll);
    }
    std::wstring Folder(const std::wstring& relative) {
        std::wstring path = root_ + L"\\" + relative;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
    // Paths found, relative to the root.
    std::vector<std::wstring> Search(bool recurse, frmDoingStuff* progress = nullptr) {
        long counter = 0;
        std::vector<std::wstring> files(1);
        SearchExeFiles(root_, L"*.exe", counter, files, progress, recurse, false);
        EXPECT_EQ(files.size(), static_cast<size_t>(counter) + 1);
        std::vector<std::wstring> relative;
        for (size_t i = 1; i < files.size(); ++i) relative.push_back(files[i].substr(root_.size() + 1));
        return relative;
    }
    std::wstring root_;
    FakePresenter boxes;
};

TEST_F(ExeSearchTest, OwnFilesFirstThenSubfoldersDepthFirstWithTheSkips) {
    MakeFile(root_ + L"\\a.exe");
    MakeFile(root_ + L"\\Hidden.EXE", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    MakeFile(root_ + L"\\setup.exe1");
    MakeFile(root_ + L"\\readme.txt");
    MakeFile(Folder(L"sub1") + L"\\d.exe");
    MakeFile(Folder(L"sub1\\deeper") + L"\\e.exe");
    MakeFile(Folder(L"sub1\\deeper\\deepest") + L"\\f.exe");
    MakeFile(Folder(L"sub2") + L"\\g.exe");
    MakeFile(Folder(L"Temp") + L"\\skip1.exe");
    MakeFile(Folder(L"recycled") + L"\\skip2.exe");
    MakeFile(Folder(L"Temporary Internet Files") + L"\\kept.exe");
    MakeFile(Folder(L"Temporary Internet Files\\Content.IE5 CACHE1") + L"\\skip3.exe");
    MakeFile(Folder(L"Temp2") + L"\\t2.exe");
    Folder(L"folder.exe");  // a folder is no file, whatever its name

    std::vector<std::wstring> found = Search(true);
    std::set<std::wstring> expected{L"a.exe",
                                    L"Hidden.EXE",
                                    L"sub1\\d.exe",
                                    L"sub1\\deeper\\e.exe",
                                    L"sub1\\deeper\\deepest\\f.exe",
                                    L"sub2\\g.exe",
                                    L"Temporary Internet Files\\kept.exe",
                                    L"Temp2\\t2.exe"};
    EXPECT_EQ(std::set<std::wstring>(found.begin(), found.end()), expected);
    ASSERT_EQ(found.size(), expected.size()) << "nothing twice";
    auto at = [&](const wchar_t* name) { return std::find(found.begin(), found.end(), name) - found.begin(); };
    EXPECT_LT(std::max(at(L"a.exe"), at(L"Hidden.EXE")), 2) << "the folder's own files come first";
    EXPECT_EQ(at(L"sub1\\deeper\\e.exe"), at(L"sub1\\d.exe") + 1) << "depth first";
    EXPECT_EQ(at(L"sub1\\deeper\\deepest\\f.exe"), at(L"sub1\\d.exe") + 2);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ExeSearchTest, WithoutRecurseOnlyTheFoldersOwnFilesAndTheCallersCounterCarriesOn) {
    MakeFile(root_ + L"\\one.exe");
    MakeFile(Folder(L"sub") + L"\\two.exe");
    long counter = 2;
    std::vector<std::wstring> files{L"kept", L"x", L"y", L"beyond the counter"};
    SearchExeFiles(root_ + L"\\", L"*.exe", counter, files, nullptr, false, false);
    ASSERT_EQ(counter, 3);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0], L"kept");
    EXPECT_EQ(files[3], root_ + L"\\one.exe");
}

TEST_F(ExeSearchTest, ProgressShowsEveryEleventhFileAndAStopFromTheCloseHandlerIsHonoured) {
    for (int i = 0; i < 34; ++i) MakeFile(root_ + L"\\p" + std::to_wstring(i) + L".exe");
    TestForm caller(L"frmCaller", 300, 200);
    caller.Show();
    InfoRecordingProgress progress;
    progress.SetCaller(&caller);
    progress.SetUserInterruptible(true);
    progress.Show();

    std::vector<std::wstring> found = Search(false, &progress);
    ASSERT_EQ(found.size(), 34u);
    EXPECT_EQ(progress.lblTitle.Text(), L"EXE file Search");
    EXPECT_EQ(progress.lblNote.Text().rfind(L"Step 1 : This will not happen everytime you start Lumox.", 0), 0u);
    // Without recurse no directory entry is counted: the 11th, 22nd and 33rd file are named, no other.
    EXPECT_EQ(progress.infoTexts,
              (std::vector<std::wstring>{L"Found: " + found[10], L"Found: " + found[21], L"Found: " + found[32]}));
    EXPECT_EQ(progress.lblInfo.Text(), L"Found: " + found[32]);

    // A stop asked for while the search runs: a close message waits in the queue for the handler.
    for (int i = 0; i < 40; ++i) MakeFile(Folder(L"d" + std::to_wstring(i)) + L"\\x.exe");
    boxes.answers = {AnswerYes};
    PostMessageW(progress.Handle(), WM_CLOSE, 0, 0);
    found = Search(true, &progress);
    EXPECT_TRUE(progress.UserWantsToStop());
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(found.empty()) << "stopped within the first 26 directory entries";

    found = Search(true, &progress);
    EXPECT_TRUE(found.empty()) << "a stopped search returns at once";
}

TEST_F(ExeSearchTest, RecoveryMarksGoToTheSettingsFile) {
    MakeFile(Folder(L"only") + L"\\last.exe");
    SetIniFolderOverride(root_);
    ScanLevel level;
    ScanCheckpointSink* previous = SetScanCheckpointSink(&level);
    long counter = 0;
    std::vector<std::wstring> files(1);
    SearchExeFiles(root_, L"*.exe", counter, files, nullptr, true, true);
    SetScanCheckpointSink(previous);
    EXPECT_EQ(IniFile(IniRead, L"Path", {}, vb::Variant(L"")).ToString(), root_ + L"\\only\\*.exe");
    EXPECT_EQ(IniFile(IniRead, L"Path Detail", {}, vb::Variant(L"")).ToString(), L"3");
    EXPECT_EQ(IniFile(IniRead, L"File", {}, vb::Variant(L"")).ToString(), L"last.exe");
    EXPECT_EQ(IniFile(IniRead, L"Detail", {}, vb::Variant(L"")).ToString(), L"3");
    DeleteFileW(GetIniFilePath().c_str());
    SetIniFolderOverride(L"");
    EXPECT_EQ(counter, 1);
}

}  // namespace
