#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "basErrorHandler.h"
#include "basWinAPI_Registry.h"
#include "vb/VbText.h"
#include "TestSupport.h"

namespace {

using Bytes = vb::Variant::Bytes;

const std::wstring Suite = L"Software\\Morva Corporation\\Morva Utility Manager";

// The three roots go to scratch keys of their own for the time of a test, so nothing the
// tests write reaches the prefix's real keys.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::SetProjectName(L"CommonTests");
        SetMessageRows(LibraryMessageRow);
        ErrorHandler(ehClearAll);
        scratch_ = L"Software\\LumoxTests\\Registry" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        Redirect(HKEY_LOCAL_MACHINE, L"HKLM", machine_);
        Redirect(HKEY_CLASSES_ROOT, L"HKCR", classes_);
        baseLevel_ = StackLevel();
    }
    void TearDown() override {
        EXPECT_EQ(StackLevel(), baseLevel_);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(machine_);
        RegCloseKey(classes_);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        ErrorHandler(ehClearAll);
    }
    void Redirect(HKEY root, const wchar_t* name, HKEY& key) {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch_ + L"\\" + name).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(root, key), ERROR_SUCCESS);
    }

    // The raw value as the registry holds it.
    static bool RawValue(HKEY root, const std::wstring& path, const char* name, DWORD& type, Bytes& data) {
        HKEY key;
        if (RegOpenKeyExA(root, vb::ToAnsi(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        DWORD size = 0;
        LONG r = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        data.assign(size, 0);
        if (r == ERROR_SUCCESS) r = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
        data.resize(size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS;
    }
    static void PutRaw(HKEY root, const std::wstring& path, const char* name, DWORD type, const Bytes& data) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(root, vb::ToAnsi(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static bool KeyExists(HKEY root, const std::wstring& path) {
        HKEY key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    FakePresenter boxes;
    std::wstring scratch_;
    HKEY machine_ = nullptr;
    HKEY classes_ = nullptr;
    short baseLevel_ = 0;
};

TEST_F(RegistryTest, ComposesThePathUnderTheSuiteKey) {
    struct Case {
        const wchar_t* key;
        const wchar_t* subKey;
        HKEY root;
        bool absolute;
        std::wstring expected;
    } cases[] = {
        {L"3", L"", HKEY_LOCAL_MACHINE, false, Suite + L"\\3"},
        {L"1", L"Lumox Options", HKEY_LOCAL_MACHINE, false, Suite + L"\\1\\Lumox Options"},
        {L"0", L"Sub", HKEY_CLASSES_ROOT, false, Suite + L"\\0\\Sub"},  // a numeric key under any root
        {L"Software\\Other", L"", HKEY_LOCAL_MACHINE, false, L"Software\\Other"},
        {L"Software\\Other", L"Sub", HKEY_LOCAL_MACHINE, false, Suite + L"\\Software\\Other\\Sub"},
        {L"Software\\Other", L"Sub", HKEY_CURRENT_USER, false, L"Software\\Other"},
        {L".txt", L"Sub", HKEY_CLASSES_ROOT, false, L".txt"},
        {L"3", L"Sub", HKEY_LOCAL_MACHINE, true, L"3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegistryKeyPath(c.key, c.subKey, c.root, c.absolute), c.expected) << c.key << " / " << c.subKey;

    // And the dispatcher writes where the composition says.
    Registry(regSave, L"1", L"Lumox Options", L"Top", vb::Variant(L"120"));
    EXPECT_EQ(RegistryFailureCount(), 0);
    DWORD type = 0;
    Bytes data;
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, Suite + L"\\1\\Lumox Options", "Top", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Registry(regGet, L"1", L"Lumox Options", L"Top", {}, vb::Variant(L"none")), vb::Variant(L"120"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegistryTest, EveryValueTypeRoundTripsAndWritesBackTheSameBytes) {
    struct Case {
        const char* name;
        long type;
        vb::Variant written;
        vb::Variant read;
        Bytes raw;  // the bytes the registry holds
    } cases[] = {
        {"Text", REG_SZ, vb::Variant(L"Lumox"), vb::Variant(L"Lumox"), {'L', 'u', 'm', 'o', 'x', 0}},
        {"EmptyText", REG_SZ, vb::Variant(L""), vb::Variant(L""), {0}},
        {"Number as text", REG_SZ, vb::Variant(42L), vb::Variant(L"42"), {'4', '2', 0}},
        {"Expand", REG_EXPAND_SZ, vb::Variant(L"%SystemRoot%\\a"), vb::Variant(L"%SystemRoot%\\a"),
         {'%', 'S', 'y', 's', 't', 'e', 'm', 'R', 'o', 'o', 't', '%', '\\', 'a', 0}},
        {"Multi", REG_MULTI_SZ, vb::Variant(std::wstring(L"ab\0c", 4)), vb::Variant(std::wstring(L"ab\0c", 4)),
         {'a', 'b', 0, 'c', 0, 0}},
        {"Binary", REG_BINARY, vb::Variant(Bytes{0, 1, 0x80, 0xFF}), vb::Variant(Bytes{0, 1, 0x80, 0xFF}),
         {0, 1, 0x80, 0xFF}},
        {"Dword", REG_DWORD, vb::Variant(0x01020304L), vb::Variant(16909060.0), {4, 3, 2, 1}},
        {"DwordMinusOne", REG_DWORD, vb::Variant(-1L), vb::Variant(4294967295.0), {0xFF, 0xFF, 0xFF, 0xFF}},
        {"DwordHigh", REG_DWORD, vb::Variant(2147483648.0), vb::Variant(2147483648.0), {0, 0, 0, 0x80}},
        {"BigEndian", REG_DWORD_BIG_ENDIAN, vb::Variant(0x01020304L), vb::Variant(16909060.0), {1, 2, 3, 4}},
        {"BigEndianHigh", REG_DWORD_BIG_ENDIAN, vb::Variant(4278190081.0), vb::Variant(4278190081.0),
         {0xFF, 0, 0, 1}},
        {"Link", REG_LINK, vb::Variant(Bytes{'x', 0}), vb::Variant(Bytes{'x', 0}), {'x', 0}},
        {"Resources", REG_RESOURCE_LIST, vb::Variant(Bytes{9, 8, 7}), vb::Variant(Bytes{9, 8, 7}), {9, 8, 7}},
    };
    const std::wstring key = scratch_ + L"\\RoundTrip";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring name = vb::FromAnsi(c.name);
        Registry(regSave, key, L"", name, c.written, {}, HKEY_CURRENT_USER, false, true, false, c.type);
        EXPECT_EQ(RegistryFailureCount(), 0);
        DWORD type = 0;
        Bytes raw;
        ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, key, c.name, type, raw));
        EXPECT_EQ(type, static_cast<DWORD>(c.type));
        EXPECT_EQ(raw, c.raw);

        vb::Variant read = Registry(regGet, key, L"", name, {}, vb::Variant(L"default"), HKEY_CURRENT_USER, false, true);
        EXPECT_EQ(read, c.read);

        // What was read goes back in unchanged, as the association restorer does it.
        Registry(regSave, key, L"", name, read, {}, HKEY_CURRENT_USER, false, true, false, c.type);
        ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, key, c.name, type, raw));
        EXPECT_EQ(raw, c.raw);
    }
    EXPECT_TRUE(boxes.shown.empty());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, key);
}

TEST_F(RegistryTest, BytesGoBackAsTheyWereForTypesWithoutAWriter) {
    // What the model keeps as bytes (a type without a converter, an empty value, a number of
    // another size) is written back byte for byte with its type.
    struct Case {
        const char* name;
        long type;
        Bytes raw;
    } cases[] = {
        {"NoneEmpty", REG_NONE, {}},
        {"NoneBytes", REG_NONE, {1, 0, 2}},
        {"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 0x80}},
        {"EmptyBinary", REG_BINARY, {}},
        {"EmptyDword", REG_DWORD, {}},
        {"ShortDword", REG_DWORD, {1, 2}},
        {"LongBigEndian", REG_DWORD_BIG_ENDIAN, {1, 2, 3, 4, 5}},
        {"OwnType", 0x4C, {9}},
    };
    const std::wstring key = scratch_ + L"\\Raw";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Registry(regSave, key, L"", vb::FromAnsi(c.name), vb::Variant(c.raw), {}, HKEY_CURRENT_USER, false, true,
                 false, c.type);
        EXPECT_EQ(RegistryFailureCount(), 0);
        DWORD type = 0;
        Bytes raw{0xEE};
        ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, key, c.name, type, raw));
        EXPECT_EQ(type, static_cast<DWORD>(c.type));
        EXPECT_EQ(raw, c.raw);
    }
    EXPECT_TRUE(boxes.shown.empty());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, key);
}

