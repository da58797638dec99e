// The whole suite from a fresh install, as a user runs it: the real host program with the real
// components in its Programs folder, its help file and the shipped data, driven only by the
// pointer and the keyboard on the windows Windows shows, and checked by what Windows shows and
// keeps: windows and message boxes, the help window, the registry, the switch atom, the tray,
// the desktop's test files and the data archive. Then a second start of the same install,
// which keeps what the first set up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ChooserTestSupport.h"
#include "E2ESupport.h"
#include "SuiteInstall.h"
#include "SuiteWalk.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basHookSwitch.h"

namespace {

constexpr wchar_t kMorvaKey[] = L"SOFTWARE\\Morva Corporation";
// The category the user adds in the first start.
constexpr wchar_t kWalkedCategory[] = L"Walked Category";

std::wstring FromHere(const wchar_t* relative) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\" + relative;
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring TempFolder(const wchar_t* name) {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer) + name;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A file the suite may be replacing at that moment: read without holding up its replacement.
std::string TextOfFileInUse(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::wstring FirstRunValue() { return e2e::FirstRunValue().value_or(L"(missing)"); }

// The suite laid out by its installer, and a document of an extension that Wine registers, for
// the chooser to offer its programs.
struct Install {
    e2e::SuiteLayout layout{TempFolder(L"LumoxSuite")};
    std::wstring document = layout.root + L"\\Docs\\sample.rtf";

    bool Lay(std::wstring& failure) {
        const e2e::SuiteBuild build{FromHere(SUITE_MARLDEN_RELATIVE),
                                    FromHere(SUITE_SENDRIK_RELATIVE),
                                    FromHere(SUITE_ZINTRA_RELATIVE),
                                    FromHere(SUITE_CHUSEL_RELATIVE),
                                    FromHere(SUITE_HELP_RELATIVE),
                                    FromHere(SUITE_ARCHIVE_RELATIVE),
                                    FromHere(SUITE_FIRST_ARCHIVE_RELATIVE),
                                    FromHere(L"suite-notes"),
                                    FromHere(L"suite-desktop")};
        if (!e2e::InstallWholeSuite(build, layout, failure)) return false;
        CreateDirectoryW((layout.root + L"\\Docs").c_str(), nullptr);
        choosertest::WriteFileText(document, "{\\rtf1\\ansi A sample document.\\par}\r\n");
        return true;
    }

    void Remove() const { e2e::RemoveWholeSuite(layout); }
};

class SuiteWalkRoad : public ::testing::Test {
protected:
    void SetUp() override {
        // A machine the suite was never on: no settings, no working files of an earlier run.
        TurnHookOff();
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kMorvaKey);
        testsupport::RemoveTree(TempFolder(L"Lopt"));
        std::wstring failure;
        ASSERT_TRUE(install_.Lay(failure)) << Narrow(failure);
    }
    void TearDown() override {
        install_.Remove();
        TurnHookOff();
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kMorvaKey);
        testsupport::RemoveTree(TempFolder(L"Lopt"));
    }

    static void Say(const std::wstring& line) { std::printf("%s\n", Narrow(line).c_str()); }

    Install install_;
};

}  // namespace

