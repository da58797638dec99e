// A scratch registry for the association-model tests: HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE
// and HKEY_CURRENT_USER point at keys of this process's own, the settings file lives in a
// temporary folder, message boxes go to a fake, and the model starts empty.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "TestSupport.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basRegistryModel.h"
#include "vb/VbText.h"

class RegistryScratch : public ::testing::Test {
protected:
    void SetUp() override {
        vb::SetProjectName(L"DataTests");
        SetMessageRows(LibraryMessageRow);
        ErrorHandler(ehClearAll);
        scratch_ = L"Software\\LumoxTests\\Model" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &scratchKey_, nullptr),
                  ERROR_SUCCESS);
        Redirect(HKEY_LOCAL_MACHINE, L"HKLM", machine_);
        Redirect(HKEY_CLASSES_ROOT, L"HKCR", classes_);
        Redirect(HKEY_CURRENT_USER, L"HKCU", user_);
        folder_ = testsupport::FreshTempFolder(L"LumoxModel");
        SetIniFolderOverride(folder_);
        SetModelWindowsVersionOverride(L"Windows XP");
        ResetRegistryModelState();
        baseLevel_ = StackLevel();
    }
    void TearDown() override {
        EXPECT_EQ(StackLevel(), baseLevel_);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        for (HKEY k : {machine_, classes_, user_})
            if (k) RegCloseKey(k);
        RegCloseKey(scratchKey_);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch_);
        SetIniFolderOverride(L"");
        SetModelWindowsVersionOverride(L"");
        ResetRegistryModelState();
        testsupport::RemoveTree(folder_);
        ErrorHandler(ehClearAll);
    }
    void Redirect(HKEY root, const wchar_t* name, HKEY& key) {
        ASSERT_EQ(RegCreateKeyExW(scratchKey_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(root, key), ERROR_SUCCESS);
    }

    // Creates root\path (and the keys above it); with a value name, sets that REG_SZ value.
    static void Put(HKEY root, const std::wstring& path, const wchar_t* name = nullptr, const std::wstring& data = L"") {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << vb::ToAnsi(path);
        if (name)
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static void PutClass(const std::wstring& path, const wchar_t* name = nullptr, const std::wstring& data = L"") {
        Put(HKEY_CLASSES_ROOT, path, name, data);
    }
    static void PutRaw(HKEY root, const std::wstring& path, const char* name, DWORD type,
                       const std::vector<BYTE>& data) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(root, vb::ToAnsi(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
    }
    static std::wstring ClassValue(const std::wstring& path, const wchar_t* name = L"") {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<none>";
        wchar_t buffer[512] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t), type = 0;
        LONG r = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(key);
        return r == ERROR_SUCCESS ? std::wstring(buffer) : L"<none>";
    }

    static std::wstring Ini(const std::wstring& key) {
        return IniFile(IniRead, key, {}, vb::Variant(L"<unset>")).ToString();
    }
    static long IniNumber(const std::wstring& key) { return IniFile(IniRead, key, {}, vb::Variant(-99L)).ToLong(); }

    // Index of the record named name, -1 when none.
    static long IndexOf(const RegKeyRecords& records, const std::wstring& name) {
        for (size_t i = 1; i < records.size(); ++i)
            if (vb::TextEquals(records[i].KeyName, name)) return static_cast<long>(i);
        return -1;
    }
    std::vector<long> ShownNumbers() const {
        std::vector<long> numbers;
        for (const ShownBox& b : boxes.shown) numbers.push_back(NumberOf(b.prompt));
        return numbers;
    }
    // Which catalogue row a prompt came from (for the rows these tests meet).
    static long NumberOf(const std::wstring& prompt) {
        for (long n : {4520L, 4535L, 4536L, 4538L, 5001L, 5005L, 5006L}) {
            std::wstring text, title;
            if (LibraryMessageRow(n, text, title) && !text.empty() && prompt.find(text.substr(0, 40)) != std::wstring::npos)
                return n;
        }
        return 0;
    }

    FakePresenter boxes;
    std::wstring scratch_;
    std::wstring folder_;
    HKEY scratchKey_ = nullptr;
    HKEY machine_ = nullptr;
    HKEY classes_ = nullptr;
    HKEY user_ = nullptr;
    short baseLevel_ = 0;
};
