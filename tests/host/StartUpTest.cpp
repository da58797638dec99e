// The start routine and the registration of the components in the Programs folder, with the
// registry redirected to scratch keys and the program folder a temporary one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "FakePresenter.h"
#include "HostMessages.h"
#include "HostTestSupport.h"
#include "TestSupport.h"
#include "basErrorHandler.h"
#include "basHookNames.h"
#include "basHostShared.h"
#include "basMain.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace hosttest;

namespace {

const std::wstring kHiddenSwitchKey = L"CLSID\\{FA4FEBC3-4591-11CE-95E5-00AA0051E510}\\LocalServer32";

std::string ReadFileText(const std::wstring& path) {
    std::string text;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return text;
    char buffer[1024];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
}

void WriteFileText(const std::wstring& path, const std::string& text) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

// The windows of the start as a list of what was asked of them.
class FakeWindows : public HostWindows {
public:
    std::wstring ShowSplash() override {
        calls.push_back(L"splash");
        return L"";
    }
    void LoadFrame() override { calls.push_back(L"load"); }
    void ShowLatestVersionTip() override { calls.push_back(L"tip"); }
    void ShowFrame() override { calls.push_back(L"show"); }
    HostFrame* Frame() override { return nullptr; }
    std::vector<std::wstring> calls;
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::SetProjectName(L"HostTests");
        InstallHostMessages();
        ErrorHandler(ehClearAll);
        folder_ = testsupport::FreshTempFolder(L"HostStartUp");
        SetHostProgramFolderOverride(folder_);
        CreateDirectoryW(Programs().c_str(), nullptr);
        log_ = folder_ + L"\\registrations.log";
        SetEnvironmentVariableW(L"LUMOX_HOST_REG_LOG", log_.c_str());
        SetEnvironmentVariableW(L"LUMOX_HOST_RUN_LOG", (folder_ + L"\\runs.log").c_str());
        baseLevel_ = StackLevel();
    }
    void TearDown() override {
        EXPECT_EQ(StackLevel(), baseLevel_);
        SetEnvironmentVariableW(L"LUMOX_HOST_REG_LOG", nullptr);
        SetEnvironmentVariableW(L"LUMOX_HOST_REG_FAIL", nullptr);
        SetEnvironmentVariableW(L"LUMOX_HOST_RUN_LOG", nullptr);
        SetHostProgramFolderOverride(L"");
        SetStartUpSystemFolderOverride(L"");
        testsupport::RemoveTree(folder_);
        ErrorHandler(ehClearAll);
    }

    std::wstring Programs() const { return folder_ + L"\\Programs"; }
    void CopyIntoPrograms(const wchar_t* built, const wchar_t* as) {
        ASSERT_TRUE(CopyFileW((TestFolder() + L"\\" + built).c_str(), (Programs() + L"\\" + as).c_str(), FALSE));
    }
    std::set<std::wstring> StoredProducts() const {
        std::set<std::wstring> values;
        for (const std::wstring& name : ValueNames(HKEY_LOCAL_MACHINE, HostSubkey(L"0")))
            values.insert(name + L"=" + ReadString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), name.c_str()).value_or(L"?"));
        return values;
    }

    RegistryRedirect redirect_;
    FakePresenter presenter_;
    std::wstring folder_;
    std::wstring log_;
    short baseLevel_ = 0;
};

}  // namespace

