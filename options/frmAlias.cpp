#include "frmAlias.h"

#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserChoices.h"
#include "vb/VbText.h"

namespace {

constexpr int kMargin = 12;
constexpr int kRowLabelWidth = 90;
constexpr int kColumnWidth = 180;
constexpr int kGap = 10;
constexpr int kOldLeft = kMargin + kRowLabelWidth + kGap;
constexpr int kNewLeft = kOldLeft + kColumnWidth + kGap;
constexpr int kClientWidth = kNewLeft + kColumnWidth + kMargin;
constexpr int kCaptionTop = kMargin;
constexpr int kRowHeight = 22;
constexpr int kRowPitch = 30;
constexpr int kFirstRowTop = kCaptionTop + 22;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 24;
constexpr int kButtonTop = kFirstRowTop + 3 * kRowPitch + 8;
constexpr int kClientHeight = kButtonTop + kButtonHeight + kMargin;

// The colour of a program shown under an alias (&HFF0000, blue) and of one shown as found.
constexpr long kAliasColour = 0xFF0000;
constexpr long kFoundColour = 0;

AliasDialogOwner* g_owner = nullptr;

int Row(int i) { return kFirstRowTop + i * kRowPitch; }

// A program node's long path (element 3 of its tag); false when the tag holds no such field.
bool NodeLongPath(const win::TreeNodes& tree, win::TreeNode node, std::wstring& longPath) {
    const vb::Variant& tag = tree.NodeTag(node);
    if (!tag.IsArray()) return false;
    const vb::Variant::Array& fields = tag.AsArray();
    if (fields.size() < 4) return false;
    longPath = fields[3].ToString();
    return true;
}

// Every node of the tree, in the order the tree keeps them.
template <class F>
void ForEachNode(win::TreeNodes& tree, F f) {
    const long count = tree.Count();
    for (long i = 1; i <= count; ++i)
        if (win::TreeNode node = tree.Item(i)) f(node);
}

void ShowNodeAs(win::TreeNodes& tree, win::TreeNode node, const std::wstring& text, bool aliased) {
    tree.SetText(node, text);
    const unsigned marks = tree.Marks(node);
    tree.SetMarks(node, aliased ? marks | win::tnAliased : marks & ~static_cast<unsigned>(win::tnAliased));
}

void ShowRowAs(OptionsListView& list, int row, const std::wstring& description, const std::wstring& version,
               long colour) {
    list.SetSubItem(row, 2, description);
    list.SetSubItem(row, 1, version);
    list.SetSubItemColour(row, 2, colour);
    list.SetSubItemColour(row, 1, colour);
}

std::wstring FoundTreeText(const AliasRecord& r) { return r.Company + L" - " + r.Product + L" " + r.Version; }
std::wstring AliasTreeText(const AliasRecord& r) { return r.CompanyA + L" - " + r.ProductA + L" " + r.VersionA; }

class SharedAliasDialog : public AliasDialogPreparation {
public:
    void Load() override { frmAlias::Default(); }
    void SetFoundLabels(const std::wstring& company, const std::wstring& product,
                        const std::wstring& version) override {
        frmAlias& form = frmAlias::Default();
        form.lblCompanyName.SetText(company);
        form.lblProductName.SetText(product);
        form.lblVersion.SetText(version);
    }
    void SetAliasTexts(const std::wstring& company, const std::wstring& product,
                       const std::wstring& version) override {
        frmAlias& form = frmAlias::Default();
        form.txtCompanyName.SetText(company);
        form.txtProductName.SetText(product);
        form.txtVersion.SetText(version);
    }
    void SetAliasRecordIndex(long index) override { frmAlias::Default().AliasRecordIndex = index; }
};

}  // namespace

AliasDialogOwner* SetAliasDialogOwner(AliasDialogOwner* owner) {
    AliasDialogOwner* previous = g_owner;
    g_owner = owner;
    return previous;
}
AliasDialogOwner* CurrentAliasDialogOwner() { return g_owner; }

AliasDialogPreparation& AliasDialogOfLibrary() {
    static SharedAliasDialog dialog;
    return dialog;
}

void GetSimilarItemsInOrderdListView(const win::ListView& list, long index, long& first, long& last) {
    TrappedVoid(L"GetSimilarItemsInOrderdListView", [&] {
        const int start = static_cast<int>(index);
        const std::wstring version = list.ItemText(start, 1);
        const std::wstring description = list.ItemText(start, 2);
        auto alike = [&](int row) { return list.ItemText(row, 1) == version && list.ItemText(row, 2) == description; };
        int row = start;
        while (row > 0 && alike(row - 1)) --row;
        first = row;
        row = start;
        const int count = list.Count();
        while (row + 1 < count && alike(row + 1)) ++row;
        last = row;
    });
}

