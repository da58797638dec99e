#include <gtest/gtest.h>

#include <algorithm>

#include "DataTestSupport.h"
#include "UiTestForms.h"
#include "basProgramList.h"
#include "basUserChoices.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"

namespace {

const wchar_t kAcme[] = L".txt|Acme - Editor|2.1|OK-A|C:\\Tools\\Edit.exe|C:\\TOOLS\\EDIT.EXE";
const wchar_t kViewer[] = L".jpg|Pix - Viewer|1.0|OK-A|C:\\Pix\\View.exe|C:\\PIX\\VIEW.EXE";
const wchar_t kGone[] = L".txt|Old - Writer|3.0|SD-A|C:\\Old\\Write.exe|C:\\OLD\\WRITE.EXE";
const wchar_t kGoneDef[] = L".doc|Old - Writer|3.0|SD-D|C:\\Old\\Write.exe|C:\\OLD\\WRITE.EXE";

// Entries that a clean-up keeps although the program list lacks them, and the report's headings.
const wchar_t kOtherDrive[] = L".txt|Far - Away|1.0|OK-A|Q:\\Tools\\far.exe|Q:\\TOOLS\\FAR.EXE";
const wchar_t kShare[] = L".txt|Net - Tool|1.0|OK-A|\\\\server\\apps\\net.exe|\\\\server\\apps\\net.exe";
const wchar_t kRemoved[] = L"The following associations have been removed";
const wchar_t kStillThere[] = L"their program files are still there";
const wchar_t kNotScanned[] = L"are on drives on which the scan found no programs";

// A program on drive C: that the list lacks but whose file is there.
std::wstring KeptOnDisk() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring present = std::wstring(system) + L"\\notepad.exe";
    EXPECT_NE(GetFileAttributesW(present.c_str()), INVALID_FILE_ATTRIBUTES);
    return L".txt|Pad - Notes|5.1|OK-A|" + present + L"|" + present;
}

std::vector<std::wstring> Entries(const vb::List<std::wstring>& list) { return {list.begin(), list.end()}; }

void SetList(vb::List<std::wstring>& list, const std::vector<std::wstring>& entries) {
    list.Clear();
    for (const std::wstring& e : entries) list.Add(e);
}

class UserChoicesTest : public DataFolderTest {
protected:
    void SetUp() override {
        DataFolderTest::SetUp();
        AddList().Clear();
        RemoveList().Clear();
        DefList().Clear();
        StaleEntries().Clear();
        SetProgramLines({});
    }
    // The program list: the programs that are still installed.
    static void InstallPrograms() {
        SetProgramLines({L"Acme - Editor|2.1|OK|C:\\Tools\\Edit.exe|C:\\TOOLS\\EDIT.EXE",
                         L"Pix - Viewer|1.0|OK|C:\\Pix\\View.exe|C:\\PIX\\VIEW.EXE"});
    }
};

TEST_F(UserChoicesTest, FilesLoadIntoTheirListsAndSaveBackUnchanged) {
    const std::string add = std::string("Plain|line\r\n") + "Caf\xE9|accented\r\n" + "\r\n" + "last|line\r\n";
    WriteBytes(Path(L"TesselAdd.dat"), add);
    WriteBytes(Path(L"TesselDel.dat"), "");
    WriteBytes(Path(L"TesselDef.dat"), "no|line end");
    FakeOptionsWindow options;
    GetUserChoices(false);

    EXPECT_EQ(Entries(AddList()),
              (std::vector<std::wstring>{L"Plain|line", vb::FromAnsi("Caf\xE9|accented"), L"", L"last|line"}));
    EXPECT_EQ(RemoveList().UBound(), 0);
    EXPECT_EQ(Entries(DefList()), std::vector<std::wstring>{L"no|line end"});

    SaveUserChoices(true);
    EXPECT_EQ(ReadBytes(Path(L"TesselAdd.dat")), add);
    EXPECT_EQ(ReadBytes(Path(L"TesselDel.dat")), "");
    EXPECT_EQ(ReadBytes(Path(L"TesselDef.dat")), "no|line end\r\n");
    EXPECT_FALSE(options.needToSave);
    EXPECT_TRUE(boxes.shown.empty());
    // Nothing half-written stays beside the files.
    EXPECT_FALSE(Exists(Path(L"TesselAdd.dat.new")));
}

