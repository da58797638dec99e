// What the data model's tests share: a stand-in for the options window, COM for the XML
// object, a fresh data folder per test and plain byte-level file helpers.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "TestSupport.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

// Records what the data model asks of the options window.
class FakeOptionsWindow : public OptionsWindowServices {
public:
    FakeOptionsWindow() { previous_ = SetOptionsWindowServices(this); }
    ~FakeOptionsWindow() { SetOptionsWindowServices(previous_); }
    FakeOptionsWindow(const FakeOptionsWindow&) = delete;
    FakeOptionsWindow& operator=(const FakeOptionsWindow&) = delete;

    void ShowInfo(const std::wstring& text) override { infoShown.push_back(text); }
    void SetAliasCount(long count) override { aliasCounts.push_back(count); }
    bool NeedToSaveUserChoices() const override { return needToSave; }
    void SetNeedToSaveUserChoices(bool value) override { needToSave = value; }
    vb::List<HTREEITEM> GetNodesToBeRemoved() override {
        ++nodesAsked;
        return nodesToRemove;
    }
    void RemoveProgram(HTREEITEM node, bool saveNow) override { removed.push_back({node, saveNow}); }

    std::vector<std::wstring> infoShown;
    std::vector<long> aliasCounts;
    bool needToSave = true;
    int nodesAsked = 0;
    vb::List<HTREEITEM> nodesToRemove;
    std::vector<std::pair<HTREEITEM, bool>> removed;

private:
    OptionsWindowServices* previous_ = nullptr;
};

// COM on the test's thread, the options library's messages, and a data folder of the test's own.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        folder = testsupport::FreshTempFolder(L"datamodel");
        UseDataFolder(folder);
    }
    void TearDown() override {
        testsupport::RemoveTree(folder);
        vb::Err().Clear();
        CoUninitialize();
    }
    std::wstring Path(const std::wstring& name) const { return folder + L"\\" + name; }

    std::wstring folder;
    FakePresenter boxes;
};

inline std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << vb::ToAnsi(path);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The numbers of the messages shown, read from the boxes' titles ("Information 4521").
inline std::vector<long> ShownNumbers(const FakePresenter& boxes) {
    std::vector<long> numbers;
    for (const ShownBox& box : boxes.shown) {
        size_t space = box.title.find_last_of(L' ');
        numbers.push_back(space == std::wstring::npos ? 0 : std::wcstol(box.title.c_str() + space + 1, nullptr, 10));
    }
    return numbers;
}