TEST(ExtractVersion, ReadsTheTrailingVersionOfAValueName) {
    struct Case {
        const wchar_t* text;
        unsigned short major, minor, build, revision;
    };
    const Case cases[] = {
        {L"Sendrik.dll20.0.0.7", 20, 0, 0, 7},
        {L"Zintra.dll1.2", 1, 2, 0, 0},
        {L"Sendrik.dll", 0, 0, 0, 0},
        {L"", 0, 0, 0, 0},
        {L"Alpha.dll3.1.40000.7", 3, 1, 40000, 7},   // parts above 32767 are still versions
        {L"Alpha.dll65535.65535.65535.65535", 65535, 65535, 65535, 65535},
        {L"a1.2.3.4.5", 2, 3, 4, 5},                 // a fourth point ends the version
        {L"Lib.dll1.007.3.4", 1, 7, 3, 4},           // leading zeros do not shift the parts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "text " << vb::ToAnsi(c.text));
        VersionParts v = ExtractVersionFromString(c.text);
        EXPECT_EQ(v.Major, c.major);
        EXPECT_EQ(v.Minor, c.minor);
        EXPECT_EQ(v.Build, c.build);
        EXPECT_EQ(v.Revision, c.revision);
    }
}

TEST(ExtractVersion, VersionNumberIsTheFirstRunOfDigits) {
    EXPECT_EQ(ExtractVerNo(L"abc123def45"), 123);
    EXPECT_EQ(ExtractVerNo(L"none"), 0);
    FakePresenter presenter;
    EXPECT_EQ(ExtractVerNo(L"99999999999"), 0);  // too big: reported under its own name
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].prompt.find(L"ExtractVerNo"), std::wstring::npos);
    ErrorHandler(ehClearAll);
}

// What CheckDLLs does with the libraries of the Programs folder against the stored values.
TEST_F(StartUpTest, CheckDllsDecisions) {
    struct Case {
        const char* name;
        std::vector<std::wstring> stored;  // "value=data"
        bool failRegistration;
        std::set<std::wstring> expected;
        const char* log;
    };
    const std::wstring alpha = L"Alpha.dll3.1.40000.7=MorvaAlpha";
    const Case cases[] = {
        {"empty store registers all", {}, false, {alpha}, "UUR"},
        {"greater build part registers again", {L"Alpha.dll3.1.39999.7=MorvaAlpha"}, false, {alpha}, "UUR"},
        {"any greater part, though an earlier one is smaller", {L"Alpha.dll4.0.0.0=MorvaAlpha"}, false, {alpha}, "UUR"},
        {"equal version does nothing", {alpha}, false, {alpha}, ""},
        {"stale values are pruned", {L"Gone.dll1.0.0.0=MorvaGone", alpha}, false, {alpha}, ""},
        {"a failed registration keeps the old value", {L"Alpha.dll1.0.0.0=MorvaAlpha"}, true,
         {L"Alpha.dll1.0.0.0=MorvaAlpha"}, "UUR"},
        {"only the first matching value is compared and replaced",
         {L"AAlpha.dll9.9.9.9=MorvaOld", L"Alpha.dll1.0.0.0=MorvaAlpha"}, false,
         {alpha, L"Alpha.dll1.0.0.0=MorvaAlpha"}, "UUR"},
    };
    CopyIntoPrograms(L"host_registrant.dll", L"Alpha.dll");
    CopyIntoPrograms(L"host_registrant.dll", L"Alpha.dllx");  // never a library of ours
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, HostSubkey(L"0"));
        for (const std::wstring& value : c.stored) {
            const size_t eq = value.find(L'=');
            WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), value.substr(0, eq).c_str(), value.substr(eq + 1));
        }
        DeleteFileW(log_.c_str());
        SetEnvironmentVariableW(L"LUMOX_HOST_REG_FAIL", c.failRegistration ? L"1" : nullptr);
        CheckDLLs();
        EXPECT_EQ(StoredProducts(), c.expected);
        EXPECT_EQ(ReadFileText(log_), c.log);
    }
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(StartUpTest, EmptyProgramsFolderLeavesStaleValuesAlone) {
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), L"Gone.dll1.0.0.0", L"MorvaGone");
    CheckDLLs();
    EXPECT_EQ(StoredProducts(), (std::set<std::wstring>{L"Gone.dll1.0.0.0=MorvaGone"}));
}