TEST_F(UserChoicesTest, ALongFileLoadsCompletely) {
    std::string text;
    for (int i = 1; i <= 2500; ++i) text += ".e" + std::to_string(i) + "|P|1|OK-A|C:\\p.exe|C:\\P.EXE\r\n";
    WriteBytes(Path(L"TesselAdd.dat"), text);
    LoadUserChoiceFile(Path(L"TesselAdd.dat"));
    ASSERT_EQ(AddList().UBound(), 2500);
    EXPECT_EQ(AddList()[1], L".e1|P|1|OK-A|C:\\p.exe|C:\\P.EXE");
    EXPECT_EQ(AddList()[2500], L".e2500|P|1|OK-A|C:\\p.exe|C:\\P.EXE");
}

TEST_F(UserChoicesTest, TheFileNamePicksTheList) {
    struct Case {
        const wchar_t* name;
        vb::List<std::wstring>* list;  // nullptr: no list takes it
    };
    const Case cases[] = {
        {L"TesselAdd.dat", &AddList()}, {L"TESSELDEL.DAT", &RemoveList()}, {L"myDef.Dat", &DefList()},
        {L"Tesselcat.xml", nullptr},    {L"TesselExe.dat", nullptr},       {L"Add.dat.bak", nullptr},
    };
    for (const Case& c : cases) {
        SetList(AddList(), {L"a"});
        SetList(RemoveList(), {L"r"});
        SetList(DefList(), {L"d"});
        WriteBytes(Path(c.name), "loaded\r\n");
        LoadUserChoiceFile(Path(c.name));
        for (vb::List<std::wstring>* list : {&AddList(), &RemoveList(), &DefList()}) {
            bool picked = list == c.list;
            ASSERT_EQ(list->UBound(), 1) << vb::ToAnsi(c.name);
            EXPECT_EQ((*list)[1] == L"loaded", picked) << vb::ToAnsi(c.name);
        }
        DeleteFileW(Path(c.name).c_str());
    }
    // A missing file leaves its list as it was.
    SetList(AddList(), {L"kept"});
    LoadUserChoiceFile(Path(L"TesselAdd.dat"));
    EXPECT_EQ(Entries(AddList()), std::vector<std::wstring>{L"kept"});
}

TEST_F(UserChoicesTest, RemoveUserChoiceCases) {
    struct Case {
        const wchar_t* listName;
        std::vector<std::wstring> before;
        long index;
        std::vector<std::wstring> after;
    };
    const Case cases[] = {
        {L"Add", {L"only"}, 1, {}},
        {L"add", {L"one", L"two", L"three"}, 1, {L"two", L"three"}},
        {L"ADD", {L"one", L"two", L"three"}, 2, {L"one", L"three"}},
        {L"Add", {L"one", L"two", L"three"}, 3, {L"one", L"two"}},
        {L"Other", {L"one", L"two"}, 1, {L"one", L"two"}},
    };
    for (const Case& c : cases) {
        SetList(AddList(), c.before);
        RemoveUserChoice(c.listName, c.index);
        EXPECT_EQ(Entries(AddList()), c.after) << vb::ToAnsi(c.listName) << " " << c.index;
    }
    SetList(RemoveList(), {L"r1", L"r2"});
    SetList(DefList(), {L"d1"});
    RemoveUserChoice(L"Remove", 2);
    RemoveUserChoice(L"def", 1);
    EXPECT_EQ(Entries(RemoveList()), std::vector<std::wstring>{L"r1"});
    EXPECT_TRUE(DefList().IsEmpty());
    // An index outside the list is an error for the caller.
    SetList(AddList(), {L"one"});
    for (long bad : {0L, 2L, -1L}) EXPECT_THROW(RemoveUserChoice(L"Add", bad), vb::Error) << bad;
    EXPECT_EQ(Entries(AddList()), std::vector<std::wstring>{L"one"});
}

