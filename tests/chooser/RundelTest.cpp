// The request handling's decisions, with the data, the list and the launch behind fakes, and
// real files for the request and the markers.
#include <gtest/gtest.h>

#include "ChooserTestSupport.h"
#include "ChuselMessages.h"
#include "FakePresenter.h"
#include "basErrorHandler.h"
#include "basLaunch.h"

using namespace choosertest;

namespace {

const std::wstring kWindowsShort = L"C:\\WINDOWS\\NOTEPAD.EXE";
const std::wstring kWindowsRecord =
    L"Wine - Text Editor|6.1.7601.17514|OK|C:\\windows\\notepad.exe|" + kWindowsShort;

class RundelTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = testsupport::FreshTempFolder(L"RundelTest");
        markers = folder + L"\\Programs";
        CreateDirectoryW(markers.c_str(), nullptr);
        report = folder + L"\\report.txt";
        WriteFileText(report, "text");
        shortReport = ShortPath(report);
        InstallRequestSilencePresenter();
        services.SetMarkerFolder(markers);
        services.windowsRecord = kWindowsRecord;
    }
    void TearDown() override {
        testsupport::RemoveTree(folder);
        ErrorHandler(ehClearAll);
    }

    long Run(const std::wstring& request) { return Rundel(request, services); }
    bool Armed() const { return Exists(markers + L"\\Bl1.ign"); }

    FakePresenter boxes;  // ahead of the services: nothing may reach it
    std::wstring folder, markers, report, shortReport;
    FakeServices services{L""};
};

std::wstring Other(const std::wstring& ext, const wchar_t* name = L"Acme - Editor", const wchar_t* version = L"2.0") {
    return Entry(ext, name, version, L"OK-A", std::wstring(L"C:\\Acme\\") + name + L".exe", L"C:\\ACME\\EDITOR.EXE");
}

}  // namespace

TEST_F(RundelTest, DeclinedBeforeAnyDataIsLoaded) {
    const std::wstring setup = folder + L"\\setup.EXE";
    WriteFileText(setup, "MZ");
    const std::wstring missing = folder + L"\\gone.txt";
    const struct {
        const wchar_t* name;
        std::wstring request;
    } cases[] = {
        {L"print verb", Request(L"print", report)},
        {L"edit verb", Request(L"edit", report)},
        {L"explore verb", Request(L"explore", report)},
        {L"fewer than eight lines", L"open\r\n0\r\n" + report + L"\r\n"},
        {L"setup.EXE", Request(L"open", setup)},
        {L"a library", Request(L"open", folder + L"\\x.DLL")},
        {L"IDLIST launch of a missing file", Request(L"open", missing, true)},
        {L"IDLIST launch of no file", Request(L"open", L"", true)},
        {L"missing file, not by IDLIST", Request(L"open", missing, false)},
        {L"empty request", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Run(c.request), 1);
    }
    EXPECT_EQ(services.loads, 0);
    EXPECT_EQ(services.lists, 0);
    EXPECT_TRUE(services.launched.empty());
}

TEST_F(RundelTest, VerbsThatPassAndTheKeysTheyLookUp) {
    services.data.AddList.Add(Other(L"*"));
    services.data.AddList.Add(Other(L".txt"));
    const struct {
        const wchar_t* verb;
        const wchar_t* caption;
    } cases[] = {
        {L"open", L"  [.txt] - Morva Lumox Choices "},
        {L"Open", L"  [.txt] - Morva Lumox Choices "},
        {L"opennew", L"  [.txt] - Morva Lumox Choices "},
        {L"new", L"  [.txt] - Morva Lumox Choices "},
        {L"play", L"  [.txt] - Morva Lumox Choices "},
        {L"openas", L"  [*] - Morva Lumox Choices "},
        {L"Open With...", L"  [*] - Morva Lumox Choices "},
        {L"OPENAS  ", L"  [*] - Morva Lumox Choices "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verb);
        services.shownCaption.clear();
        EXPECT_EQ(Run(Request(c.verb, report)), 0);
        EXPECT_EQ(services.shownCaption, c.caption);
    }
}

