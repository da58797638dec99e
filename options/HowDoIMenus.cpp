// The "How Do I" sub-menus: the notes of the Messages folder, listed by their file names' masks.
#include <fstream>

#include "OptionsMenus.h"
#include "basErrorHandler.h"
#include "basExeSearch.h"
#include "basStrings.h"
#include "basWinAPI_Windows.h"
#include "vb/VbText.h"

namespace {

struct HowDoIRow {
    int group;
    const wchar_t* mask;
    bool reuse;
};

const HowDoIRow kHowDoIRows[] = {
    {mgCategory, L"*.cat.note", false}, {mgSubcategory, L"*.cat.note", true}, {mgExtension, L"*.cat.note", true},
    {mgProgram, L"*.cat.note", true},   {mgPrgList, L"*.prg.note", false},    {mgExtList, L"*.ext.note", false},
};

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void AddHowDoIMenuItems(frmMenus& menus, OptionsMenuCommands& notes, const std::wstring& folder,
                        const HowDoIRow& row, std::vector<std::wstring>& noteList, std::vector<long>& ids) {
    if (!row.reuse) {
        std::vector<std::wstring> found(1);
        long counter = 0;
        SearchExeFiles(folder, L"*.all.note", counter, found, nullptr, false, false);
        SearchExeFiles(folder, row.mask, counter, found, nullptr, false, false);
        found.resize(static_cast<size_t>(counter) + 1);
        std::vector<long> order = Sort(found, vb::TextCompare, 1);
        noteList.clear();
        for (size_t i = 1; i < order.size(); ++i) noteList.push_back(found[static_cast<size_t>(order[i])]);
    }
    if (noteList.empty()) return;
    const std::wstring placeholder = menus.HowDoICaption(row.group);
    menus.SetHowDoITag(row.group, placeholder);
    notes.AddHowDoIFile(placeholder, noteList[0]);
    menus.SetHowDoICaption(row.group, GetMessageTitle(noteList[0]));
    if (noteList.size() < 2) return;
    HMENU sub = menus.HowDoIMenu(row.group);
    if (!sub) return;
    std::vector<vb::Variant> items;
    for (size_t i = 1; i < noteList.size(); ++i) {
        items.push_back(vb::Variant(vb::Variant::Array{vb::Variant(static_cast<long>(MF_STRING)), vb::Variant(-1L),
                                                       vb::Variant(GetMessageTitle(noteList[i]))}));
    }
    ids = CreateMenuItem(sub, vb::Variant(vb::Variant::Array(items.begin(), items.end())));
    for (size_t i = 0; i < ids.size() && i + 1 < noteList.size(); ++i)
        notes.AddHowDoIFile(L"k" + std::to_wstring(ids[i]), noteList[i + 1]);
}

}  // namespace

std::wstring GetMessageTitle(const std::wstring& notePath) {
    std::wstring title;
    TrappedVoid(L"GetMessageTitle", [&] {
        std::ifstream file(notePath.c_str(), std::ios::binary);
        std::string raw;
        while (file && std::getline(file, raw)) {
            const std::wstring line = vb::FromAnsi(raw);
            const size_t mark = line.find(L"\\ul\\b");
            if (mark == std::wstring::npos) continue;
            const size_t blank = line.find(L' ', mark);
            if (blank == std::wstring::npos) continue;
            const size_t end = line.find(L'\\', blank + 1);
            title = line.substr(blank + 1, end == std::wstring::npos ? std::wstring::npos : end - blank - 1);
            while (!title.empty() && (title.back() == L'\r' || title.back() == L'\n')) title.pop_back();
            return;
        }
    });
    if (title.empty()) {
        // No heading: the file name less its ".note" endings ("Adding.prg.note" gives "Adding").
        title = FileNameOf(notePath);
        const size_t dot = title.find(L'.');
        if (dot != std::wstring::npos && dot > 0) title.erase(dot);
    }
    return title;
}

void BuildHowDoIMenus(frmMenus& menus, OptionsMenuCommands& notes, const std::wstring& messagesFolder) {
    ProcGuard guard;
    try {
        if (!vb::TextEquals(menus.HowDoICaption(mgCategory), L"How Do I's for Categories")) return;
        std::vector<std::wstring> noteList;
        for (const HowDoIRow& row : kHowDoIRows) {
            std::vector<long> ids;
            AddHowDoIMenuItems(menus, notes, messagesFolder, row, noteList, ids);
        }
    } catch (...) {
        TrapError(L"BuildHowDoIMenus");
    }
}