TEST_F(StartUpTest, ANewLibraryBesideKnownOnesTouchesNoOtherValue) {
    CopyIntoPrograms(L"host_registrant.dll", L"Alpha.dll");
    CopyIntoPrograms(L"host_registrant.dll", L"Beta.dll");
    CopyIntoPrograms(L"host_registrant.dll", L"Two Words.dll");
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), L"Beta.dll3.1.40000.7", L"MorvaBeta");
    CheckDLLs();
    EXPECT_EQ(StoredProducts(), (std::set<std::wstring>{L"Alpha.dll3.1.40000.7=MorvaAlpha",
                                                        L"Beta.dll3.1.40000.7=MorvaBeta",
                                                        L"Two Words.dll3.1.40000.7=MorvaTwo Words"}));
    EXPECT_EQ(ReadFileText(log_), "UURUUR");
}

TEST_F(StartUpTest, ProgramsRunOnceEachAndLongerExtensionsNever) {
    CopyIntoPrograms(L"host_runner.exe", L"one.exe");
    CopyIntoPrograms(L"host_runner.exe", L"two words.exe");
    CopyIntoPrograms(L"host_runner.exe", L"three.exex");
    RunProgramsExes();
    std::string runs = ReadFileText(folder_ + L"\\runs.log");
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = runs.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(runs.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"one.exe", "two words.exe"}));
}

TEST_F(StartUpTest, GetFilesKeepsListingOrderAndSortsItsIndex) {
    // The file system matches "*.dll" against the short names of c.dllx and d.dllx too; at
    // least one of them comes after the first match.
    for (const wchar_t* name : {L"b.dll", L"c.dllx", L"A.dll", L"d.dllx"}) WriteFileText(folder_ + L"\\" + name, "x");
    std::vector<std::wstring> names;
    std::vector<long> order = GetFiles(folder_ + L"\\*.dll", names);
    ASSERT_EQ(names.size(), 2u);
    std::set<std::wstring> found(names.begin(), names.end());
    EXPECT_EQ(found, (std::set<std::wstring>{L"b.dll", L"A.dll"}));
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(names[static_cast<size_t>(order[0])], L"A.dll");

    names.assign(3, L"stale");
    EXPECT_TRUE(GetFiles(folder_ + L"\\*.ocx", names).empty());
    EXPECT_TRUE(names.empty());
}