frmAlias::frmAlias()
    : win::Window(L"frmAlias"),
      lblCompanyName((Create(L"Assign Alias", kClientWidth, kClientHeight,
                             WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
                      Add<win::Label>(nullptr, L"lblCompanyName", -1, L"",
                                      win::Rect{kOldLeft, Row(0), kColumnWidth, kRowHeight},
                                      SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_SUNKEN))),
      lblProductName(Add<win::Label>(nullptr, L"lblProductName", -1, L"",
                                     win::Rect{kOldLeft, Row(1), kColumnWidth, kRowHeight},
                                     SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_SUNKEN)),
      lblVersion(Add<win::Label>(nullptr, L"lblVersion", -1, L"", win::Rect{kOldLeft, Row(2), kColumnWidth, kRowHeight},
                                 SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_SUNKEN)),
      txtCompanyName(Add<win::TextBox>(nullptr, L"txtCompanyName", -1, L"",
                                       win::Rect{kNewLeft, Row(0), kColumnWidth, kRowHeight})),
      txtProductName(Add<win::TextBox>(nullptr, L"txtProductName", -1, L"",
                                       win::Rect{kNewLeft, Row(1), kColumnWidth, kRowHeight})),
      txtVersion(Add<win::TextBox>(nullptr, L"txtVersion", -1, L"", win::Rect{kNewLeft, Row(2), kColumnWidth, kRowHeight})),
      cbAssign(Add<win::Button>(nullptr, L"cbAssign", -1, L"Assign Alias",
                                win::Rect{kClientWidth - kMargin - 2 * kButtonWidth - 8, kButtonTop, kButtonWidth,
                                          kButtonHeight},
                                BS_DEFPUSHBUTTON)),
      cbCancel(Add<win::Button>(nullptr, L"cbCancel", -1, L"Cancel",
                                win::Rect{kClientWidth - kMargin - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight})) {
    AddCaption(L"lblOld", L"Old", kOldLeft, kCaptionTop, kColumnWidth);
    AddCaption(L"lblNew", L"New", kNewLeft, kCaptionTop, kColumnWidth);
    AddCaption(L"lblCompany", L"Company Name", kMargin, Row(0), kRowLabelWidth);
    AddCaption(L"lblProduct", L"Product Name", kMargin, Row(1), kRowLabelWidth);
    AddCaption(L"lblVersionCaption", L"Version", kMargin, Row(2), kRowLabelWidth);
    cbAssign.OnClick = [this] { cbAssign_Click(); };
    cbCancel.OnClick = [this] { cbCancel_Click(); };
}

void frmAlias::AddCaption(const wchar_t* name, const wchar_t* text, int left, int top, int width) {
    Add<win::Label>(nullptr, name, -1, text, win::Rect{left, top, width, kRowHeight}, SS_LEFT | SS_CENTERIMAGE);
}

frmAlias& frmAlias::Default() { return win::DefaultInstance<frmAlias>::Get(); }
frmAlias* frmAlias::Existing() { return win::DefaultInstance<frmAlias>::Existing(); }
void frmAlias::Release() { win::DefaultInstance<frmAlias>::Release(); }

void frmAlias::Form_Activate() {
    TrappedVoid(L"Form_Activate", [&] {
        if (txtCompanyName.Text().empty()) {
            txtCompanyName.SetText(lblCompanyName.Text());
            txtProductName.SetText(lblProductName.Text());
            txtVersion.SetText(lblVersion.Text());
        }
        txtCompanyName.SetFocus();
        SendMessageW(txtCompanyName.Handle(), EM_SETSEL, 0, -1);
    });
}

void frmAlias::cbCancel_Click() {
    AliasRecordIndex = -1;
    Hide();
}

void frmAlias::cbAssign_Click() {
    TrappedVoid(L"cbAssign_Click", [&] { Assign(); });
    Hide();
}

void frmAlias::Assign() {
    AliasDialogOwner* owner = g_owner;
    if (!owner) return;
    OptionsListView& list = owner->AliasProgramList();
    win::TreeNodes& tree = owner->AliasTree();
    const int item = list.SelectedRow();
    if (item < 0) return;

    std::vector<std::wstring> fields = GetListItemFields(list, item);
    fields[0] = txtCompanyName.Text() + L" - " + txtProductName.Text();
    fields[1] = txtVersion.Text();
    const long existing = AliasIndex(fields);
    if (existing >= 0 && existing <= AliasCount() && AliasRecordHasInfo(Aliases()[existing])) {
        MessageHandler(MessageBase + 4518);
        return;
    }

    // The program's present alias, if any, goes first.
    RemoveAlias();

    vb::List<AliasRecord>& records = Aliases();
    if (AliasRecordIndex > 0 && AliasRecordIndex <= records.UBound()) {
        records[AliasRecordIndex].Removed = false;
    } else {
        records.Add(AliasRecord{});
        AliasRecordIndex = records.UBound();
    }
    AliasRecord& record = records[AliasRecordIndex];
    record.CompanyA = txtCompanyName.Text();
    record.ProductA = txtProductName.Text();
    record.VersionA = txtVersion.Text();
    record.LongPathA = fields[3];
    record.ShortPathA = fields[4];
    record.Company = lblCompanyName.Text();
    record.Product = lblProductName.Text();
    record.Version = lblVersion.Text();
    record.LongPath = fields[3];
    record.ShortPath = fields[4];

    const std::wstring aliasText = AliasTreeText(record);
    const std::wstring description = record.CompanyA + L" - " + record.ProductA;
    if (AliasRecordHasInfo(record)) {
        // Every copy of the program shows the same names: all its nodes and all its rows.
        const std::wstring foundText = FoundTreeText(record);
        ForEachNode(tree, [&](win::TreeNode node) {
            if (tree.Text(node) == foundText) ShowNodeAs(tree, node, aliasText, true);
        });
        long first = item, last = item;
        GetSimilarItemsInOrderdListView(list, item, first, last);
        for (long row = first; row <= last; ++row)
            ShowRowAs(list, static_cast<int>(row), description, record.VersionA, kAliasColour);
    } else {
        // Without version information only the long path tells the program: every node of that
        // path, as Remove restores every one, and the selected row alone.
        ForEachNode(tree, [&](win::TreeNode node) {
            std::wstring longPath;
            if (NodeLongPath(tree, node, longPath) && longPath == record.LongPath)
                ShowNodeAs(tree, node, aliasText, true);
        });
        ShowRowAs(list, item, description, record.VersionA, kAliasColour);
    }
    owner->SetNeedToSaveUserChoices(true);
}

void frmAlias::RemoveAlias() {
    TrappedVoid(L"RemoveAlias", [&] {
        AliasDialogOwner* owner = g_owner;
        if (!owner || AliasRecordIndex <= 0 || AliasRecordIndex > AliasCount()) return;
        OptionsListView& list = owner->AliasProgramList();
        win::TreeNodes& tree = owner->AliasTree();
        const int item = list.SelectedRow();
        if (item < 0) return;
        AliasRecord& record = Aliases()[AliasRecordIndex];
        const std::wstring shown = list.ItemText(item, 2) + L" " + list.ItemText(item, 1);
        const bool hasInfo = AliasRecordHasInfo(record);
        // A record found by the program's long path while the row shows other names: the record
        // goes, the row and the nodes already show what they should.
        if (!vb::TextEquals(list.ItemText(item, 2), record.CompanyA + L" - " + record.ProductA) ||
            !vb::TextEquals(list.ItemText(item, 1), record.VersionA)) {
            record.Removed = true;
            owner->SetNeedToSaveUserChoices(true);
            return;
        }

        long first = item, last = item;
        if (hasInfo) GetSimilarItemsInOrderdListView(list, item, first, last);
        for (long row = first; row <= last; ++row)
            ShowRowAs(list, static_cast<int>(row), record.Company + L" - " + record.Product, record.Version,
                      kFoundColour);
        record.Removed = true;

        const std::wstring restored = list.ItemText(item, 2) + L" " + list.ItemText(item, 1);
        ForEachNode(tree, [&](win::TreeNode node) {
            bool match = false;
            if (hasInfo) {
                match = tree.Text(node) == shown;
            } else {
                std::wstring longPath;
                match = NodeLongPath(tree, node, longPath) && longPath == record.LongPath;
            }
            if (match) ShowNodeAs(tree, node, restored, false);
        });
        owner->SetNeedToSaveUserChoices(true);
    });
}

LRESULT frmAlias::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SHOWWINDOW:
            if (wParam) activationPending_ = true;
            break;
        case WM_ACTIVATE:
            // Once per showing, as the form's Activate: not each time the user comes back from
            // another program.
            if (LOWORD(wParam) != WA_INACTIVE && activationPending_) {
                activationPending_ = false;
                PostMessageW(Handle(), WM_APP + 1, 0, 0);
            }
            break;
        case WM_APP + 1:
            Form_Activate();
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(GetDlgCtrlID(cbAssign.Handle()), DC_HASDEFID);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
                cbCancel_Click();
                return 0;
            }
            // Entering a box selects its whole text.
            if (HIWORD(wParam) == EN_SETFOCUS && lParam) SendMessageW(reinterpret_cast<HWND>(lParam), EM_SETSEL, 0, -1);
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}