TEST_F(RegistryTest, ReadsValuesOthersWroteWithoutLosingCharacters) {
    const std::wstring key = L"Classes\\.foreign";
    PutRaw(HKEY_LOCAL_MACHINE, key, "", REG_SZ, {'t', 'x', 't', 'f', 'i', 'l', 'e'});  // no terminator
    PutRaw(HKEY_LOCAL_MACHINE, key, "Padded", REG_SZ, {'a', 'b', 0, 0, 0});
    PutRaw(HKEY_LOCAL_MACHINE, key, "Empty", REG_BINARY, {});
    PutRaw(HKEY_LOCAL_MACHINE, key, "Short", REG_DWORD, {1, 2});
    auto get = [&](const wchar_t* name) {
        return Registry(regGet, key, L"", name, {}, vb::Variant(L"default"), HKEY_LOCAL_MACHINE, true);
    };
    EXPECT_EQ(get(L""), vb::Variant(L"txtfile"));
    EXPECT_EQ(get(L"Padded"), vb::Variant(L"ab"));
    EXPECT_EQ(get(L"Empty"), vb::Variant(L"default")) << "size 0 reads as nothing";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(get(L"Short"), vb::Variant(L"default")) << "a DWORD needs its four bytes";
    EXPECT_EQ(boxes.shown.size(), 1u) << "the short DWORD is reported by the conversion's trap";
}