TEST_F(StartUpTest, FirstRunCleanUpFollowsTheFirstTimeValue) {
    struct Case {
        const char* name;
        std::optional<std::wstring> firstTime;
        bool cleans;
    };
    const Case cases[] = {
        {"missing counts as a first run", std::nullopt, true},
        {"True", L"True", true},
        {"true in other letters", L"tRUE", true},
        {"False", L"False", false},
    };
    const std::vector<std::pair<HKEY, std::wstring>> keys = {
        {HKEY_CLASSES_ROOT, L"MorvaZintra.CForm\\Clsid"},
        {HKEY_CLASSES_ROOT, L"MorvaZintra.ShellExecHook"},
        {HKEY_CLASSES_ROOT, L"CLSID\\{69845E54-42A3-4EE8-B72C-31E2E69C6023}\\InprocServer32"},
        {HKEY_CLASSES_ROOT, L"CLSID\\{13875C2E-43DE-47A3-8E2D-85A8E3129F6B}\\Implemented Categories\\"
                            L"{40FC6ED5-2438-11CF-A3DB-080036F12502}"},
        {HKEY_CLASSES_ROOT, L"Interface\\{5AAAE707-7490-4A35-AF79-C45DC2E80618}\\ProxyStubClsid32"},
        {HKEY_CLASSES_ROOT, L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}\\1.0\\0\\win32"},
        {HKEY_CLASSES_ROOT, L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}\\1.0\\0\\win64"},
        {HKEY_CLASSES_ROOT, L"MorvaKestrow.MorvaTavixExe\\Clsid"},
        {HKEY_CLASSES_ROOT, L"CLSID\\{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}\\LocalServer32"},
        {HKEY_CLASSES_ROOT, L"TypeLib\\{EC238C6C-2B3C-46D6-9050-B15A5ABF6C70}\\1.0\\HELPDIR"},
        {HKEY_CLASSES_ROOT, L"MorvaSendrik.CForm\\Clsid"},
        {HKEY_CLASSES_ROOT, L"Interface\\{701B1FB7-18E5-40C8-8970-7ED396F7350D}\\ProxyStubClsid32"},
        {HKEY_CLASSES_ROOT, L"Interface\\{FF5FDA8A-05B6-49C7-8C4E-743FD54EF9EE}\\TypeLib"},
        {HKEY_CLASSES_ROOT, L"CLSID\\{C4D9D85C-E53F-4C91-AC00-AE2104E08569}\\ProgID"},
        {HKEY_CLASSES_ROOT, L"TypeLib\\{278F4471-F256-450F-A85D-334F2FE45B24}\\20.0\\FLAGS"},
        {HKEY_LOCAL_MACHINE, HostSubkey(L"1\\Wayhold Utility Manager")},
        {HKEY_LOCAL_MACHINE, HostSubkey(L"1\\Lumox Options")},
        {HKEY_LOCAL_MACHINE, HostSubkey(L"0")},
        {HKEY_LOCAL_MACHINE, HostSubkey(L"3")},
        {HKEY_LOCAL_MACHINE, HostSubkey(L"5")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [root, key] : keys) WriteString(root, key, nullptr, L"x");
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, HostSubkey(L"4"));
        if (c.firstTime) WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"4"), L"Morva Utility Manager First Time", *c.firstTime);

        RemoveOldRegistrations();
        for (const auto& [root, key] : keys) {
            SCOPED_TRACE(vb::ToAnsi(key));
            EXPECT_EQ(KeyExists(root, key), !c.cleans);
        }
        for (const wchar_t* top : {L"MorvaZintra.CForm", L"MorvaSendrik.CForm", L"MorvaKestrow.MorvaTavixExe",
                                   L"CLSID\\{69845E54-42A3-4EE8-B72C-31E2E69C6023}",
                                   L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}\\1.0"})
            EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, top), !c.cleans) << vb::ToAnsi(top);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, HostSubkey(L"4")), c.firstTime.has_value() && !c.cleans);
        // The type library's own key stays.
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}"));
    }
}

TEST_F(StartUpTest, HiddenSwitchIsAddedOnce) {
    struct Case {
        std::optional<std::wstring> before;
        std::optional<std::wstring> after;
    };
    const Case cases[] = {
        {L"X.EXE", L"X.EXE /HIDDEN"},
        {L"X.EXE /Hidden", L"X.EXE /Hidden"},
        {L"X.EXE /HIDDEN", L"X.EXE /HIDDEN"},
        {L"", L""},
        {std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vb::ToAnsi(c.before.value_or(L"(none)")));
        testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\{FA4FEBC3-4591-11CE-95E5-00AA0051E510}");
        if (c.before) WriteString(HKEY_CLASSES_ROOT, kHiddenSwitchKey, nullptr, *c.before);
        AddHiddenSwitch();
        EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kHiddenSwitchKey, nullptr), c.after);
    }
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(StartUpTest, PendingTypeLibrariesAreRegisteredAndForgotten) {
    const std::wstring zintra = ZintraPath();
    const size_t slash = zintra.rfind(L'\\');
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"5"), zintra.substr(slash + 1).c_str(), zintra.substr(0, slash));
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"5"), L"Missing.tlb", folder_);
    EXPECT_TRUE(RegisterTLB());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}\\1.0"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, HostSubkey(L"5")));
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(StartUpTest, MissingRegSvr32EndsTheStartBeforeAnythingChanges) {
    const std::wstring empty = folder_ + L"\\NoSystem";
    CreateDirectoryW(empty.c_str(), nullptr);
    SetStartUpSystemFolderOverride(empty);
    WriteString(HKEY_CLASSES_ROOT, kHiddenSwitchKey, nullptr, L"X.EXE");
    CopyIntoPrograms(L"host_registrant.dll", L"Alpha.dll");

    FakeWindows windows;
    Main(windows);
    EXPECT_TRUE(StartUpEndedProgram());
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].style, StyleInformation);
    EXPECT_EQ(presenter_.shown[0].title, L"Information 4505");
    EXPECT_NE(presenter_.shown[0].prompt.find(L"RegSvr32.exe"), std::wstring::npos);
    std::wstring joined = presenter_.shown[0].prompt;
    joined.erase(std::remove_if(joined.begin(), joined.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
                 joined.end());
    EXPECT_NE(joined.find(L"NoSystem"), std::wstring::npos);

    EXPECT_TRUE(windows.calls.empty());
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kHiddenSwitchKey, nullptr), L"X.EXE");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, HostSubkey(L"3")));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, HostSubkey(L"0")));
    EXPECT_EQ(GetFileAttributesW((folder_ + L"\\Data").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileText(log_), "");
}

