// The whole suite from a fresh install, as a user runs it: the real host program with the real
// components in its Programs folder and the shipped data, driven only by the pointer and the
// keyboard on the windows Windows shows, and checked by what Windows shows and keeps: windows,
// the registry, the switch atom, the tray and the data archive. Then a second start of the same
// install, which keeps what the first set up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "ChooserTestSupport.h"
#include "E2ESupport.h"
#include "SuiteWalk.h"
#include "TestSupport.h"
#include "basHookSwitch.h"

namespace {

constexpr wchar_t kMorvaKey[] = L"SOFTWARE\\Morva Corporation";
constexpr wchar_t kFirstRunKey[] = L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\4";

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

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

std::wstring FirstRunValue() {
    wchar_t data[64] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kFirstRunKey, L"Morva Utility Manager First Time", RRF_RT_REG_SZ, nullptr,
                     data, &size) != ERROR_SUCCESS)
        return L"(missing)";
    return data;
}

bool Copy(const std::wstring& from, const std::wstring& to) { return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0; }

// The suite laid out as its installer lays it: the host in the application folder, the
// components in Programs, the shipped data in Data, the notes in Messages\Lumox.
struct Install {
    std::wstring root, programs, data, host, document;

    bool Lay(std::wstring& failure) {
        root = TempFolder(L"LumoxSuite");
        programs = root + L"\\Programs";
        data = root + L"\\Data";
        host = root + L"\\Marlden.exe";
        testsupport::RemoveTree(root);
        for (const std::wstring& folder : {root, programs, data, data + L"\\Initial", root + L"\\Messages",
                                           root + L"\\Messages\\Lumox", root + L"\\Docs"})
            CreateDirectoryW(folder.c_str(), nullptr);
        const std::pair<std::wstring, std::wstring> files[] = {
            {FromHere(SUITE_MARLDEN_RELATIVE), host},
            {FromHere(SUITE_SENDRIK_RELATIVE), programs + L"\\Sendrik.dll"},
            {FromHere(SUITE_ZINTRA_RELATIVE), programs + L"\\Zintra.dll"},
            {FromHere(SUITE_CHUSEL_RELATIVE), programs + L"\\Chusel.exe"},
            {FromHere(SUITE_ARCHIVE_RELATIVE), data + L"\\TesselMorva.dat"},
            {FromHere(SUITE_FIRST_ARCHIVE_RELATIVE), data + L"\\Initial\\TesselMorva.dat"},
        };
        for (const auto& [from, to] : files) {
            if (!Copy(from, to)) {
                failure = L"cannot copy " + from;
                return false;
            }
        }
        WIN32_FIND_DATAW found{};
        const std::wstring notes = FromHere(L"suite-notes");
        HANDLE find = FindFirstFileW((notes + L"\\*.note").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) {
            failure = L"no notes in " + notes;
            return false;
        }
        do {
            Copy(notes + L"\\" + found.cFileName, root + L"\\Messages\\Lumox\\" + found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);

        // A document of an extension that Wine registers, for the chooser to offer its programs.
        document = root + L"\\Docs\\sample.rtf";
        HANDLE file = CreateFileW(document.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const char text[] = "{\\rtf1\\ansi A sample document.\\par}\r\n";
        DWORD written = 0;
        WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
        CloseHandle(file);
        return true;
    }

    void Remove() const {
        for (const wchar_t* dll : {L"Zintra.dll", L"Sendrik.dll"})
            choosertest::RunAndWait(L"regsvr32 /s /u \"" + programs + L"\\" + dll + L"\"");
        choosertest::RunAndWait(L"\"" + programs + L"\\Chusel.exe\" /UnregServer");
        testsupport::RemoveTree(root);
    }
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
        walk::SuiteWalk user(install_.host, Say);
        ASSERT_TRUE(user.Start()) << Narrow(user.Failure());
        walk::StartSeen start;
        ASSERT_TRUE(user.PassStart(true, start, 240000)) << Narrow(user.Failure());
        EXPECT_TRUE(start.tip);
        EXPECT_TRUE(start.driveList);
        EXPECT_TRUE(start.welcome);
        EXPECT_EQ(FirstRunValue(), L"False");
        EXPECT_TRUE(user.ComponentsRegistered(install_.programs)) << Narrow(user.Failure());
        EXPECT_TRUE(user.OptionsWindowInFrame());

        // A second start while the suite runs ends by itself and leaves the first as it was.
        {
            std::wstring command = L"\"" + install_.host + L"\"";
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

        bool automatic = false;
        ASSERT_TRUE(user.HookOn(3000, automatic)) << Narrow(user.Failure());
        // The first panel switches both ways.
        ASSERT_TRUE(user.TogglePanel(false)) << Narrow(user.Failure());
        EXPECT_FALSE(walk::SuiteWalk::SwitchAtomPresent());
        EXPECT_FALSE(walk::SuiteWalk::HookValuePresent());
        ASSERT_TRUE(user.TogglePanel(true)) << Narrow(user.Failure());

        // The rows the first start's defaults give the document's extension, as the archive has them.
        const walk::ArchiveText defaults = walk::ReadArchive(install_.data + L"\\TesselMorva.dat");
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
            if (add[1] == chooser.rows[0]) firstProgram = FileNameOf(add[4]);
        EXPECT_EQ(Lower(chooser.startedImage), Lower(firstProgram));
        EXPECT_NE(Lower(chooser.startedTitle).find(L"sample"), std::wstring::npos);

        ASSERT_TRUE(user.ExitThroughFileMenu(60000)) << Narrow(user.Failure());
        EXPECT_FALSE(walk::SuiteWalk::SwitchAtomPresent());
        EXPECT_FALSE(walk::SuiteWalk::HookValuePresent());
        EXPECT_FALSE(user.TrayIconPresent());

        // The archive holds the defaults: the extension in the category file, its programs added.
        afterFirst = walk::ReadArchive(install_.data + L"\\TesselMorva.dat");
        ASSERT_TRUE(afterFirst.read);
        EXPECT_NE(afterFirst.categories.find("<Extension ext=\".rtf\" />"), std::string::npos);
        EXPECT_EQ(afterFirst.AddsFor(L".rtf").size(), adds.size());
    }

    // A second start of the same install: no first-start windows, the same archive.
    walk::SuiteWalk user(install_.host, Say);
    ASSERT_TRUE(user.Start()) << Narrow(user.Failure());
    walk::StartSeen again;
    ASSERT_TRUE(user.PassStart(false, again, 120000)) << Narrow(user.Failure());
    EXPECT_TRUE(again.tip);
    EXPECT_TRUE(again.messages.empty());
    EXPECT_TRUE(user.OptionsWindowInFrame());
    EXPECT_EQ(FirstRunValue(), L"False");
    ASSERT_TRUE(user.ExitThroughFileMenu(60000)) << Narrow(user.Failure());
    const walk::ArchiveText afterSecond = walk::ReadArchive(install_.data + L"\\TesselMorva.dat");
    ASSERT_TRUE(afterSecond.read);
    EXPECT_EQ(afterSecond.categories, afterFirst.categories);
    EXPECT_EQ(afterSecond.adds, afterFirst.adds);
    EXPECT_EQ(FirstRunValue(), L"False");
}
