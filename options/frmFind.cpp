#include "frmFind.h"

#include <commctrl.h>

#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "vb/VbText.h"

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 250;

}  // namespace

long InStrByDirection(const std::wstring& text, const std::wstring& search, long step, bool caseSensitive) {
    const int mode = caseSensitive ? vb::BinaryCompare : vb::TextCompare;
    if (step >= 0) return static_cast<long>(vb::InStr(text, search, mode));
    if (search.empty()) return static_cast<long>(text.size());
    if (search.size() > text.size()) return 0;
    for (size_t p = text.size() - search.size() + 1; p-- > 0;) {
        if (vb::StrComp(std::wstring_view(text).substr(p, search.size()), search, mode) == 0)
            return static_cast<long>(p) + 1;
    }
    return 0;
}

frmFind::frmFind()
    : win::Window(L"frmFind"),
      txt((Create(L"Find Exe File", kWidth, kHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                  WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
           Add<win::TextBox>(nullptr, L"txt", -1, L"", win::Rect{100, 12, 300, 22}))),
      lbl0(Add<win::Label>(nullptr, L"lbl", 0, L"Search Words", win::Rect{10, 15, 85, 18})),
      fraOptions(Add<win::Container>(nullptr, L"fraOptions", -1, L"Search...", win::Rect{10, 44, 300, 128}, true)),
      optDown(Add<win::OptionButton>(&fraOptions, L"opt", 0, L"Down", win::Rect{10, 20, 80, 18})),
      optUp(Add<win::OptionButton>(&fraOptions, L"opt", 1, L"Up", win::Rect{100, 20, 80, 18})),
      chkExactPhrase(Add<win::CheckBox>(&fraOptions, L"chk", 0, L"For Exact Phrase", win::Rect{10, 42, 280, 18})),
      chkExactCase(Add<win::CheckBox>(&fraOptions, L"chk", 1, L"For Exact Case", win::Rect{10, 62, 280, 18})),
      chkFromStart(Add<win::CheckBox>(&fraOptions, L"chk", 2, L"From the Beginning", win::Rect{10, 82, 280, 18})),
      chkColumnsOnly(Add<win::CheckBox>(&fraOptions, L"chk", 3, L"Company, Product && Version columns only",
                                        win::Rect{10, 102, 280, 18})),
      cmdFind(Add<win::Button>(nullptr, L"cmdButtons", 0, L"Find", win::Rect{320, 50, 90, 24}, BS_DEFPUSHBUTTON)),
      cmdCancel(Add<win::Button>(nullptr, L"cmdButtons", 1, L"Cancel", win::Rect{320, 80, 90, 24})) {
    Add<win::Label>(nullptr, L"lbl", 1, L"Ctrl+F", win::Rect{10, 180, 60, 16});
    Add<win::Label>(nullptr, L"lbl", 2, L"F3", win::Rect{10, 200, 60, 16});
    Add<win::Label>(nullptr, L"lbl", 3, L"Shift+F3", win::Rect{10, 220, 60, 16});
    Add<win::Label>(nullptr, L"lbl", 4, L"Will bring this screen back.", win::Rect{80, 180, 330, 16});
    Add<win::Label>(nullptr, L"lbl", 5, L"F3 key will repeat this search without this screen.",
                    win::Rect{80, 200, 330, 16});
    Add<win::Label>(nullptr, L"lbl", 6, L"Is the same as F3 but in the reverse direction.",
                    win::Rect{80, 220, 330, 16});
    optDown.SetChecked(true);
    optDown.OnClick = [this] { DirectionChosen(); };
    optUp.OnClick = [this] { DirectionChosen(); };
    cmdFind.OnClick = [this] {
        findRequested_ = true;
        Hide();
    };
    cmdCancel.OnClick = [this] { Hide(); };
    TrappedVoid(L"Form_Load", [&] { PlaceForm(*this, phCentre, pvCentre); });
}

frmFind& frmFind::Default() { return win::DefaultInstance<frmFind>::Get(); }
frmFind* frmFind::Existing() { return win::DefaultInstance<frmFind>::Existing(); }
void frmFind::Release() { win::DefaultInstance<frmFind>::Release(); }

win::CheckBox& frmFind::chk(int index) {
    switch (index) {
        case 0: return chkExactPhrase;
        case 1: return chkExactCase;
        case 2: return chkFromStart;
        default: return chkColumnsOnly;
    }
}

void frmFind::DirectionChosen() {
    chkFromStart.SetText(optUp.Checked() ? L"From the End" : L"From the Beginning");
}

void frmFind::ShowOver(HWND owner) { ShowModalOwnedBy(*this, owner); }

LRESULT frmFind::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                findRequested_ = false;
                LRESULT result = DefaultMessage(msg, wParam, lParam);
                SetFocus(txt.Handle());
                SendMessageW(txt.Handle(), EM_SETSEL, 0, -1);
                return result;
            }
            break;
        case DM_GETDEFID:
            return MAKELRESULT(GetDlgCtrlID(cmdFind.Handle()), DC_HASDEFID);
        case WM_COMMAND:
            // Escape in the dialog is "Cancel".
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
                Hide();
                return 0;
            }
            break;
        default:
            break;
    }
    return win::Window::OnMessage(msg, wParam, lParam);
}

