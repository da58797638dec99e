#include "frmPreviewerController.h"

#include <algorithm>

#include "PrintList.h"
#include "basAssocLinks.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 380;
constexpr int kMargin = 8;
constexpr int kButtonWidth = 68;
constexpr int kButtonHeight = 24;
constexpr int kFrameTop = 312;
constexpr int kFrameHeight = 58;

constexpr const wchar_t* kFrameTag = L"FixedSize:='True' ResizeAnchor1:='Bottom' ResizeAnchor2:='Left'";

std::wstring& PendingFormUse() {
    static std::wstring formUse;
    return formUse;
}

// The next whole pixel at or above a length in twips.
long AtLeastWholePixels(long twips, int twipsPerPixel) {
    return (twips + twipsPerPixel - 1) / twipsPerPixel * twipsPerPixel;
}

// Moves a link from one slot to the other; an empty slot moves nothing, so a live link is
// never overwritten with "none".
void MoveLink(long& from, long& to) {
    if (from <= 0) return;
    to = from;
    from = 0;
}

std::wstring ValueText(const vb::Variant& data) { return ValueDataText(data); }

// A switched value keeps an expandable text expandable; anything else is written as text.
long TextTypeOf(const RegValueRecord& value) { return value.ValueType == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ; }

}  // namespace

frmPreviewerController::frmPreviewerController()
    : win::Window(L"frmPreviewerController"),
      formUse_(PendingFormUse()),
      lvw((Create(L"Previewer Controller", kClientWidth, kClientHeight,
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN),
           Add<win::ListView>(nullptr, L"lvw", -1,
                              win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, kFrameTop - 2 * kMargin}, true))) {
    SetTag(L"RegistryName:='Preview Controller'");
    lvw.SetTag(L"ResizeAnchor1:='LeftAndRight'");

    const int listFrameWidth = 2 * 10 + 3 * kButtonWidth + 2 * 4;
    fra[0] = &Add<win::Container>(nullptr, L"fra", 0, L"List",
                                  win::Rect{kMargin, kFrameTop, listFrameWidth, kFrameHeight}, true);
    fra[1] = &Add<win::Container>(nullptr, L"fra", 1, L"",
                                  win::Rect{kMargin + listFrameWidth + kMargin, kFrameTop, 2 * 10 + kButtonWidth,
                                            kFrameHeight},
                                  true);
    for (win::Container* f : fra) f->SetTag(kFrameTag);
    const wchar_t* captions[] = {L"Print", L"Uncheck All", L"Check All"};
    for (int i = 0; i < 3; ++i) {
        cmd[static_cast<size_t>(i)] = &Add<win::Button>(
            fra[0], L"cmd", i, captions[i], win::Rect{10 + i * (kButtonWidth + 4), 22, kButtonWidth, kButtonHeight});
    }
    cmd[3] = &Add<win::Button>(fra[1], L"cmd", 3, L"Done", win::Rect{10, 22, kButtonWidth, kButtonHeight});
    for (int i = 0; i < 4; ++i) cmd[static_cast<size_t>(i)]->OnClick = [this, i] { ButtonClicked(i); };

    lvw.OnItemCheck = [this](int item) {
        // Checks set by our own code are not the user's: filling and "Check All" handle them.
        if (!checksByCode_) RowCheckChanged(item);
    };

    FormLoad();
}

frmPreviewerController& frmPreviewerController::Default() {
    return win::DefaultInstance<frmPreviewerController>::Get();
}
frmPreviewerController* frmPreviewerController::Existing() {
    return win::DefaultInstance<frmPreviewerController>::Existing();
}
void frmPreviewerController::Release() {
    win::DefaultInstance<frmPreviewerController>::Release();
    PendingFormUse().clear();
}
void frmPreviewerController::SetNextFormUse(const std::wstring& formUse) { PendingFormUse() = formUse; }

void frmPreviewerController::FormLoad() {
    TrappedVoid(L"Form_Load", [&] {
        lvw.AddColumn(L"Extension", win::TwipsToPixelsX(1500));
        lvw.AddColumn(L"Association", win::TwipsToPixelsX(3500));
        OldFormWidth = Width();
        OldFormHeight = Height();
        if (formUse_.empty())
            kind_ = ListKind::Previewers;
        else if (formUse_ == ExplorerPrecatchUse)
            kind_ = ListKind::ExplorerPrecatch;
        else
            kind_ = ListKind::None;
        if (!formUse_.empty()) {
            SetCaption(formUse_);
            lvw.SetColumnHeader(1, L"");
        }
        PlaceForm(*this, phCentre, pvCentre);
        FormGetSetPosAndSize(plRestore, *this);
        ResizeControls(*this);
    });
}

