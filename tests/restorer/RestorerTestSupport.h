// What the restorer's tests share: the scratch registry of the model's tests with a working
// folder for the snapshot file, COM for the XML document object, the restorer's checkpoint
// sink, and small builders of model records.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RegistryScratch.h"
#include "UserInput.h"
#include "basAssocCompare.h"
#include "basAssocLinks.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "frmAssociationRestorer.h"
#include "vb/VbText.h"

class RestorerScratch : public RegistryScratch {
protected:
    void SetUp() override {
        RegistryScratch::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        work_ = folder_ + L"\\Lopt";
        CreateDirectoryW(work_.c_str(), nullptr);
        UseDataFolder(work_);
        ResetSnapshotState();
        AssocDiffs().assign(1, AssocDiff{});
        previousSink_ = SetRestorerCheckpointSink(&RestorerCheckpoints());
    }
    void TearDown() override {
        SetRestorerCheckpointSink(previousSink_);
        ResetSnapshotState();
        AssocDiffs().assign(1, AssocDiff{});
        UseDataFolder(L"");
        CoUninitialize();
        RegistryScratch::TearDown();
    }

    static RegValueRecord Value(const std::wstring& name, long type, vb::Variant data) {
        RegValueRecord v;
        v.ValueName = name;
        v.ValueType = type;
        v.ValueData = std::move(data);
        return v;
    }
    static RegValueRecord Text(const std::wstring& name, const std::wstring& data) {
        return Value(name, REG_SZ, vb::Variant(data));
    }
    // A key record with values (the unnamed one found) and subkeys given as (path, values).
    static RegKeyRecord Key(const std::wstring& name, std::vector<RegValueRecord> values = {},
                            std::vector<SubkeyRecord> subkeys = {}) {
        RegKeyRecord r;
        r.KeyName = name;
        r.KeyValues = std::move(values);
        for (size_t i = 0; i < r.KeyValues.size(); ++i)
            if (r.KeyValues[i].ValueName.empty()) r.ValueIndex = static_cast<long>(i);
        r.Subkeys = std::move(subkeys);
        return r;
    }
    static SubkeyRecord Sub(const std::wstring& path, std::vector<RegValueRecord> values = {}) {
        SubkeyRecord s;
        s.KeyName = path;
        s.KeyValues = std::move(values);
        for (size_t i = 0; i < s.KeyValues.size(); ++i)
            if (s.KeyValues[i].ValueName.empty()) s.ValueIndex = static_cast<long>(i);
        return s;
    }
    // An association whose open command is command.
    static RegKeyRecord Class(const std::wstring& name, const std::wstring& command) {
        return Key(name, {}, {Sub(name + L"\\shell"), Sub(name + L"\\shell\\open"),
                              Sub(name + L"\\shell\\open\\command", {Text(L"", command)})});
    }

    // Puts records into the registry model as its loaders would leave them: sorted and linked.
    static void SetModel(std::vector<RegKeyRecord> extensions, std::vector<RegKeyRecord> associations) {
        ExtKeys().assign(1, RegKeyRecord{});
        for (auto& e : extensions) ExtKeys().push_back(std::move(e));
        AssocKeys().assign(1, RegKeyRecord{});
        for (auto& a : associations) AssocKeys().push_back(std::move(a));
        ExtByAssoc() = SortExtKeys(ExtKeys());
        ExtByName() = Sort(ExtKeys());
        AssocByName() = Sort(AssocKeys());
        MatchDefAssocWithExt(ExtKeys(), AssocKeys(), ExtByAssoc(), AssocByName());
    }
    // Writes the model as the snapshot file and reads it back.
    static bool SnapshotModel(std::wstring* error = nullptr) {
        WriteAssocSnapshot(GetSnapshotFilePath(), ExtKeys(), AssocKeys(), ExtByName());
        return GetAssocSnapshot(GetSnapshotFilePath(), error);
    }

    static std::wstring ThisProgram() {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        return path;
    }

    std::wstring work_;
    CheckpointSink* previousSink_ = nullptr;
};

// The user clicks the row of that extension (and action), "Action|Extension", in the restorer's
// list where it is shown on the screen; the row must be listed and take the click. found is the
// row's index.
inline void ClickRestorerRowByUser(frmAssociationRestorer& form, const std::wstring& row, int& found) {
    found = -1;
    for (int r = 0; r < form.lvw->Count(); ++r)
        if (form.lvw->ItemText(r, 0) + L"|" + form.lvw->ItemText(r, 1) == row) found = r;
    ASSERT_GE(found, 0) << vb::ToAnsi(row) << " is listed";
    HWND list = form.lvw->Handle();
    RECT cell{};
    cell.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(found), reinterpret_cast<LPARAM>(&cell)));
    userinput::BringToFront(GetAncestor(list, GA_ROOT));
    userinput::Click(userinput::OnScreen(list, POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2}));
    userinput::PumpFor(50);
    ASSERT_TRUE(form.lvw->Selected(found)) << "the row took the click";
}