bool frmFind::OnQueryUnload() {
    // The close box hides the dialog as "Cancel" does, so the criteria stay for F3.
    Hide();
    return true;
}

std::optional<long> frmFind::Search(const FindableList* list, long direction) {
    ProcGuard guard;
    try {
        if (!findRequested_ || !list) return std::nullopt;
        const std::wstring name = list->ListName();
        if (name != L"lvwExts" && name != L"lvwPrograms") return std::nullopt;
        return SearchFromCurrentItem(*list, direction);
    } catch (...) {
        TrapError(L"Search");
    }
    return std::nullopt;
}

std::optional<long> frmFind::SearchFromCurrentItem(const FindableList& list, long direction) {
    const long step = optUp.Checked() ? -direction : direction;
    const int count = list.RowCount();
    if (count <= 0) return std::nullopt;
    const bool programs = list.ListName() == L"lvwPrograms";
    const bool columnsOnly = chkColumnsOnly.Checked();
    auto rowText = [&](int row) {
        std::wstring text;
        if (!(programs && columnsOnly)) text = list.RowText(row);
        const int subItems = list.SubItemCount();
        for (int s = 1; s <= subItems; ++s) {
            if (columnsOnly && (!programs || (s != 1 && s != 2))) continue;
            text += list.SubItemText(row, s);
            text += L"|";
        }
        if (!text.empty() && text.back() == L'|') text.pop_back();
        return text;
    };
    // Rows counted from 1 here.
    const int selected = list.SelectedRow();
    long start;
    if (selected >= 0 && !chkFromStart.Checked()) {
        start = selected + 1 + step;
    } else {
        start = step > 0 ? 1 : count;
    }
    if (start < 1) start = count;
    if (start > count) start = 1;
    const long end = step > 0 ? count : 1;
    for (long row = start;; row += step) {
        if (ItemMatches(rowText(static_cast<int>(row - 1)), step) > 0) return row;
        if (row == end) break;
    }
    if (start != (step > 0 ? 1 : count)) {
        const long otherEnd = step > 0 ? 1 : count;
        for (long row = otherEnd; row != start; row += step) {
            if (ItemMatches(rowText(static_cast<int>(row - 1)), step) > 0) return row;
        }
    }
    return std::nullopt;
}

long frmFind::ItemMatches(const std::wstring& text, long step) {
    const bool exactCase = chkExactCase.Checked();
    const std::wstring search = txt.Text();
    if (chkExactPhrase.Checked()) {
        if (search.empty()) return 0;
        return InStrByDirection(text, search, step, exactCase);
    }
    std::wstring words = vb::Trim(search);
    if (words.empty()) return 0;
    for (;;) {
        size_t before = words.size();
        size_t at;
        while ((at = words.find(L"  ")) != std::wstring::npos) words.replace(at, 2, L" ");
        if (words.size() == before) break;
    }
    if (words != search) txt.SetText(words);
    long result = 0;
    for (const std::wstring& word : vb::Split(words, L" ")) {
        const long at = InStrByDirection(text, word, step, exactCase);
        if (at <= 0) return 0;
        if (result == 0 || (step > 0 ? at < result : at > result)) result = at;
    }
    return result;
}