TEST_F(UserChoicesTest, DescribeUserChoiceLabelsEachField) {
    EXPECT_EQ(DescribeUserChoice(vb::Split(kGone, L"|")),
              L"Status:     SD-A\r\n"
              L"Extension:  .txt\r\n"
              L"Program:    Old - Writer 3.0\r\n"
              L"Short Path: C:\\OLD\\WRITE.EXE\r\n"
              L"Long Path:  C:\\Old\\Write.exe");
}

TEST_F(UserChoicesTest, CleanUpDropsStaleEntriesReportsThemAndSaves) {
    InstallPrograms();
    const std::wstring malformed = L".txt|Old - Writer|3.0";
    SetList(AddList(), {kAcme, kGone, L"", malformed, kGone, kViewer});
    SetList(RemoveList(), {kViewer});
    SetList(DefList(), {kGoneDef});
    FakeOptionsWindow options;
    CleanUserData();

    EXPECT_EQ(Entries(AddList()), (std::vector<std::wstring>{kAcme, L"", malformed, kViewer}));
    EXPECT_EQ(Entries(RemoveList()), std::vector<std::wstring>{kViewer});
    EXPECT_TRUE(DefList().IsEmpty());
    ASSERT_EQ(StaleEntries().UBound(), 2);
    EXPECT_EQ(StaleEntries()[1], vb::Split(kGone, L"|"));
    EXPECT_EQ(StaleEntries()[2], vb::Split(kGoneDef, L"|"));

    ASSERT_EQ(options.infoShown.size(), 1u);
    EXPECT_EQ(options.infoShown[0],
              L"The following associations have been removed because they are referring to programs that no longer "
              L"exist on your computer.\r\n\r\n"
              L"Status:     SD-A\r\nExtension:  .txt\r\nProgram:    Old - Writer 3.0\r\n"
              L"Short Path: C:\\OLD\\WRITE.EXE\r\nLong Path:  C:\\Old\\Write.exe\r\n\r\n"
              L"Status:     SD-D\r\nExtension:  .doc\r\nProgram:    Old - Writer 3.0\r\n"
              L"Short Path: C:\\OLD\\WRITE.EXE\r\nLong Path:  C:\\Old\\Write.exe\r\n\r\n");
    // The lists are saved without the stale entries; the malformed line stays in its file.
    EXPECT_EQ(ReadBytes(Path(L"TesselAdd.dat")),
              vb::ToAnsi(std::wstring(kAcme) + L"\r\n\r\n" + malformed + L"\r\n" + kViewer + L"\r\n"));
    EXPECT_EQ(ReadBytes(Path(L"TesselDef.dat")), "");
    EXPECT_TRUE(boxes.shown.empty());
}

// Names outside the code page read back as "?" or best-fit letters, so the list as read may not be
// in the order its look-up expects; no present program may be judged gone for that.
TEST_F(UserChoicesTest, CleanUpKeepsProgramsWhoseNamesLeaveTheCodePage) {
    std::vector<std::wstring> wide = {
        L"Acme - Alpha|1.0|OK|C:\\A\\alpha.exe|C:\\A\\ALPHA.EXE",
        L"Acme - \x0141\x00f3d\x017a Editor|1.0|OK|C:\\L\\lodz.exe|C:\\L\\LODZ.EXE",
        L"Acme - Beta|1.0|OK|C:\\B\\beta.exe|C:\\B\\BETA.EXE",
        L"Acme - \x0416\x0443\x043a|2.0|OK|C:\\Z\\zhuk.exe|C:\\Z\\ZHUK.EXE",
        L"Acme - \x4e2d\x6587|3.0|OK|C:\\C\\cjk.exe|C:\\C\\CJK.EXE",
        L"Acme - Gamma|1.0|OK|C:\\G\\gamma.exe|C:\\G\\GAMMA.EXE",
        L"Acme - \x00c7a\x011f|1.0|OK|C:\\T\\cag.exe|C:\\T\\CAG.EXE",
        L"Zeta - Last|1.0|OK|C:\\Z\\last.exe|C:\\Z\\LAST.EXE",
    };
    // In the order of the wide names, then as the file gives them back.
    std::sort(wide.begin(), wide.end(), [](const std::wstring& a, const std::wstring& b) {
        return vb::StrComp(GetExeLineKey(a), GetExeLineKey(b), vb::BinaryCompare) < 0;
    });
    std::vector<std::wstring> lines, entries;
    for (const std::wstring& line : wide) {
        lines.push_back(vb::FromAnsi(vb::ToAnsi(line)));
        const std::vector<std::wstring> f = vb::Split(lines.back(), L"|");
        entries.push_back(L".x|" + f[0] + L"|" + f[1] + L"|" + f[2] + L"-A|" + f[3] + L"|" + f[4]);
    }
    SetProgramLines(lines);
    SetList(AddList(), entries);
    FakeOptionsWindow options;
    CleanUserData();
    EXPECT_EQ(Entries(AddList()), entries);
    EXPECT_EQ(StaleEntries().UBound(), 0);
    EXPECT_TRUE(options.infoShown.empty());
}

