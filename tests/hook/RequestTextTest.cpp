// The request text the hook hands the chooser, and the hook's answer while switched off.
#include <gtest/gtest.h>

#include <string>

#include "basHook.h"
#include "basWinAPI_Atom.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

struct RequestCase {
    const char* name;
    ULONG fMask;
    const char* verb;
    const char* file;
    const char* directory;
    const char* parameters;
    int nShow;
    const char* cls;
    const wchar_t* expected;
};

const RequestCase kCases[] = {
    {"null verb and fields", 0, nullptr, nullptr, nullptr, nullptr, 1, nullptr,
     L"open\r\n0\r\n\r\n\r\n\r\n1\r\nNo class information available.\r\nNot IDLIST related.\r\n"},
    {"folder before parameters, trimmed", 0, "  edit ", "  C:\\a b\\c.txt  ", " C:\\a b ", " /p ", 3, nullptr,
     L"edit\r\n0\r\nC:\\a b\\c.txt\r\nC:\\a b\r\n/p\r\n3\r\nNo class information available.\r\nNot IDLIST related.\r\n"},
    {"only spaces are trimmed", 0, "\topen\t", "x.txt\t", nullptr, nullptr, 0, nullptr,
     L"\topen\t\r\n0\r\nx.txt\t\r\n\r\n\r\n0\r\nNo class information available.\r\nNot IDLIST related.\r\n"},
    {"IDLIST mask in hex", 268, "open", "f", nullptr, nullptr, 1, nullptr,
     L"open\r\n10C\r\nf\r\n\r\n\r\n1\r\nNo class information available.\r\nLaunched by IDLIST.\r\n"},
    {"plain IDLIST bit", 4, "open", "f", nullptr, nullptr, 1, nullptr,
     L"open\r\n4\r\nf\r\n\r\n\r\n1\r\nNo class information available.\r\nLaunched by IDLIST.\r\n"},
    {"top bit gives eight digits, negative show", 0x80000001, "open", "f", nullptr, nullptr, -5, " txtfile ",
     L"open\r\n80000001\r\nf\r\n\r\n\r\n-5\r\ntxtfile\r\nNot IDLIST related.\r\n"},
    {"class name", 1, "print", "f", nullptr, nullptr, 1, "  Word.Document.8 ",
     L"print\r\n1\r\nf\r\n\r\n\r\n1\r\nWord.Document.8\r\nNot IDLIST related.\r\n"},
    {"class name null", 1, "open", "f", nullptr, nullptr, 1, nullptr,
     L"open\r\n1\r\nf\r\n\r\n\r\n1\r\n\r\nNot IDLIST related.\r\n"},
};

SHELLEXECUTEINFOA Info(const RequestCase& c) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = c.fMask;
    info.lpVerb = c.verb;
    info.lpFile = c.file;
    info.lpDirectory = c.directory;
    info.lpParameters = c.parameters;
    info.nShow = c.nShow;
    info.lpClass = c.cls;
    return info;
}

// A class key of our own under HKCU with the given default value.
class ClassKey {
public:
    explicit ClassKey(const std::string& value) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\LumoxHookTest\\Class", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }
    ~ClassKey() {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LumoxHookTest\\Class");
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LumoxHookTest");
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::wstring ClassLineOf(const std::wstring& request) { return vb::Split(request, L"\r\n")[6]; }

}  // namespace

TEST(RequestText, BuildsTheEightLines) {
    for (const RequestCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildHookRequest(Info(c)), c.expected);
    }
}

TEST(RequestText, SplitsIntoNinePartsTheLastEmpty) {
    const std::vector<std::wstring> parts = vb::Split(BuildHookRequest(Info(kCases[1])), L"\r\n");
    ASSERT_EQ(parts.size(), 9u);
    EXPECT_TRUE(parts[8].empty());
}

TEST(RequestText, ClassKeyGivesItsDefaultValueTrimmed) {
    ClassKey key("  txtfile  ");
    SHELLEXECUTEINFOA info{};
    info.fMask = SEE_MASK_CLASSKEY;
    info.hkeyClass = key.Get();
    info.lpClass = "ignored";
    EXPECT_EQ(ClassLineOf(BuildHookRequest(info)), L"txtfile");
}

TEST(RequestText, UnreadableClassKeyGivesAnEmptyLine) {
    SHELLEXECUTEINFOA info{};
    info.fMask = SEE_MASK_CLASSKEY;
    info.hkeyClass = nullptr;
    EXPECT_EQ(ClassLineOf(BuildHookRequest(info)), L"");
}

TEST(RequestText, AnsiFieldsUseTheAnsiCodePage) {
    const std::string ansi = vb::ToAnsi(L"caf\u00e9.txt");
    SHELLEXECUTEINFOA info{};
    info.lpFile = ansi.c_str();
    EXPECT_EQ(vb::Split(BuildHookRequest(info), L"\r\n")[2], L"caf\u00e9.txt");
}

TEST(HookedExecute, SwitchedOffAnswersOneAndSets33) {
    Atom(atomGlobalDelete, HookOnAtom);
    SHELLEXECUTEINFOA info = Info(kCases[1]);
    EXPECT_EQ(HookedExecute(nullptr, &info), S_FALSE);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), 33);
}

TEST(HookedExecute, NullRecordAnswersOneWithoutCrashing) { EXPECT_EQ(HookedExecute(nullptr, nullptr), S_FALSE); }