LRESULT frmPreviewerController::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !activated_) FormActivate();
            break;
        case WM_SIZE:
            FormResize(wParam);
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmPreviewerController::FormActivate() {
    TrappedVoid(L"Form_Activate", [&] {
        activated_ = true;
        optionsHold_.Take();
        Refresh();
        SetControlsEnabled(*this, false);
        GetExtensions();
        DisplayExtensions();
        SetControlsEnabled(*this, true);
    });
}

void frmPreviewerController::FormResize(WPARAM sizeType) {
    TrappedVoid(L"Form_Resize", [&] {
        if (!Loaded()) return;
        if (sizeType == SIZE_MAXIMIZED) {
            resizeCounter_ = 1;
            return;
        }
        // Minimized, or news of another window: nothing to lay out.
        if (sizeType != SIZE_RESTORED) return;
        const long screenWidth = vb::ScreenWidth();
        const long screenHeight = vb::ScreenHeight();
        long top = Top(), width = Width(), height = Height();
        const long oldTop = top, oldWidth = width, oldHeight = height;
        if (top > screenHeight) top = static_cast<long>(0.9 * screenHeight);
        if (top < 0) top = static_cast<long>(0.05 * screenHeight);
        if (height > screenHeight) height = static_cast<long>(0.95 * (screenHeight - top));
        if (width > screenWidth) width = static_cast<long>(0.9 * screenWidth);
        if (top != oldTop || width != oldWidth || height != oldHeight) Move(Left(), top, width, height);
        normalTop_ = Top();
        normalLeft_ = Left();
        normalWidth_ = Width();
        normalHeight_ = Height();
        resizeCounter_ = 1;
    });
}

void frmPreviewerController::TimerEvent() { ApplyPendingResize(); }

void frmPreviewerController::ApplyPendingResize() {
    TrappedVoid(L"ApplyPendingResize", [&] {
        if (resizeCounter_ == 0 || !Loaded()) return;
        const int state = WindowState();
        if (state == 1) return;
        // The layout waits for the fourth tick after the last resize, so a drag is laid out once.
        if (++resizeCounter_ < 5) return;
        if (state == 0) {
            pendingWidth_ = std::max(Width(), AtLeastWholePixels(MinimumWidth, vb::TwipsPerPixelX()));
            pendingHeight_ = std::max(Height(), AtLeastWholePixels(MinimumHeight, vb::TwipsPerPixelY()));
            Move(Left(), Top(), pendingWidth_, pendingHeight_);
            pendingWidth_ = 0;
            pendingHeight_ = 0;
        }
        ResizeControls(*this);
        resizeCounter_ = 0;
    });
}

bool frmPreviewerController::OnQueryUnload() {
    TrappedVoid(L"Form_QueryUnload", [&] {
        FormGetSetPosAndSize(plSave, *this);
        optionsHold_.GiveBack();
    });
    return false;
}

void frmPreviewerController::OnUnload() {
    TrappedVoid(L"Form_Unload", [&] {
        // A window closed without the query (unloaded by code) gives the options window back too.
        optionsHold_.GiveBack();
        ShowStatus(2, L"");
        ShowStatus(3, L"");
        // The next opening starts with the image previewers unless told otherwise.
        PendingFormUse().clear();
    });
}

