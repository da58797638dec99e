// A recording stand-in for what the pop-up menus call on the options window.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "OptionsMenus.h"

class RecordingMenuCommands : public OptionsMenuCommands {
public:
    std::vector<std::wstring> calls;
    std::map<std::wstring, std::wstring> notes;
    std::vector<std::wstring> shownNotes;
    std::vector<bool> dragStates;

    void ActivateDeactivateCategory(bool activate) override {
        calls.push_back(activate ? L"Activate" : L"Deactivate");
    }
    void ExpandCollapseBranch(bool expand) override { calls.push_back(expand ? L"Expand" : L"Collapse"); }
    void mnuAddCategory() override { calls.push_back(L"mnuAddCategory"); }
    void mnuDeleteCategory() override { calls.push_back(L"mnuDeleteCategory"); }
    void mnuRenameCategory() override { calls.push_back(L"mnuRenameCategory"); }
    void mnuAddSubcategory() override { calls.push_back(L"mnuAddSubcategory"); }
    void CloseOptions() override { calls.push_back(L"Close"); }
    void mnuDeleteSubcategory() override { calls.push_back(L"mnuDeleteSubcategory"); }
    void mnuRenameSubcategory() override { calls.push_back(L"mnuRenameSubcategory"); }
    void RemoveCurrentExtension() override { calls.push_back(L"RemoveExtension"); }
    void mnuMakeDefault() override { calls.push_back(L"mnuMakeDefault"); }
    void mnuRemoveDefault() override { calls.push_back(L"mnuRemoveDefault"); }
    void mnuDeleteProgram() override { calls.push_back(L"mnuDeleteProgram"); }
    void mnuAssignAlias() override { calls.push_back(L"mnuAssignAlias"); }
    void RemoveAlias() override { calls.push_back(L"RemoveAlias"); }
    void FindInListView(long direction, bool repeat) override {
        calls.push_back(L"Find " + std::to_wstring(direction) + (repeat ? L" repeat" : L""));
    }
    void mnuRefresh() override { calls.push_back(L"mnuRefresh"); }
    void SetFilterBox(int item, bool checked) override {
        calls.push_back(L"Filter " + std::to_wstring(item) + (checked ? L" on" : L" off"));
    }
    void mnuShowAddExtensions() override { calls.push_back(L"mnuShowAddExtensions"); }
    void MakeExtensionAssociated() override { calls.push_back(L"MakeExtensionAssociated"); }
    void ShowAssociationRestorer() override { calls.push_back(L"Restorer"); }
    void ShowPreviewerController(bool explorerPrecatch) override {
        calls.push_back(explorerPrecatch ? L"Explorer Precatch Controller" : L"Previewer Controller");
    }
    void SetDragInProgress(bool value) override { dragStates.push_back(value); }
    std::wstring GetHowDoIFile(const std::wstring& key) override {
        auto it = notes.find(key);
        return it == notes.end() ? std::wstring() : it->second;
    }
    void AddHowDoIFile(const std::wstring& key, const std::wstring& path) override { notes[key] = path; }
    void ShowNote(const std::wstring& path) override { shownNotes.push_back(path); }
};