TEST_F(StartUpTest, MainRegistersAndShowsTheWindowsInOrder) {
    CopyIntoPrograms(L"host_registrant.dll", L"Alpha.dll");
    WriteString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText, L"Morva Zintra");
    FakeWindows windows;
    Main(windows);
    EXPECT_FALSE(StartUpEndedProgram());
    EXPECT_EQ(windows.calls, (std::vector<std::wstring>{L"splash", L"load", L"tip", L"show"}));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, HostSubkey(L"3"), L"Morva Utility Manager"), folder_);
    EXPECT_NE(GetFileAttributesW((folder_ + L"\\Data").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(StoredProducts(), (std::set<std::wstring>{L"Alpha.dll3.1.40000.7=MorvaAlpha"}));
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, ShellExecuteHooksKey, HookClsidText).has_value());
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(StartUpTest, FrameLeftMinimisedShowsNoSplash) {
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"4"), L"Morva Utility Manager First Time", L"False");
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"1\\Wayhold Utility Manager"), L"WindowState", L"1");
    FakeWindows windows;
    Main(windows);
    EXPECT_EQ(windows.calls, (std::vector<std::wstring>{L"load", L"tip", L"show"}));
    EXPECT_EQ(SplashFormName(), L"");

    // On a first run the clean-up forgets the placement, so the splash shows again.
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"4"), L"Morva Utility Manager First Time", L"True");
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"1\\Wayhold Utility Manager"), L"WindowState", L"1");
    windows.calls.clear();
    Main(windows);
    EXPECT_EQ(windows.calls, (std::vector<std::wstring>{L"splash", L"load", L"tip", L"show"}));
}

TEST(Pause, WaitsByTheClockWhenNoTickCountsDown) {
    short count = 2;
    const DWORD started = GetTickCount();
    Pause(count);
    const DWORD elapsed = GetTickCount() - started;
    EXPECT_EQ(count, 0);
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 3000u);

    count = 0;
    Pause(count);  // nothing to wait for
    EXPECT_EQ(count, 0);
}

TEST(Pause, TheTickEndsAUnitEarly) {
    // A timer of this thread counts the pause down as the frame's tick does.
    UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        if (PauseCountdown() > 0) --PauseCountdown();
    });
    short count = 3;
    const DWORD started = GetTickCount();
    Pause(count);
    KillTimer(nullptr, timer);
    EXPECT_LT(GetTickCount() - started, 1200u);
    EXPECT_EQ(count, 0);
}

TEST(WaitWhileFormLoaded, ReturnsAtOnceForNoNameOrNoSuchWindow) {
    const DWORD started = GetTickCount();
    WaitWhileFormLoaded(L"");
    WaitWhileFormLoaded(L"frmSplash");
    EXPECT_LT(GetTickCount() - started, 500u);
}