void frmPreviewerController::ButtonClicked(int index) {
    switch (index) {
        case 0:
            PrintList();
            break;
        case 1:
            CheckAllRows(false);
            break;
        case 2:
            CheckAllRows(true);
            break;
        case 3:
            // Closed after the click has returned, through the query like the title bar's close.
            PostMessageW(Handle(), WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

void frmPreviewerController::PrintList() { ::PrintList(lvw, PrintedList::Previewer); }

std::wstring frmPreviewerController::TextLimitWidth(const std::wstring& text, win::PrintDevice& device,
                                                    double width) {
    return ::TextLimitWidth(text, device, width);
}

// ---- The rows ----

long frmPreviewerController::AddExtensionRow(const std::wstring& key, const std::wstring& text) {
    const int row = lvw.AddItem(text);
    if (row < 0) vb::Raise(vb::ErrInternal);
    const size_t at = static_cast<size_t>(row);
    if (rowKeys_.size() <= at) rowKeys_.resize(at + 1);
    if (rowTags_.size() <= at) rowTags_.resize(at + 1);
    rowKeys_[at] = key;
    return row;
}

void frmPreviewerController::SetRowSubItem(long row, int subItem, const std::wstring& text) {
    lvw.SetSubItem(static_cast<int>(row), subItem, text);
}

void frmPreviewerController::SetRowTag(long row, long tag) {
    if (row < 0 || static_cast<size_t>(row) >= rowTags_.size()) vb::Raise(vb::ErrSubscript);
    rowTags_[static_cast<size_t>(row)] = tag;
}

std::wstring frmPreviewerController::RowKey(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rowKeys_.size()) vb::Raise(vb::ErrSubscript);
    return rowKeys_[static_cast<size_t>(row)];
}

long frmPreviewerController::RowIndex(int row) const {
    const std::wstring digits = RowKey(row).substr(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        vb::Raise(vb::ErrTypeMismatch);
    return std::stol(digits);
}

void frmPreviewerController::SetCheckByCode(int row, bool checked) {
    const bool before = checksByCode_;
    checksByCode_ = true;
    try {
        lvw.SetChecked(row, checked);
    } catch (...) {
        checksByCode_ = before;
        throw;
    }
    checksByCode_ = before;
}

// ---- Finding the extensions ----

bool frmPreviewerController::ExtensionHasPreviewer(const RegKeyRecord& record) {
    return Trapped(L"ExtensionHasPreviewer", [&] {
        auto read = [&](const wchar_t* name) {
            vb::Variant data = Registry(regGet, record.KeyName, L"", vb::Variant(name), std::nullopt,
                                        vb::Variant(L""), HKEY_CLASSES_ROOT, true, true);
            bool tagged = false;
            return vb::Trim(StripPreviewerDisableTag(ValueText(data), tagged));
        };
        if (vb::TextEquals(read(L"PerceivedType"), L"Image")) return true;
        return vb::TextEquals(read(L""), L"Paint.Picture");
    });
}

bool frmPreviewerController::ExtensionIsPrecaught(const RegKeyRecord& record) {
    return Trapped(L"ExtensionIsPrecaught", [&] {
        const std::wstring key = JoinPaths(ExplorerFileExtsKey, record.KeyName);
        auto read = [&](const wchar_t* name) {
            vb::Variant data = Registry(regGet, key, L"", vb::Variant(name), std::nullopt, vb::Variant(L""),
                                        HKEY_CURRENT_USER, true, true);
            bool tagged = false;
            return vb::Trim(StripPreviewerDisableTag(ValueText(data), tagged));
        };
        if (!read(L"ProgID").empty()) return true;
        return !read(L"Application").empty();
    });
}

void frmPreviewerController::GetExtensions() {
    TrappedVoid(L"GetExtensions", [&] {
        rowList_.clear();
        if (kind_ == ListKind::Previewers) {
            const RegKeyRecords& records = ExtKeys();
            const std::vector<long>& order = ExtByName();
            for (size_t i = 1; i < records.size() && i < order.size(); ++i) {
                const long index = order[i];
                if (index < 1 || static_cast<size_t>(index) >= records.size()) continue;
                if (ExtensionHasPreviewer(records[static_cast<size_t>(index)])) rowList_.push_back(index);
            }
        } else if (kind_ == ListKind::ExplorerPrecatch) {
            const RegKeyRecords& records = ExplorerExtKeys();
            for (size_t i = 1; i < records.size(); ++i)
                if (ExtensionIsPrecaught(records[i])) rowList_.push_back(static_cast<long>(i));
        }
    });
}

long frmPreviewerController::FindRecordValue(const std::vector<RegValueRecord>& values, const std::wstring& name,
                                             bool& found) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (vb::TextEquals(values[i].ValueName, name)) {
            found = true;
            return static_cast<long>(i);
        }
    }
    found = false;
    return -1;
}

bool frmPreviewerController::IsPreviewerDisabled(const RegKeyRecord& record) {
    const std::vector<RegValueRecord>& values = record.KeyValues;
    if (record.ValueIndex >= 0 && static_cast<size_t>(record.ValueIndex) < values.size() &&
        EndsWithPreviewerDisableTag(ValueText(values[static_cast<size_t>(record.ValueIndex)].ValueData)))
        return true;
    bool found = false;
    const long p = FindRecordValue(values, L"PerceivedType", found);
    return found && EndsWithPreviewerDisableTag(ValueText(values[static_cast<size_t>(p)].ValueData));
}

bool frmPreviewerController::IsExplorerPrecatchDisabled(const RegKeyRecord& record) {
    const std::vector<RegValueRecord>& values = record.KeyValues;
    for (const wchar_t* name : {L"ProgID", L"Application"}) {
        bool found = false;
        const long p = FindRecordValue(values, name, found);
        if (found && EndsWithPreviewerDisableTag(ValueText(values[static_cast<size_t>(p)].ValueData))) return true;
    }
    return false;
}

void frmPreviewerController::DisplayExtensions() {
    TrappedVoid(L"DisplayExtensions", [&] {
        if (kind_ != ListKind::None) {
            const bool previewers = kind_ == ListKind::Previewers;
            RegKeyRecords& records = previewers ? ExtKeys() : ExplorerExtKeys();
            for (long index : rowList_) {
                if (index < 1 || static_cast<size_t>(index) >= records.size()) continue;
                const RegKeyRecord& record = records[static_cast<size_t>(index)];
                const long row = AddExtensionListItem(*this, record, index);
                if (row < 0) continue;
                const bool disabled = previewers ? IsPreviewerDisabled(record) : IsExplorerPrecatchDisabled(record);
                SetCheckByCode(static_cast<int>(row), !disabled);
            }
            if (lvw.Count() > 0)
                ListViewAutoSizeColumns(lvw);
            else
                MessageHandler(MessageBase + (previewers ? 4529 : 4530));
        }
        SetButtonsEnabledState();
    });
}

// ---- Switching ----

frmPreviewerController::Rewrite frmPreviewerController::RewriteRegValue(RegKeyRecord& record, HKEY root,
                                                                        const std::wstring& key,
                                                                        const std::wstring& valueName,
                                                                        const std::wstring& tag, long valueIndex,
                                                                        const std::wstring& expected) {
    Rewrite rewrite;
    if (valueIndex == -2) {
        bool found = false;
        valueIndex = FindRecordValue(record.KeyValues, valueName, found);
        if (!found) return rewrite;
    }
    // A value the record does not hold is never created.
    if (valueIndex < 0 || static_cast<size_t>(valueIndex) >= record.KeyValues.size()) return rewrite;
    RegValueRecord& value = record.KeyValues[static_cast<size_t>(valueIndex)];
    bool tagged = false;
    const std::wstring current = StripPreviewerDisableTag(ValueText(value.ValueData), tagged);
    // Only a default value of exactly "Paint.Picture" is ever tagged.
    if (!expected.empty() && !vb::TextEquals(current, expected)) return rewrite;
    const std::wstring data = current + tag;

    rewrite.valueIndex = valueIndex;
    rewrite.oldData = value.ValueData;
    value.ValueData = vb::Variant(data);
    Registry(regSave, key, L"", vb::Variant(valueName), vb::Variant(data), std::nullopt, root, true, true, false,
             TextTypeOf(value));
    rewrite.result = RegistryFailureCount() == 0 ? Rewritten::Written : Rewritten::Refused;
    return rewrite;
}

void frmPreviewerController::UndoRewrites(RegKeyRecord& record, HKEY root, const std::wstring& key,
                                          const std::vector<Rewrite>& done, const std::vector<std::wstring>& names) {
    for (size_t i = 0; i < done.size() && i < names.size(); ++i) {
        const Rewrite& r = done[i];
        if (r.result == Rewritten::Nothing) continue;
        RegValueRecord& value = record.KeyValues[static_cast<size_t>(r.valueIndex)];
        value.ValueData = r.oldData;
        // A value already changed gets its former text back, so the row means what its check says.
        if (r.result == Rewritten::Written)
            Registry(regSave, key, L"", vb::Variant(names[i]), vb::Variant(ValueText(r.oldData)), std::nullopt, root,
                     true, true, false, TextTypeOf(value));
    }
}

bool frmPreviewerController::ChangePreviewerFlag(int row) {
    return Trapped(L"ChangePreviewerFlag", [&] {
        const long index = RowIndex(row);
        RegKeyRecords& records = ExtKeys();
        if (index < 1 || static_cast<size_t>(index) >= records.size()) vb::Raise(vb::ErrSubscript);
        RegKeyRecord& record = records[static_cast<size_t>(index)];
        const bool switchOn = lvw.Checked(row);
        const std::wstring tag = switchOn ? L"" : PreviewerDisableTag;

        Rewrite defaultValue =
            RewriteRegValue(record, HKEY_CLASSES_ROOT, record.KeyName, L"", tag, record.ValueIndex, L"Paint.Picture");
        Rewrite perceivedType;
        if (defaultValue.result != Rewritten::Refused)
            perceivedType = RewriteRegValue(record, HKEY_CLASSES_ROOT, record.KeyName, L"PerceivedType", tag, -2, L"");
        if (defaultValue.result == Rewritten::Refused || perceivedType.result == Rewritten::Refused) {
            UndoRewrites(record, HKEY_CLASSES_ROOT, record.KeyName, {defaultValue, perceivedType},
                         {L"", L"PerceivedType"});
            SetCheckByCode(row, !switchOn);
            vb::Raise(70, std::nullopt,
                      L"The registry refused the change of HKEY_CLASSES_ROOT\\" + record.KeyName +
                          L". You may not have the rights to change file associations.");
        }

        // The links follow the default value: an extension whose default value stayed as it was
        // keeps its association where it is.
        if (defaultValue.result == Rewritten::Written) {
            RegKeyRecords& assocs = AssocKeys();
            const long linked = switchOn ? record.TaggedLink : record.Link;
            if (switchOn)
                MoveLink(record.TaggedLink, record.Link);
            else
                MoveLink(record.Link, record.TaggedLink);
            if (linked > 0 && static_cast<size_t>(linked) < assocs.size()) {
                RegKeyRecord& assoc = assocs[static_cast<size_t>(linked)];
                if (switchOn)
                    MoveLink(assoc.TaggedLink, assoc.Link);
                else
                    MoveLink(assoc.Link, assoc.TaggedLink);
            }
        }
        return true;
    }, false);
}

bool frmPreviewerController::ChangeExplorerFileExtFlag(int row) {
    return Trapped(L"ChangeExplorerFileExtFlag", [&] {
        const long index = RowIndex(row);
        RegKeyRecords& records = ExplorerExtKeys();
        if (index < 1 || static_cast<size_t>(index) >= records.size()) vb::Raise(vb::ErrSubscript);
        RegKeyRecord& record = records[static_cast<size_t>(index)];
        const bool switchOn = lvw.Checked(row);
        const std::wstring tag = switchOn ? L"" : PreviewerDisableTag;
        const std::wstring key = JoinPaths(ExplorerFileExtsKey, record.KeyName);

        Rewrite application = RewriteRegValue(record, HKEY_CURRENT_USER, key, L"Application", tag, -2, L"");
        Rewrite progId;
        if (application.result != Rewritten::Refused)
            progId = RewriteRegValue(record, HKEY_CURRENT_USER, key, L"ProgID", tag, -2, L"");
        if (application.result == Rewritten::Refused || progId.result == Rewritten::Refused) {
            UndoRewrites(record, HKEY_CURRENT_USER, key, {application, progId}, {L"Application", L"ProgID"});
            SetCheckByCode(row, !switchOn);
            vb::Raise(70, std::nullopt,
                      L"The registry refused the change of HKEY_CURRENT_USER\\" + key +
                          L". You may not have the rights to change Explorer's settings.");
        }
        return true;
    }, false);
}

bool frmPreviewerController::RowCheckChanged(int row) {
    switch (kind_) {
        case ListKind::Previewers:
            return ChangePreviewerFlag(row);
        case ListKind::ExplorerPrecatch:
            return ChangeExplorerFileExtFlag(row);
        default:
            return true;
    }
}

void frmPreviewerController::CheckAllRows(bool state) {
    TrappedVoid(L"CheckAllRows", [&] {
        SetControlsEnabled(*this, false);
        const int count = lvw.Count();
        for (int row = 0; row < count; ++row) {
            if (lvw.Checked(row) == state) continue;
            SetCheckByCode(row, state);
            // One refusal is reported once; the rows after it are left as they are.
            if (!RowCheckChanged(row)) break;
        }
        SetControlsEnabled(*this, true);
    });
}

void frmPreviewerController::SetButtonsEnabledState() {
    TrappedVoid(L"SetButtonsEnabledState", [&] {
        if (settingButtons_) return;
        BusyScope busy(settingButtons_);
        SetControlEnabled(*this, *cmd[0], lvw.Count() > 0);
    });
}

frmPreviewerController& ShowPreviewerController(const std::wstring& formUse, HWND owner) {
    if (frmPreviewerController* open = frmPreviewerController::Existing()) {
        if (open->FormUse() == formUse) {
            open->Show();
            SetForegroundWindow(open->Handle());
            return *open;
        }
        // The list of the other kind goes first: its rows would switch the wrong keys.
        SendMessageW(open->Handle(), WM_CLOSE, 0, 0);
    }
    frmPreviewerController::SetNextFormUse(formUse);
    frmPreviewerController& form = frmPreviewerController::Default();
    if (owner) SetWindowLongPtrW(form.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    form.Show();
    return form;
}