TEST_F(RundelTest, AFileWithoutDotLooksUpTheDotKey) {
    const std::wstring plain = folder + L"\\README";
    WriteFileText(plain, "x");
    services.data.AddList.Add(Other(L".txt"));
    EXPECT_EQ(Run(Request(L"open", plain)), 1);
    EXPECT_EQ(services.loads, 1);
    EXPECT_EQ(services.lists, 0);
    services.data.AddList.Add(Other(L"."));
    EXPECT_EQ(Run(Request(L"open", plain)), 0);
    EXPECT_EQ(services.shownCaption, L"  [.] - Morva Lumox Choices ");
}

TEST_F(RundelTest, ADefaultProgramStartsAtOnceEvenWithAddEntries) {
    services.data.AddList.Add(Other(L".txt"));
    services.data.AddList.Add(Other(L".txt", L"Beta - Viewer"));
    services.data.DefList.Add(Entry(L".doc", L"X - Y", L"1.0", L"OK-D", L"C:\\X\\y.exe", L"C:\\X\\Y.EXE"));
    services.data.DefList.Add(Entry(L".TXT", L"Def - Prog", L"1.0", L"OK-D", L"C:\\Def\\prog.exe", L"C:\\DEF\\PROG.EXE"));
    bool armedDuringLaunch = false;
    services.onLaunch = [&] { armedDuringLaunch = Armed(); };
    EXPECT_EQ(Run(Request(L"play", report)), 0);
    EXPECT_EQ(services.lists, 0);
    ASSERT_EQ(services.launched.size(), 1u);
    EXPECT_EQ(services.launched[0].program, L"C:\\Def\\prog.exe");
    EXPECT_EQ(services.launched[0].file, shortReport);
    // A program file has only "open": the request's own verb is not passed on.
    EXPECT_EQ(services.launched[0].verb, L"");
    EXPECT_TRUE(armedDuringLaunch);
    EXPECT_FALSE(Armed());
}