// A program that this scan did not list loses its settings only when it is really gone.
TEST_F(UserChoicesTest, CleanUpKeepsProgramsStillOnDiskOrOnDrivesNotScanned) {
    InstallPrograms();  // the scan covered C: only
    const std::vector<std::wstring> kept = {KeptOnDisk(), kOtherDrive, kShare};
    SetList(AddList(), {kept[0], kGone, kept[1], kept[2]});
    FakeOptionsWindow options;
    CleanUserData(CleanUpAfter::Scan);
    EXPECT_EQ(Entries(AddList()), kept);
    ASSERT_EQ(StaleEntries().UBound(), 1);
    ASSERT_EQ(options.infoShown.size(), 1u);
    const std::wstring& report = options.infoShown[0];
    EXPECT_NE(report.find(L"Old - Writer"), std::wstring::npos);
    const size_t keptPart = report.find(L"have been kept");
    ASSERT_NE(keptPart, std::wstring::npos);
    for (const wchar_t* name : {L"Pad - Notes", L"Far - Away", L"Net - Tool"})
        EXPECT_GT(report.find(name), keptPart) << vb::ToAnsi(name);
    EXPECT_LT(report.find(L"Old - Writer"), keptPart);
}

// Each kept entry is told under what happened to it. The drive comes first: a program that is
// still on a drive the scan did not cover (an offline share, a drive without its disk) is never
// looked for there.
TEST_F(UserChoicesTest, TheReportSaysWhyEachEntryWasKept) {
    InstallPrograms();  // the scan covered C: only
    const std::wstring self = vb::ModuleFileName(nullptr);
    ASSERT_FALSE(vb::TextEquals(self.substr(0, 2), L"C:")) << "the tests run from a drive of their own";
    const std::wstring presentElsewhere = L".txt|Test - Runner|1.0|OK-A|" + self + L"|" + self;
    struct Case {
        std::wstring entry;
        const wchar_t* name;
        const wchar_t* group;
    };
    const Case cases[] = {
        {KeptOnDisk(), L"Pad - Notes", kStillThere},
        {presentElsewhere, L"Test - Runner", kNotScanned},
        {kOtherDrive, L"Far - Away", kNotScanned},
        {kShare, L"Net - Tool", kNotScanned},
        {kGone, L"Old - Writer", kRemoved},
    };
    std::vector<std::wstring> entries;
    for (const Case& c : cases) entries.push_back(c.entry);
    SetList(AddList(), entries);
    FakeOptionsWindow options;
    CleanUserData(CleanUpAfter::Scan);
    ASSERT_EQ(options.infoShown.size(), 1u);
    const std::wstring& report = options.infoShown[0];
    // The groups in the order they are told; each entry lies between its heading and the next.
    const std::vector<const wchar_t*> headings = {kRemoved, kStillThere, kNotScanned};
    std::vector<size_t> at;
    for (const wchar_t* heading : headings) {
        at.push_back(report.find(heading));
        ASSERT_NE(at.back(), std::wstring::npos) << vb::ToAnsi(heading);
    }
    at.push_back(report.size());
    for (const Case& c : cases) {
        SCOPED_TRACE(vb::ToAnsi(c.name));
        const size_t g = static_cast<size_t>(
            std::find_if(headings.begin(), headings.end(), [&](const wchar_t* h) { return h == c.group; }) -
            headings.begin());
        const size_t where = report.find(c.name);
        EXPECT_GT(where, at[g]);
        EXPECT_LT(where, at[g + 1]);
    }
}