TEST_F(RegistryTest, MissingKeyIsSilentMissingValueIsReportedUnlessQuiet) {
    const vb::Variant fallback(L"fallback");
    EXPECT_EQ(Registry(regGet, L"4", L"", L"Nothing", {}, fallback), fallback);
    EXPECT_EQ(RegistryFailureCount(), 0);
    EXPECT_TRUE(boxes.shown.empty()) << "a missing key gives the default without a report";

    Registry(regSave, L"4", L"", L"There", vb::Variant(L"x"));
    EXPECT_EQ(Registry(regGet, L"4", L"", L"Missing", {}, fallback, HKEY_LOCAL_MACHINE, true), fallback);
    EXPECT_GE(RegistryFailureCount(), 1);
    EXPECT_TRUE(boxes.shown.empty());

    EXPECT_EQ(Registry(regGet, L"4", L"", L"Missing", {}, fallback), fallback);
    EXPECT_GE(RegistryFailureCount(), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);

    // A key without any value reads as the default, and action 12 gives Empty, not an empty table.
    Registry(regSave, L"5", L"Empty", L"x", vb::Variant(L"y"));
    Registry(regDelete, L"5", L"Empty", L"x");
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Suite + L"\\5\\Empty"));
    EXPECT_EQ(Registry(regGet, L"5", L"Empty", L"x", {}, fallback, HKEY_LOCAL_MACHINE, true), fallback);
    EXPECT_TRUE(Registry(regGetValues, L"5", L"Empty").IsEmpty());
    EXPECT_TRUE(Registry(regGetValues, L"5", L"Nowhere").IsEmpty());
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(RegistryTest, ReadsAllValuesOfAKeyAsATable) {
    const std::wstring key = L".lumox";
    PutRaw(HKEY_CLASSES_ROOT, key, "", REG_SZ, {'l', 'u', 'm', 'o', 'x', 'f', 'i', 'l', 'e', 0});
    PutRaw(HKEY_CLASSES_ROOT, key, "Flags", REG_DWORD, {0, 0, 0, 0x80});
    PutRaw(HKEY_CLASSES_ROOT, key, "Nothing", REG_BINARY, {});  // reads as Empty: takes no place
    PutRaw(HKEY_CLASSES_ROOT, key, "Data", REG_BINARY, {1, 2});

    vb::Variant table = Registry(regGetValues, key, L"", {}, {}, {}, HKEY_CLASSES_ROOT);
    ASSERT_TRUE(table.IsArray());
    ASSERT_EQ(table.AsArray().size(), 3u);
    const auto& names = table.AsArray()[regFieldName].AsArray();
    const auto& datas = table.AsArray()[regFieldData].AsArray();
    const auto& types = table.AsArray()[regFieldType].AsArray();
    ASSERT_EQ(names.size(), 3u);
    ASSERT_EQ(datas.size(), 3u);
    ASSERT_EQ(types.size(), 3u);
    bool seen[3] = {};
    for (size_t r = 0; r < names.size(); ++r) {
        std::wstring name = names[r].ToString();
        if (name.empty()) {
            EXPECT_EQ(datas[r], vb::Variant(L"lumoxfile"));
            EXPECT_EQ(types[r], vb::Variant(static_cast<long>(REG_SZ)));
            seen[0] = true;
        } else if (name == L"Flags") {
            EXPECT_EQ(datas[r], vb::Variant(2147483648.0));
            EXPECT_EQ(types[r], vb::Variant(static_cast<long>(REG_DWORD)));
            seen[1] = true;
        } else if (name == L"Data") {
            EXPECT_EQ(datas[r], vb::Variant(Bytes{1, 2}));
            EXPECT_EQ(types[r], vb::Variant(static_cast<long>(REG_BINARY)));
            seen[2] = true;
        }
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegistryTest, DeletesValuesKeysAndWholeSubtrees) {
    for (const wchar_t* sub : {L"Tree\\A\\A1\\Deep", L"Tree\\A\\A2", L"Tree\\B", L"Tree\\C\\C1"})
        Registry(regSave, L"3", sub, L"v", vb::Variant(L"x"));
    Registry(regSave, L"3", L"Tree", L"Keep", vb::Variant(L"x"));
    Registry(regSave, L"3", L"Tree", L"Gone", vb::Variant(L"x"));
    const std::wstring tree = Suite + L"\\3\\Tree";

    EXPECT_EQ(Registry(regDelete, L"3", L"Tree", L"Gone"), vb::Variant(true));
    DWORD type;
    Bytes raw;
    EXPECT_FALSE(RawValue(HKEY_LOCAL_MACHINE, tree, "Gone", type, raw));
    EXPECT_TRUE(RawValue(HKEY_LOCAL_MACHINE, tree, "Keep", type, raw));

    // Without the subtree option a key with subkeys stays, and the refusal is counted.
    Registry(regDelete, L"3", L"Tree", {}, {}, {}, HKEY_LOCAL_MACHINE, true);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, tree + L"\\A\\A1\\Deep"));
    EXPECT_GE(RegistryFailureCount(), 1);
    EXPECT_TRUE(boxes.shown.empty());

    EXPECT_EQ(Registry(regDelete, L"3", L"Tree", {}, {}, {}, HKEY_LOCAL_MACHINE, false, false, true), vb::Variant(true));
    EXPECT_EQ(RegistryFailureCount(), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, tree));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Suite + L"\\3"));

    // A key that is not there cannot be opened.
    EXPECT_EQ(Registry(regDelete, L"3", L"Tree", {}, {}, {}, HKEY_LOCAL_MACHINE, true, false, true), vb::Variant(false));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegistryTest, RefusesWrongCallsAndReportsFailedWrites) {
    struct Case {
        const char* what;
        short action;
        std::optional<vb::Variant> valueName, value, defaultValue;
    } cases[] = {
        {"unknown action", 9, L"v", vb::Variant(L"x"), vb::Variant(L"d")},
        {"read without default", regGet, L"v", {}, {}},
        {"read without value name", regGet, {}, {}, vb::Variant(L"d")},
        {"write without value", regSave, L"v", {}, {}},
        {"write without value name", regSave, {}, vb::Variant(L"x"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        EXPECT_TRUE(Registry(c.action, L"3", L"", c.valueName, c.value, c.defaultValue).IsEmpty());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_NE(boxes.shown[0].prompt.find(L"Registry"), std::wstring::npos);
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Suite + L"\\3"));

    // Types the registry has no writer for are refused; nothing is written.
    for (long type : {0L, 11L, -1L}) {
        boxes.shown.clear();
        EXPECT_FALSE(RegistrySave(scratch_ + L"\\Refused", L"v", vb::Variant(L"x"), HKEY_CURRENT_USER, false, type));
        EXPECT_EQ(boxes.shown.size(), 1u) << type;
    }
    DWORD t;
    Bytes raw;
    EXPECT_FALSE(RawValue(HKEY_CURRENT_USER, scratch_ + L"\\Refused", "v", t, raw));

    // Through the dispatcher a refused write shows in the failure count, as every failed write
    // of action 25 must, also for a quiet caller (the trap itself still reports).
    struct Refusal {
        const char* what;
        long type;
        vb::Variant value;
    } refusals[] = {
        {"REG_NONE", REG_NONE, vb::Variant(L"x")},
        {"type 11", 11, vb::Variant(L"x")},
        {"negative type", -1, vb::Variant(L"x")},
        {"binary from text", REG_BINARY, vb::Variant(L"not bytes")},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        boxes.shown.clear();
        EXPECT_TRUE(Registry(regSave, scratch_ + L"\\Refused", L"", L"v", r.value, {}, HKEY_CURRENT_USER, true, true,
                             false, r.type)
                        .IsEmpty());
        EXPECT_GE(RegistryFailureCount(), 1);
        EXPECT_EQ(boxes.shown.size(), 1u);
        EXPECT_FALSE(RawValue(HKEY_CURRENT_USER, scratch_ + L"\\Refused", "v", t, raw));
    }

    // A root key itself is never deleted and never takes a value, whatever the caller passes:
    // refused, counted, reported unless quiet.
    PutRaw(HKEY_CLASSES_ROOT, L".keep\\shell", "", REG_SZ, {'o', 'p', 'e', 'n', 0});
    PutRaw(HKEY_CLASSES_ROOT, L"keepfile", "", REG_SZ, {'k', 0});
    struct RootCall {
        const char* what;
        short action;
        const wchar_t* key;
        std::optional<vb::Variant> valueName, value;
        bool quiet;
        vb::Variant answer;
    } rootCalls[] = {
        {"delete the empty path with its subtree", regDelete, L"", {}, {}, false, vb::Variant(false)},
        {"delete a path of backslashes, quiet", regDelete, L"\\\\", {}, {}, true, vb::Variant(false)},
        {"delete a single backslash", regDelete, L"\\", {}, {}, false, vb::Variant(false)},
        {"write the unnamed value of the root", regSave, L"", L"", vb::Variant(L""), false, vb::Variant()},
        {"write a named value through backslashes, quiet", regSave, L"\\", L"v", vb::Variant(L"x"), true,
         vb::Variant()},
    };
    for (const RootCall& r : rootCalls) {
        SCOPED_TRACE(r.what);
        boxes.shown.clear();
        EXPECT_EQ(Registry(r.action, r.key, L"", r.valueName, r.value, {}, HKEY_CLASSES_ROOT, r.quiet, true, true),
                  r.answer);
        EXPECT_GE(RegistryFailureCount(), 1);
        ASSERT_EQ(boxes.shown.size(), r.quiet ? 0u : 1u);
        if (!r.quiet) {
            EXPECT_NE(boxes.shown[0].prompt.find(L"Registry"), std::wstring::npos);
        }
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".keep\\shell"));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"keepfile"));
        EXPECT_FALSE(RawValue(HKEY_CLASSES_ROOT, L"", "", t, raw));
        EXPECT_FALSE(RawValue(HKEY_CLASSES_ROOT, L"", "v", t, raw));
    }
    // Nor is a value of the root's own deleted.
    PutRaw(HKEY_CLASSES_ROOT, L"", "rootvalue", REG_SZ, {'r', 0});
    EXPECT_EQ(Registry(regDelete, L"", L"", vb::Variant(L"rootvalue"), {}, {}, HKEY_CLASSES_ROOT, true, true, true),
              vb::Variant(false));
    EXPECT_TRUE(RawValue(HKEY_CLASSES_ROOT, L"", "rootvalue", t, raw));
    RegDeleteValueA(HKEY_CLASSES_ROOT, "rootvalue");
    boxes.shown.clear();
    EXPECT_FALSE(RegistryCreateKey(L"\\", HKEY_CLASSES_ROOT, true));
    EXPECT_GE(RegistryFailureCount(), 1);
    EXPECT_TRUE(RegistryCreateKey(L"newfile\\shell\\open", HKEY_CLASSES_ROOT, true));
    EXPECT_EQ(RegistryFailureCount(), 0);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"newfile\\shell\\open"));
    EXPECT_FALSE(RawValue(HKEY_CLASSES_ROOT, L"newfile\\shell\\open", "", t, raw)) << "a key without a value";
    EXPECT_TRUE(boxes.shown.empty());

    // A write that cannot open its key leaves its mark in the failure count only.
    boxes.shown.clear();
    HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_TRUE(Registry(regSave, L"Anywhere", L"", L"v", vb::Variant(L"x"), {}, bogus, true, true).IsEmpty());
    EXPECT_GE(RegistryFailureCount(), 1);
    EXPECT_TRUE(boxes.shown.empty());
    Registry(regSave, L"Anywhere", L"", L"v", vb::Variant(L"x"), {}, bogus, false, true);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(RegistryConversion, CvtRegDataSwapLongBytesAndByteArrayToString) {
    FakePresenter boxes;
    Bytes four{0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(CvtRegData(REG_DWORD, 4, four), vb::Variant(305419896.0));
    EXPECT_EQ(CvtRegData(REG_DWORD_BIG_ENDIAN, 4, four), vb::Variant(2018915346.0));
    EXPECT_EQ(CvtRegData(REG_DWORD, 4, Bytes{0xFF, 0xFF, 0xFF, 0xFF}), vb::Variant(4294967295.0));
    EXPECT_TRUE(CvtRegData(REG_SZ, 0, four).IsEmpty());
    EXPECT_TRUE(CvtRegData(REG_SZ, -1, four).IsEmpty());
    EXPECT_TRUE(CvtRegData(REG_NONE, 4, four).IsEmpty());
    EXPECT_TRUE(CvtRegData(11, 4, four).IsEmpty());
    EXPECT_EQ(CvtRegData(REG_BINARY, 2, four), vb::Variant(Bytes{0x78, 0x56})) << "only size bytes";
    EXPECT_EQ(CvtRegData(REG_MULTI_SZ, 6, Bytes{'a', 0, 'b', 0, 0, 0}), vb::Variant(std::wstring(L"a\0b", 3)));
    EXPECT_TRUE(boxes.shown.empty());

    EXPECT_EQ(SwapLongBytes(0x12345678), 0x78563412);
    EXPECT_EQ(SwapLongBytes(static_cast<int32_t>(0xFF000080u)), static_cast<int32_t>(0x800000FFu));

    EXPECT_EQ(ByteArrayToString(vb::Variant(Bytes{'A', 'b', 0, '1'})), std::wstring(L"Ab\0" L"1", 4));
    EXPECT_EQ(ByteArrayToString(vb::Variant(Bytes{})), L"");
    EXPECT_EQ(ByteArrayToString(vb::Variant(7L)), L"7");
    EXPECT_EQ(ByteArrayToString(vb::Variant(vb::Variant::Array{})), L"") << "never fails";
    EXPECT_EQ(ByteArrayToString(vb::Null), L"");
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
