// The suite's first start: the options window's welcome opens the real restorer, which takes the
// first snapshot and closes by itself; then the welcome note comes and the run is recorded.
#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsWindowSupport.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "frmAssociationRestorer.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

using namespace windowtest;

namespace {

class FirstRunWithRestorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        SetFirstRun(L"True");
        IniFile(IniWrite, L"Log Snapshot", vb::Variant(0L));
        const std::wstring messages = JoinPaths(root, L"Messages");
        CreateDirectoryW(messages.c_str(), nullptr);
        CreateDirectoryW((messages + L"\\Lumox").c_str(), nullptr);
        WriteFileBytes(messages + L"\\Lumox\\Welcome.app.note", "{\\rtf1 Welcome to Lumox.}");
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        StartAssociationRestorer();
        // The note viewer is modal: close it when it shows, noting what was there then.
        noteCloser = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
            frmInfo* info = frmInfo::Existing();
            if (info && info->Visible()) {
                NoteSeen() = true;
                SnapshotThen() = GetFileAttributesW(GetSnapshotFilePath().c_str()) != INVALID_FILE_ATTRIBUTES;
                RestorerOpenThen() = frmAssociationRestorer::Existing() != nullptr;
                info->CloseClicked();
            }
        });
    }
    void TearDown() override {
        KillTimer(nullptr, noteCloser);
        CloseOptionsWindow();
        frame.reset();
        frmAssociationRestorer::Release();
        SetProgramScan(nullptr);
        SetAssociationRestorerOpener(nullptr);
        SetFirstRun(L"False");
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }
    static bool& NoteSeen() {
        static bool seen = false;
        return seen;
    }
    static bool& SnapshotThen() {
        static bool seen = false;
        return seen;
    }
    static bool& RestorerOpenThen() {
        static bool open = false;
        return open;
    }

    std::wstring root;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
    UINT_PTR noteCloser = 0;
};

TEST_F(FirstRunWithRestorerTest, TheFirstStartTakesTheSnapshotBeforeTheWelcome) {
    NoteSeen() = SnapshotThen() = false;
    RestorerOpenThen() = true;
    frame = std::make_unique<TestFrame>();
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    ASSERT_TRUE(PumpUntil([&] { return !w.Loaded() || w.FormReadiness() == frReady; }, 60000));
    EXPECT_TRUE(NoteSeen());
    EXPECT_TRUE(SnapshotThen()) << "the snapshot was taken before the welcome note";
    EXPECT_FALSE(RestorerOpenThen()) << "the restorer closed itself";
    EXPECT_EQ(FirstRunValue(), L"False");
    bool announced = false;
    std::wstring text, title;
    LibraryMessageRow(4515, text, title);
    for (const ShownBox& b : boxes.shown)
        if (b.prompt.find(text.substr(0, 20)) != std::wstring::npos) announced = true;
    EXPECT_TRUE(announced) << "message 4515 announced the first snapshot";
    EXPECT_EQ(IniFile(IniRead, L"Log Snapshot", {}, vb::Variant(L"?")).ToString(), L"0");
    // The file holds the extensions the model loaded, each by its name.
    ASSERT_GT(ExtKeys().size(), 1u);
    ASSERT_TRUE(GetAssocSnapshot(GetSnapshotFilePath()));
    ASSERT_EQ(SnapshotExtKeys().size(), ExtKeys().size());
    for (size_t i = 1; i < ExtKeys().size(); ++i) EXPECT_EQ(SnapshotExtKeys()[i].KeyName, ExtKeys()[i].KeyName) << i;
    EXPECT_TRUE(w.Loaded());
    EXPECT_TRUE(w.lvwExts.Enabled()) << "the options window works again";
}

}  // namespace