// What was kept is told once, by the clean-up that follows a scan; the clean-ups of the window's
// start and of a change to the extension list tell only what they removed.
TEST_F(UserChoicesTest, KeptEntriesAreReportedOnlyRightAfterAScan) {
    InstallPrograms();
    struct Case {
        const char* what;
        bool withVanished;  // an entry whose program is gone as well
        CleanUpAfter first, second;
        bool firstTellsRemoved, firstTellsKept, secondReports;
    };
    const Case cases[] = {
        {"two starts, nothing vanished", false, CleanUpAfter::Load, CleanUpAfter::Load, false, false, false},
        {"two starts, a program vanished", true, CleanUpAfter::Load, CleanUpAfter::Load, true, false, false},
        {"a scan, then a start", true, CleanUpAfter::Scan, CleanUpAfter::Load, true, true, false},
        {"a scan that removes nothing, then a start", false, CleanUpAfter::Scan, CleanUpAfter::Load, false, true,
         false},
        {"two scans", false, CleanUpAfter::Scan, CleanUpAfter::Scan, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> entries = {KeptOnDisk(), kOtherDrive, kShare};
        if (c.withVanished) entries.push_back(kGone);
        SetList(AddList(), entries);
        StaleEntries().Clear();
        FakeOptionsWindow options;
        CleanUserData(c.first);
        const std::wstring first = options.infoShown.empty() ? std::wstring() : options.infoShown[0];
        EXPECT_EQ(options.infoShown.size(), c.firstTellsRemoved || c.firstTellsKept ? 1u : 0u);
        EXPECT_EQ(first.find(kRemoved) != std::wstring::npos, c.firstTellsRemoved);
        EXPECT_EQ(first.find(L"have been kept") != std::wstring::npos, c.firstTellsKept);
        EXPECT_EQ(first.find(L"Far - Away") != std::wstring::npos, c.firstTellsKept);
        EXPECT_EQ(first.find(L"this scan"), std::wstring::npos) << "no scan of its own to speak of";

        options.infoShown.clear();
        CleanUserData(c.second);
        EXPECT_EQ(options.infoShown.size(), c.secondReports ? 1u : 0u);
        // Whatever was told, nothing the user still has was dropped.
        entries.resize(3);
        EXPECT_EQ(Entries(AddList()), entries);
    }
}

TEST_F(UserChoicesTest, CleanUpWithNothingStaleOrNoProgramListChangesNothing) {
    FakeOptionsWindow options;
    for (bool programs : {true, false}) {
        SetProgramLines({});
        if (programs) InstallPrograms();
        const std::vector<std::wstring> add = programs ? std::vector<std::wstring>{kAcme, kViewer}
                                                       : std::vector<std::wstring>{kAcme, kGone};
        SetList(AddList(), add);
        SetList(DefList(), {kGoneDef});
        if (programs) DefList().Clear();
        CleanUserData();
        EXPECT_EQ(Entries(AddList()), add) << programs;
        EXPECT_EQ(StaleEntries().UBound(), 0) << programs;
        EXPECT_TRUE(options.infoShown.empty()) << programs;
        EXPECT_FALSE(Exists(Path(L"TesselAdd.dat"))) << programs;
    }
}

TEST_F(UserChoicesTest, GetUserChoicesCleansOnlyWhenAsked) {
    InstallPrograms();
    WriteBytes(Path(L"TesselAdd.dat"), vb::ToAnsi(std::wstring(kAcme) + L"\r\n" + kGone + L"\r\n"));
    GetUserChoices(false);
    EXPECT_EQ(AddList().UBound(), 2);
    GetUserChoices(true);
    EXPECT_EQ(Entries(AddList()), std::vector<std::wstring>{kAcme});
    EXPECT_EQ(StaleEntries().UBound(), 1);
}

TEST_F(UserChoicesTest, RemoveStaleNodesRemovesTheirTreeNodesThenSaves) {
    FakeOptionsWindow options;
    options.nodesToRemove.Add(reinterpret_cast<HTREEITEM>(101));
    options.nodesToRemove.Add(reinterpret_cast<HTREEITEM>(202));
    RemoveStaleNodes();  // nothing collected: nothing asked, nothing saved
    EXPECT_EQ(options.nodesAsked, 0);
    EXPECT_FALSE(Exists(Path(L"TesselAdd.dat")));

    SetList(AddList(), {kAcme});
    AddStaleNode(vb::Split(kGone, L"|"));
    AddStaleNode(vb::Split(L".TXT|old - writer|3.0|sd-a|c:\\old\\write.exe|C:\\OLD\\WRITE.EXE", L"|"));
    EXPECT_EQ(StaleEntries().UBound(), 1);  // equal without regard to case: kept once
    RemoveStaleNodes();
    EXPECT_EQ(options.nodesAsked, 1);
    ASSERT_EQ(options.removed.size(), 2u);
    EXPECT_EQ(options.removed[0], std::make_pair(reinterpret_cast<HTREEITEM>(101), false));
    EXPECT_EQ(options.removed[1], std::make_pair(reinterpret_cast<HTREEITEM>(202), false));
    EXPECT_EQ(StaleEntries().UBound(), 0);
    EXPECT_FALSE(options.needToSave);
    EXPECT_EQ(ReadBytes(Path(L"TesselAdd.dat")), vb::ToAnsi(std::wstring(kAcme) + L"\r\n"));
}

TEST_F(UserChoicesTest, SaveWithoutTheFlagWritesNothing) {
    FakeOptionsWindow options;
    SetList(AddList(), {kAcme});
    SaveUserChoices(false);
    EXPECT_FALSE(Exists(Path(L"TesselAdd.dat")));
    EXPECT_FALSE(Exists(Path(L"Tesselma.xml")));
    EXPECT_TRUE(options.needToSave);
}

TEST_F(UserChoicesTest, AFailedSaveIsReportedKeepsTheOldFileAndCanBeRetried) {
    FakeOptionsWindow options;
    WriteBytes(Path(L"TesselAdd.dat"), "old|entry\r\n");
    // The new file cannot be made beside the old one.
    ASSERT_TRUE(CreateDirectoryW(Path(L"TesselAdd.dat.new").c_str(), nullptr));
    SetList(AddList(), {kAcme});
    vb::SetScreenMousePointer(vb::vbDefault);
    SaveUserChoices(true);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"SaveUserChoices"), std::wstring::npos) << vb::ToAnsi(boxes.shown[0].prompt);
    EXPECT_EQ(ReadBytes(Path(L"TesselAdd.dat")), "old|entry\r\n");
    EXPECT_TRUE(options.needToSave);
    EXPECT_EQ(vb::ScreenMousePointer(), vb::vbDefault);

    RemoveDirectoryW(Path(L"TesselAdd.dat.new").c_str());
    SaveUserChoices(true);  // not left marked as busy
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(ReadBytes(Path(L"TesselAdd.dat")), vb::ToAnsi(std::wstring(kAcme) + L"\r\n"));
    EXPECT_FALSE(options.needToSave);
}

TEST_F(UserChoicesTest, ListRowGivesTheProgramFields) {
    TestForm form;
    auto& list = form.Put<win::ListView>(nullptr, L"lvwPrograms", -1, win::Rect{0, 0, 300, 200}, true);
    for (const wchar_t* header : {L"Status", L"Version", L"Programs", L"Executable", L"File Path", L"Short"})
        list.AddColumn(header, 50);
    int row = list.AddItem(L"OK");
    const wchar_t* sub[] = {L"2.1", L"Acme - Editor", L"Edit.exe", L"C:\\Tools", L"C:\\TOOLS\\EDIT.EXE"};
    for (int c = 1; c <= 5; ++c) list.SetSubItem(row, c, sub[c - 1]);
    EXPECT_EQ(GetListItemFields(list, row),
              (std::vector<std::wstring>{L"Acme - Editor", L"2.1", L"OK", L"C:\\Tools\\Edit.exe", L"C:\\TOOLS\\EDIT.EXE"}));
}

}  // namespace