TEST_F(SuiteWalkRoad, AFreshInstallWalkedAsAUserThenStartedAgainKeepsWhatItSetUp) {
    walk::ArchiveText afterFirst;
    {
        walk::SuiteWalk user(install_.layout.host, Say);
        ASSERT_TRUE(user.Start()) << Narrow(user.Failure());
        walk::StartSeen start;
        // The start fails on a message box that is not among the first start's own.
        ASSERT_TRUE(user.PassStart(true, start, 240000)) << Narrow(user.Failure());
        EXPECT_EQ(start.tip, 1);
        EXPECT_EQ(start.driveList, 1);
        EXPECT_EQ(start.welcome, 1);
        EXPECT_EQ(start.messages.size(), walk::FirstStartMessages().size());
        EXPECT_EQ(FirstRunValue(), L"False");
        // What the first start's message says lies on the Windows desktop.
        EXPECT_TRUE(user.DesktopTestFilesThere()) << Narrow(user.Failure());
        EXPECT_TRUE(user.ComponentsRegistered(install_.layout.programs)) << Narrow(user.Failure());
        EXPECT_TRUE(user.OptionsWindowInFrame());

        // A second start while the suite runs ends by itself and leaves the first as it was.
        {
            std::wstring command = L"\"" + install_.layout.host + L"\"";
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION second{};
            ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &second));
            const DWORD waited = WaitForSingleObject(second.hProcess, 60000);
            if (waited != WAIT_OBJECT_0) TerminateProcess(second.hProcess, 1);
            EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the second start did not end by itself";
            CloseHandle(second.hThread);
            CloseHandle(second.hProcess);
            EXPECT_TRUE(IsWindow(user.Frame())) << "the first start's frame is still there";
            EXPECT_TRUE(user.OptionsWindowInFrame());
        }

        // The frame switches the hook on by itself (after about 90 s at the latest) and shows its
        // icon in the notification area.
        bool automatic = false;
        ASSERT_TRUE(user.HookOn(150000, automatic)) << Narrow(user.Failure());
        EXPECT_TRUE(automatic);
        ASSERT_TRUE(user.TrayIconPresent()) << "no notification-area icon after the frame's own switch";
        // The first panel switches both ways.
        ASSERT_TRUE(user.TogglePanel(false)) << Narrow(user.Failure());
        EXPECT_FALSE(walk::SuiteWalk::SwitchAtomPresent());
        EXPECT_FALSE(walk::SuiteWalk::HookValuePresent());
        ASSERT_TRUE(user.TogglePanel(true)) << Narrow(user.Failure());

        // Help from the options window by F1, and a message, not an end, when the host's help
        // file is missing.
        ASSERT_TRUE(user.HelpByF1(30000)) << Narrow(user.Failure());
        ASSERT_TRUE(user.HelpButtonWithoutTheFile(30000)) << Narrow(user.Failure());

        // The rows the first start's defaults give the document's extension, as the archive has them.
        const walk::ArchiveText defaults = walk::ReadArchive(install_.layout.data + L"\\TesselMorva.dat");
        ASSERT_TRUE(defaults.read);
        const auto adds = defaults.AddsFor(L".rtf");
        ASSERT_FALSE(adds.empty()) << "the first start added no program for .rtf";

        walk::ChooserSeen chooser;
        ASSERT_TRUE(user.OpenThroughChooser(FromHere(L"lumox_shell.exe"), install_.document, chooser))
            << Narrow(user.Failure());
        EXPECT_TRUE(chooser.atPointer);
        // One row per program, and the Windows row unless a program's row is the Windows one.
        EXPECT_GE(chooser.rows.size(), adds.size());
        EXPECT_LE(chooser.rows.size(), adds.size() + 1);
        for (const auto& add : adds)
            EXPECT_NE(std::find(chooser.rows.begin(), chooser.rows.end(), add[1]), chooser.rows.end())
                << "no row for " << Narrow(add[1]);
        // The first row's program shows the document.
        std::wstring firstProgram;
        for (const auto& add : adds)
            if (add[1] == chooser.rows[0]) firstProgram = e2e::FileNameOf(add[4]);
        EXPECT_EQ(e2e::Lower(chooser.startedImage), e2e::Lower(firstProgram));
        EXPECT_NE(e2e::Lower(chooser.startedTitle).find(L"sample"), std::wstring::npos);

        // A last edit in the options window: a new category, which the window keeps in its working
        // folder. With the hook on, the minimized frame hides in the tray and the window closes
        // itself there: its close packs the working folder into the archive and clears it away.
        // Then the frame comes back from the tray.
        const std::wstring archive = install_.layout.data + L"\\TesselMorva.dat";
        const std::wstring workingCategories = TempFolder(L"Lopt") + L"\\Tesselcat.xml";
        const std::string newCategory = "<Category name=\"" + Narrow(kWalkedCategory) + "\"";
        ASSERT_TRUE(user.AddCategory(kWalkedCategory, 30000)) << Narrow(user.Failure());
        EXPECT_TRUE(userinput::WaitUntil(
            [&] { return TextOfFileInUse(workingCategories).find(newCategory) != std::string::npos; }, 5000))
            << "the options window did not save the new category into its working folder";
        ASSERT_TRUE(user.MinimizeIntoTheTray(30000)) << Narrow(user.Failure());
        EXPECT_EQ(GetFileAttributesW(workingCategories.c_str()), INVALID_FILE_ATTRIBUTES)
            << "the options window closed in the tray and left its working files unpacked";
        const walk::ArchiveText inTray = walk::ReadArchive(archive);
        ASSERT_TRUE(inTray.read);
        EXPECT_NE(inTray.categories.find(newCategory), std::string::npos)
            << "the options window closed in the tray and the archive lacks the category added last";
        ASSERT_TRUE(user.RestoreFromTheTray(30000)) << Narrow(user.Failure());

        ASSERT_TRUE(user.ExitThroughFileMenu(60000)) << Narrow(user.Failure());
        EXPECT_FALSE(walk::SuiteWalk::SwitchAtomPresent());
        EXPECT_FALSE(walk::SuiteWalk::HookValuePresent());
        EXPECT_FALSE(user.TrayIconPresent());

        // The archive holds the defaults: the extension in the category file, its programs added.
        afterFirst = walk::ReadArchive(install_.layout.data + L"\\TesselMorva.dat");
        ASSERT_TRUE(afterFirst.read);
        EXPECT_NE(afterFirst.categories.find("<Extension ext=\".rtf\" />"), std::string::npos);
        EXPECT_EQ(afterFirst.AddsFor(L".rtf").size(), adds.size());
        EXPECT_NE(afterFirst.categories.find(newCategory), std::string::npos);
    }

    // A second start of the same install: no first-start windows, the same archive. The user
    // chooses File > Exit once while the options window loads: the frame says the Exit waits and
    // asks the close question once the load has ended.
    walk::SuiteWalk user(install_.layout.host, Say);
    ASSERT_TRUE(user.Start()) << Narrow(user.Failure());
    walk::StartSeen again;
    ASSERT_TRUE(user.ExitOnceDuringTheLoad(again, 120000)) << Narrow(user.Failure());
    EXPECT_EQ(again.tip, 1);
    EXPECT_TRUE(again.messages.empty());
    EXPECT_EQ(FirstRunValue(), L"False");
    const walk::ArchiveText afterSecond = walk::ReadArchive(install_.layout.data + L"\\TesselMorva.dat");
    ASSERT_TRUE(afterSecond.read);
    EXPECT_EQ(afterSecond.categories, afterFirst.categories);
    EXPECT_EQ(afterSecond.adds, afterFirst.adds);
    EXPECT_EQ(FirstRunValue(), L"False");
}