TEST_F(RundelTest, TheRowsOfTheList) {
    const std::wstring sameAsWindows =
        Entry(L".txt", L"Wine - Text Editor", L"6.1", L"OK-A", L"C:\\windows\\notepad.exe", L"c:\\windows\\notepad.exe");
    struct Case {
        const wchar_t* name;
        std::vector<std::wstring> add;
        std::wstring windows;
        bool windowsRaises;
        std::vector<std::wstring> texts;
        std::vector<std::wstring> extra;
        long answerForNoList;  // the result when no list is shown (0 = a list is shown)
    } cases[] = {
        {L"one other program and the Windows program", {Other(L".txt")}, kWindowsRecord, false,
         {L"Acme - Editor", L"Wine - Text Editor"}, {L"2.0", L"6.1.7601.17514    [Windows Default]"}, 0},
        {L"one entry that is the Windows program: one row, declined", {sameAsWindows}, kWindowsRecord, false, {}, {}, 1},
        {L"the Windows program among two entries is marked, not added", {Other(L".txt"), sameAsWindows},
         kWindowsRecord, false, {L"Acme - Editor", L"Wine - Text Editor"}, {L"2.0", L"6.1    [Windows Default]"}, 0},
        {L"only the first of two matching entries is marked", {sameAsWindows, sameAsWindows}, kWindowsRecord, false,
         {L"Wine - Text Editor", L"Wine - Text Editor"}, {L"6.1    [Windows Default]", L"6.1"}, 0},
        {L"no Windows program", {Other(L".txt")}, L"", false,
         {L"Acme - Editor", L"Windows Default"}, {L"2.0", L"No version info."}, 0},
        {L"describing the Windows program failed", {Other(L".txt")}, kWindowsRecord, true,
         {L"Acme - Editor", L"Windows Default"}, {L"2.0", L"No version info."}, 0},
        {L"no Add entry for the extension", {Other(L".doc")}, kWindowsRecord, false, {}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services.data.AddList.Clear();
        for (const auto& line : c.add) services.data.AddList.Add(line);
        services.windowsRecord = c.windows;
        services.windowsRaises = c.windowsRaises;
        services.lists = 0;
        services.shownRows.clear();
        const long result = Run(Request(L"open", report));
        if (c.answerForNoList != 0) {
            EXPECT_EQ(result, c.answerForNoList);
            EXPECT_EQ(services.lists, 0);
            continue;
        }
        EXPECT_EQ(result, 0);  // closed without a choice
        ASSERT_EQ(services.shownRows.size(), c.texts.size());
        for (size_t i = 0; i < c.texts.size(); ++i) {
            EXPECT_EQ(services.shownRows[i].text, c.texts[i]);
            EXPECT_EQ(services.shownRows[i].extraInfo, c.extra[i]);
            EXPECT_EQ(services.shownRows[i].tag, static_cast<long>(i));
            EXPECT_EQ(services.shownRows[i].color, 0u);
        }
    }
    EXPECT_TRUE(services.launched.empty());
    EXPECT_EQ(services.windowsFile, report);
}

TEST_F(RundelTest, AnAliasedProgramIsListedUnderItsAliasInBlue) {
    services.data.AddList.Add(Other(L".txt", L"Missing info. - Missing info.", L"No version info."));
    services.aliases[L"Missing info. - Missing info."] = AliasShown{L"Home", L"Notes", L"1.5"};
    services.windowsRecord = L"";
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    ASSERT_EQ(services.shownRows.size(), 2u);
    EXPECT_EQ(services.shownRows[0].text, L"Home - Notes");
    EXPECT_EQ(services.shownRows[0].extraInfo, L"1.5");
    EXPECT_EQ(services.shownRows[0].color, kAliasColour);
    // The look-up gets the program's own fields: description, version, status, long and short path.
    ASSERT_EQ(services.aliasQueries.size(), 1u);
    EXPECT_EQ(services.aliasQueries[0],
              (std::vector<std::wstring>{L"Missing info. - Missing info.", L"No version info.", L"OK-A",
                                         L"C:\\Acme\\Missing info. - Missing info..exe", L"C:\\ACME\\EDITOR.EXE"}));
}

TEST_F(RundelTest, WhatTheChoiceGives) {
    services.data.AddList.Add(Other(L".txt", L"Acme - Editor"));
    services.data.AddList.Add(Other(L".txt", L"Beta - Viewer"));
    const struct {
        const wchar_t* name;
        long chosen;
        long result;
        const wchar_t* program;
    } cases[] = {
        {L"closed without a choice", -1, 0, nullptr},
        {L"the first row", 1, 0, L"C:\\Acme\\Acme - Editor.exe"},
        {L"the second row", 2, 0, L"C:\\Acme\\Beta - Viewer.exe"},
        {L"the Windows row", 3, 1, nullptr},
        {L"no usable list height", kListNotSized, 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        services.launched.clear();
        services.listAnswer = c.chosen;
        EXPECT_EQ(Run(Request(L"open", report)), c.result);
        if (c.program) {
            ASSERT_EQ(services.launched.size(), 1u);
            EXPECT_EQ(services.launched[0].program, c.program);
            EXPECT_EQ(services.launched[0].file, shortReport);
            EXPECT_EQ(services.launched[0].verb, L"");
        } else {
            EXPECT_TRUE(services.launched.empty());
        }
        EXPECT_FALSE(Armed());
    }
}

TEST_F(RundelTest, AFailedStartLeavesTheOpenToWindows) {
    services.data.AddList.Add(Other(L".txt"));
    services.listAnswer = 1;
    services.launchResult = 2;  // file not found
    EXPECT_EQ(Run(Request(L"open", report)), 1);
    EXPECT_FALSE(Armed());
    services.data.DefList.Add(Other(L".txt"));
    EXPECT_EQ(Run(Request(L"open", report)), 1);
    EXPECT_FALSE(Armed());
}

TEST_F(RundelTest, TheLaunchsOwnRequestIsDeclinedAndConsumesTheMarker) {
    services.data.AddList.Add(Other(L".txt"));
    services.listAnswer = 1;
    long nested = -1;
    int listsBeforeNested = 0;
    bool armedDuringLaunch = false, consumedByNested = false;
    services.onLaunch = [&] {
        // The shell's start of the program comes back through the hook, into this process.
        services.onLaunch = nullptr;
        listsBeforeNested = services.lists;
        armedDuringLaunch = Armed();
        nested = Run(Request(L"open", L"C:\\Acme\\Acme - Editor.exe"));
        // The nested request itself put the marker back to rest, before the launch returned.
        consumedByNested = !Armed() && Exists(markers + L"\\Bl1.ok");
    };
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(armedDuringLaunch);
    EXPECT_TRUE(consumedByNested);
    EXPECT_EQ(services.lists, listsBeforeNested);
    EXPECT_TRUE(Exists(markers + L"\\Bl1.ok"));
    EXPECT_FALSE(Armed());
}

TEST_F(RundelTest, ALaunchWhoseRequestNeverCameBackDoesNotSkipTheNextOpen) {
    services.data.AddList.Add(Other(L".txt"));
    services.listAnswer = 1;
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_FALSE(Armed());
    services.listAnswer = -1;
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(services.lists, 2);
}

TEST_F(RundelTest, AnArmedMarkerDeclinesOnceBeforeAnythingElse) {
    services.data.AddList.Add(Other(L".txt"));
    SetIgnoreMarker(markers);
    EXPECT_EQ(Run(Request(L"open", report)), 1);
    EXPECT_EQ(services.loads, 0);
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(services.lists, 1);
}

TEST_F(RundelTest, ARequestWhileTheListIsOpenGoesToTheShell) {
    services.data.AddList.Add(Other(L".txt"));
    long nested = -1;
    services.onList = [&] {
        services.onList = nullptr;
        nested = Run(Request(L"open", report));
    };
    services.listAnswer = 1;
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(services.lists, 1);
    EXPECT_EQ(services.loads, 1);
    ASSERT_EQ(services.launched.size(), 1u);
    // And while the data is being loaded (the archive's waits let messages run too).
    services.onLoad = [&] {
        services.onLoad = nullptr;
        nested = Run(Request(L"open", report));
    };
    nested = -1;
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(nested, 1);
}

TEST_F(RundelTest, ARemovedWindowsProgramGetsNoRow) {
    services.data.RemoveList.Add(Other(L".txt", L"Wine - Text Editor"));
    services.data.AddList.Add(Other(L".txt", L"Acme - Editor"));
    // One program left: it starts without the list.
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    EXPECT_EQ(services.lists, 0);
    ASSERT_EQ(services.launched.size(), 1u);
    EXPECT_EQ(services.launched[0].program, L"C:\\Acme\\Acme - Editor.exe");
    EXPECT_FALSE(Armed());
    // Two: the list shows them and nothing else.
    services.data.AddList.Add(Other(L".txt", L"Beta - Viewer"));
    services.listAnswer = 2;
    EXPECT_EQ(Run(Request(L"open", report)), 0);
    ASSERT_EQ(services.shownRows.size(), 2u);
    EXPECT_EQ(services.shownRows[1].text, L"Beta - Viewer");
    EXPECT_EQ(services.launched.back().program, L"C:\\Acme\\Beta - Viewer.exe");
    EXPECT_EQ(services.windowsLookups, 0);
}

TEST_F(RundelTest, DamagedDataDeclinesWithoutAMessage) {
    services.data.AddList.Add(Other(L".txt"));
    services.loadOk = false;
    services.onLoad = [] { MessageHandler(MessageBase + 4502); };
    EXPECT_EQ(Run(Request(L"open", report)), 1);
    EXPECT_EQ(services.lists, 0);
    // An empty override line is an error inside the look-up: declined, and still no box.
    services.loadOk = true;
    services.onLoad = nullptr;
    services.data.DefList.Add(L"");
    EXPECT_EQ(Run(Request(L"open", report)), 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(boxes.beeps, 0);
}
