#include "frmExtensions.h"

#include "OptionsEditor.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

constexpr int kMargin = 12;
constexpr int kBoxWidth = 220;
constexpr int kButtonLeft = kMargin + kBoxWidth + 10;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 24;
constexpr int kClientWidth = kButtonLeft + kButtonWidth + kMargin;
constexpr int kHintTop = kMargin;
constexpr int kHintHeight = 30;
constexpr int kTextLabelTop = kHintTop + kHintHeight + 8;
constexpr int kTextTop = kTextLabelTop + 18;
constexpr int kListLabelTop = kTextTop + 34;
constexpr int kListTop = kListLabelTop + 18;
constexpr int kListHeight = 124;
constexpr int kClientHeight = kListTop + kListHeight + kMargin;

// The default value of a newly registered extension key.
constexpr const wchar_t* kUnassociated = L"Unassociated";

// A name that cannot become a registry key of its own (see AddClicked).
constexpr long kNotStorable = -2;

}  // namespace

// ---- list box ----

TextListBox::TextListBox(win::Window& form, win::Control* container, std::wstring name, int index, const win::Rect& r)
    : win::Control(form, container, std::move(name), index) {
    CreateChild(L"LISTBOX", L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, r);
}

int TextListBox::Count() const { return static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0)); }

std::wstring TextListBox::Item(int index) const {
    const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got =
        SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

void TextListBox::AddItem(const std::wstring& text) {
    SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TextListBox::RemoveItem(int index) { SendMessageW(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

int TextListBox::ListIndex() const {
    const LRESULT index = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void TextListBox::SetListIndex(int index) { SendMessageW(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }

// ---- dialog ----

frmExtensions::frmExtensions()
    : win::Window(L"frmExtensions"),
      txt((Create(L"Add Extensions", kClientWidth, kClientHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                  WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
           Add<win::TextBox>(nullptr, L"txt", 0, L".", win::Rect{kMargin, kTextTop, kBoxWidth, 22}))),
      lstExt(Add<TextListBox>(nullptr, L"lstExt", -1, win::Rect{kMargin, kListTop, kBoxWidth, kListHeight})) {
    lbls[0] = &Add<win::Label>(nullptr, L"lbls", 0, L"Extension to add to List",
                               win::Rect{kMargin, kTextLabelTop, kBoxWidth, 16});
    lbls[1] = &Add<win::Label>(nullptr, L"lbls", 1, L"List of Extensions to register with Windows",
                               win::Rect{kMargin, kListLabelTop, kBoxWidth + 40, 16});
    lbls[2] = &Add<win::Label>(nullptr, L"lbls", 2,
                               L"Type an extension and click Add. Repeat for each extension to add then click OK.",
                               win::Rect{kMargin, kHintTop, kClientWidth - 2 * kMargin, kHintHeight});
    cmds[ebOK] = &Add<win::Button>(nullptr, L"cmds", ebOK, L"OK",
                                   win::Rect{kButtonLeft, kListTop, kButtonWidth, kButtonHeight});
    cmds[ebCancel] = &Add<win::Button>(nullptr, L"cmds", ebCancel, L"Cancel",
                                       win::Rect{kButtonLeft, kListTop + kButtonHeight + 8, kButtonWidth, kButtonHeight});
    cmds[ebAddRemove] = &Add<win::Button>(nullptr, L"cmds", ebAddRemove, L"Add",
                                          win::Rect{kButtonLeft, kTextTop - 1, kButtonWidth, kButtonHeight},
                                          BS_DEFPUSHBUTTON);
    for (int i = 0; i < 3; ++i) cmds[static_cast<size_t>(i)]->OnClick = [this, i] { cmds_Click(i); };
    // The text box comes first when the user tabs round.
    SetWindowPos(lstExt.Handle(), txt.Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(cmds[ebAddRemove]->Handle(), txt.Handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    TrappedVoid(L"Form_Load", [&] {
        PlaceForm(*this, phCentre, pvFraction, nullptr, 0, 0.33);
        SendMessageW(txt.Handle(), EM_SETSEL, 1, 1);
    });
}

frmExtensions& frmExtensions::Default() { return win::DefaultInstance<frmExtensions>::Get(); }
frmExtensions* frmExtensions::Existing() { return win::DefaultInstance<frmExtensions>::Existing(); }
void frmExtensions::Release() { win::DefaultInstance<frmExtensions>::Release(); }

void frmExtensions::cmds_Click(int index) {
    switch (index) {
        case ebOK:
            OkClicked();
            break;
        case ebCancel:
            UnloadSoon();
            break;
        case ebAddRemove:
            if (cmds[ebAddRemove]->Text() == L"Add")
                AddClicked();
            else
                RemoveClicked();
            break;
        default:
            break;
    }
}

long frmExtensions::IsExtListed(const std::wstring& extension) {
    return Trapped(
        L"IsExtListed",
        [&]() -> long {
            // ".TXT" and ".txt" are one registry key: the list takes only one of them.
            const int count = lstExt.Count();
            for (int i = 0; i < count; ++i)
                if (vb::TextEquals(lstExt.Item(i), extension)) return i;
            if (!editor_) return -1;
            long position = 0;
            std::wstring ext = extension;
            if (editor_->IsExt(position, ext) == 0) return position + 100000;
            return -1;
        },
        -1L);
}

void frmExtensions::AddClicked() {
    TrappedVoid(L"cmds_Click", [&] {
        txt.SetText(NormalizeExtension(txt.Text()));
        const std::wstring extension = txt.Text();
        if (extension.size() < 2) return;
        // Registry keys are written in the ANSI code page: a name that does not survive it would
        // become a key of question marks, shared by every such name of its length. The user is
        // told so, as for the other names the list refuses.
        const long listed = vb::FromAnsi(vb::ToAnsi(extension)) != extension ? kNotStorable : IsExtListed(extension);
        if (listed == kNotStorable) {
            std::wstring text = L"The extension " + extension +
                                L" cannot be registered with Windows: its name holds characters that this "
                                L"computer's language settings cannot store in the registry.";
            MessageHandler(MessageBase + 4500, std::nullopt, &text);
        } else if (listed >= 100000) {
            MessageHandler(MessageBase + 4510);
        } else if (listed >= 0) {
            MessageHandler(MessageBase + 4509);
        } else {
            lstExt.AddItem(extension);
            RedrawWindow(lstExt.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
        txt.SetFocus();
        ResetText();
    });
}

void frmExtensions::RemoveClicked() {
    TrappedVoid(L"cmds_Click", [&] {
        const int selected = lstExt.ListIndex();
        if (selected >= 0) lstExt.RemoveItem(selected);
        if (lstExt.Count() == 0) txt.SetFocus();
    });
}

void frmExtensions::OkClicked() {
    TrappedVoid(L"cmds_Click", [&] {
        if (lstExt.Count() > 0) {
            vb::SetScreenMousePointer(vb::vbArrowHourglass);
            if (editor_) {
                // The extension list and the tree are rebuilt under the editor's protection: edits
                // not yet saved are written first, and the category file is written again only
                // once it has been read back whole.
                editor_->RebuildExtensionsAndTree([&] {
                    RegisterNewExtensions();
                    LoadRegistryAssociations();
                });
            } else {
                RegisterNewExtensions();
            }
            Refresh();
            vb::SetScreenMousePointer(vb::vbDefault);
            vb::DoEvents();
        }
    });
    vb::SetScreenMousePointer(vb::vbDefault);
    UnloadSoon();
}

bool frmExtensions::RegisterNewExtensions() {
    return Trapped(
        L"RegisterNewExtensions",
        [&]() -> bool {
            RegKeyRecords& records = ExtKeys();
            if (records.empty()) records.resize(1);  // element 0 is never a key
            size_t filled = records.size();
            records.resize(filled + static_cast<size_t>(lstExt.Count()));
            bool failed = false;
            try {
                while (lstExt.Count() > 0) {
                    const int last = lstExt.Count() - 1;
                    const std::wstring extension = lstExt.Item(last);
                    // Registered by some program since the window read the registry: its
                    // association stays as it is.
                    if (RegistryKeyExists(extension, HKEY_CLASSES_ROOT)) {
                        MessageHandler(MessageBase + 4510);
                        lstExt.RemoveItem(last);
                        continue;
                    }
                    Registry(regSave, extension, L"", vb::Variant(L""), vb::Variant(kUnassociated), std::nullopt,
                             HKEY_CLASSES_ROOT, false, true, false, REG_SZ);
                    if (RegistryFailureCount() == 0) {
                        RegKeyRecord& record = records[filled++];
                        record.KeyName = extension;
                        record.ValueIndex = 0;
                        record.KeyValues.assign(1, RegValueRecord{L"", REG_SZ, vb::Variant(kUnassociated)});
                    } else {
                        failed = true;
                    }
                    lstExt.RemoveItem(last);
                }
            } catch (...) {
                records.resize(filled);
                SortExtensions();
                throw;
            }
            records.resize(filled);
            SortExtensions();
            return failed;
        },
        true);
}

void frmExtensions::TextGotFocus() { cmds[ebAddRemove]->SetText(L"Add"); }

void frmExtensions::ListGotFocus() {
    if (lstExt.Count() == 0)
        txt.SetFocus();
    else
        cmds[ebAddRemove]->SetText(L"Remove");
}

void frmExtensions::ResetText() {
    txt.SetText(L".");
    SendMessageW(txt.Handle(), EM_SETSEL, 1, 1);
}

LRESULT frmExtensions::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND: {
            const HWND from = reinterpret_cast<HWND>(lParam);
            if (LOWORD(wParam) == IDCANCEL && !from) {
                cmds_Click(ebCancel);
                return 0;
            }
            if (from && from == txt.Handle() && HIWORD(wParam) == EN_SETFOCUS) TextGotFocus();
            if (from && from == lstExt.Handle() && HIWORD(wParam) == LBN_SETFOCUS) ListGotFocus();
            break;
        }
        case DM_GETDEFID:
            return MAKELRESULT(GetDlgCtrlID(cmds[ebAddRemove]->Handle()), DC_HASDEFID);
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}
